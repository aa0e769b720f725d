#pragma once
// DBCC command (arguments) [WITH option, ...]: what the DBCC commands share. Each command runs
// in its own file (CHECKPRIMARYFILE, SHRINKFILE and SHRINKDATABASE); a command or an option
// this server does not have is 2526. A command's rows end in DONE(COUNT), then INFO 2528 unless
// WITH NO_INFOMSGS.

#include <string>
#include <vector>

#include "Expr.h"

namespace standin {

class Parser;

struct DbccStatement {
    std::string command;  // upper case
    std::vector<ArgValue> args;
    std::vector<std::string> withOptions;  // upper case
};

class Dbcc {
public:
    static DbccStatement read(Parser& parser);
};

}  // namespace standin
