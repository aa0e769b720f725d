#pragma once
// [EXEC[UTE]] procedure [argument, ...]: a call of one of the system procedures this server has
// (sp_attach_db, sp_attach_single_file_db, sp_detach_db; sp_executesql is the batch runner's).
// Arguments bind to the procedure's parameters by position, then by name; each procedure runs in
// its own file.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "Expr.h"
#include "OpResult.h"
#include "Outcome.h"

namespace standin {

class Parser;
struct StatementContext;

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

// The values a call gives a procedure's parameters, in the procedure's order; nullopt for one
// not given (or given as NULL or DEFAULT).
using ProcedureArgs = std::vector<std::optional<std::string>>;

// A system procedure: its parameters in order, how many must be given, and its run.
struct Procedure {
    const char* name;
    std::vector<std::string> parameters;
    size_t required;  // the first `required` parameters must be given
    // sp_attach_db: any @filenameN given stands in for the required @filename1.
    bool anyFileWillDo;
    OpResult (*run)(StatementContext& context, const ProcedureArgs& args);
};

class ProcedureCall {
public:
    // The procedure's name is next (EXEC, if written, is read).
    static ExecStatement read(Parser& parser);
    // The procedure's messages, DONEINPROC, RETURNSTATUS (0, or 1 when it failed) and DONEPROC;
    // 2812 for a procedure this server does not have.
    static Outcome run(const ExecStatement& call, StatementContext& context);

private:
    static const Procedure* find(const ExecStatement& call);
    // Matches the arguments to the parameters, positional then named; a refusal (119, 8144,
    // 8145, 201) is left in `refusal`.
    static bool bind(const Procedure& procedure, const ExecStatement& call, ProcedureArgs& values,
                     OpResult& refusal);
    static Outcome reply(const OpResult& result);
};

}  // namespace standin
