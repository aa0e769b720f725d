#pragma once
// [EXEC[UTE]] procedure [argument, ...]: a call of one of the system procedures this server has
// (sp_attach_db, sp_attach_single_file_db, sp_detach_db; sp_executesql is the batch runner's).
// Arguments bind to the procedure's parameters by position, then by name; each procedure runs in
// its own file.

#include <string>
#include <vector>

#include "Expr.h"

namespace standin {

class Parser;

struct ProcArg {
    std::string parameter;  // "@dbname", empty when positional
    ArgValue value;
};

struct ExecStatement {
    std::string database;  // empty unless qualified
    std::string owner;
    std::string procedure;  // last part of the name as written
    std::string written;    // the whole name as written
    std::vector<ProcArg> args;
};

class ProcedureCall {
public:
    // The procedure's name is next (EXEC, if written, is read).
    static ExecStatement read(Parser& parser);
};

}  // namespace standin
