#pragma once
// Every statement that acts on the server, found by the word it starts with. A new statement
// is a pair of files in this folder (its struct, its reading, its run and its messages), its
// struct in Ast.h's StatementBody, and its line in each table of StatementTable.cpp.

#include <optional>

#include "Ast.h"
#include "Outcome.h"

namespace standin {

class Parser;
struct StatementContext;

class StatementTable {
public:
    // The statement the next word starts, read; nullopt when no statement here starts with it.
    static std::optional<StatementBody> read(Parser& parser);
    // Runs a statement read here (the batch runner runs the procedural ones).
    static Outcome run(const StatementBody& statement, StatementContext& context);
};

}  // namespace standin
