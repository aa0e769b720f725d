#pragma once
// SET options, as client libraries send them after the login: accepted, and only NOCOUNT
// changes anything (a statement's DONE then carries no count).

#include <string>
#include <vector>

#include "Outcome.h"

namespace standin {

class Parser;
struct StatementContext;

struct SetStatement {
    std::vector<std::string> options;  // upper case
    std::string value;                 // ON / OFF / the value as written
};

class SetOption {
public:
    static SetStatement read(Parser& parser);
    static Outcome run(const SetStatement& set, StatementContext& context);

private:
    static SetStatement isolation(Parser& parser);
    static SetStatement value(Parser& parser, const std::string& option);
};

}  // namespace standin
