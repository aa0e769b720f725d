#pragma once
// DBCC command (arguments) [WITH option, ...]: what the DBCC commands share. Each command runs
// in its own file (CHECKPRIMARYFILE, SHRINKFILE and SHRINKDATABASE); a command or an option
// this server does not have is 2526. A command's rows end in DONE(COUNT), then INFO 2528 unless
// WITH NO_INFOMSGS.

#include <string>
#include <vector>

#include "Expr.h"
#include "Outcome.h"

namespace standin {

class Parser;
struct StatementContext;

struct DbccStatement {
    std::string command;  // upper case
    std::vector<ArgValue> args;
    std::vector<std::string> withOptions;  // upper case
};

class Dbcc {
public:
    static DbccStatement read(Parser& parser);
    // Arguments given as @variables take their values first; then the command runs.
    static Outcome run(const DbccStatement& dbcc, StatementContext& context);

    // What the commands share: 2526 for what the server does not take, and a result's shape
    // (its rows, DONE with the count, 2528 unless WITH NO_INFOMSGS, DONE).
    static Message incorrect();
    static Outcome result(ResultSet rows, bool infoMessages, uint16_t line);
};

}  // namespace standin
