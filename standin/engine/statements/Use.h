#pragma once
// USE db: the session's current database changes (ENVCHANGE and INFO 5701); an unknown
// database (911) or one whose files are missing (945) ends the batch.

#include <string>

#include "Outcome.h"

namespace standin {

class Parser;
struct StatementContext;

struct UseStatement {
    std::string database;
};

class Use {
public:
    static UseStatement read(Parser& parser);
    static Outcome run(const UseStatement& use, StatementContext& context);
};

}  // namespace standin
