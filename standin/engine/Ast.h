#pragma once
// The statements of a parsed batch: those that act on the server, each declared with its
// reading and its run in statements/, and the batch's own procedural statements, declared here
// and run by BatchRunner.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Expr.h"
#include "statements/AlterDatabase.h"
#include "statements/BackupLog.h"
#include "statements/Checkpoint.h"
#include "statements/CreateDatabase.h"
#include "statements/Dbcc.h"
#include "statements/ProcedureCall.h"
#include "statements/Select.h"
#include "statements/SetOption.h"
#include "statements/Transaction.h"
#include "statements/Use.h"

namespace standin {

struct Statement;

// ---- procedural statements ----------------------------------------------------------------

struct DeclareStatement {
    struct Variable {
        std::string name;
        TypeSpec type;
        std::optional<Expr> value;  // DECLARE @v type = value (SQL Server 2008 and later)
    };
    std::vector<Variable> variables;
};

struct SetVariableStatement {
    std::string name;
    Expr value;
};

struct IfStatement {
    Expr condition;
    std::vector<Statement> then;       // one statement (or one BEGIN ... END block)
    std::vector<Statement> otherwise;  // ELSE, when given
};

struct BlockStatement {
    std::vector<Statement> body;  // BEGIN ... END
};

struct TryCatchStatement {
    std::vector<Statement> body;     // BEGIN TRY ... END TRY
    std::vector<Statement> handler;  // BEGIN CATCH ... END CATCH
};

// EXEC (string) / EXECUTE (@sql): a batch of its own.
struct ExecSqlStatement {
    Expr sql;
};

// RAISERROR (message, severity, state [, argument...]) [WITH option...]
struct RaiserrorStatement {
    std::vector<Expr> args;
    std::vector<std::string> withOptions;  // upper case
};

// THROW number, message, state; THROW alone raises the caught error again.
struct ThrowStatement {
    std::vector<Expr> args;
};

struct ReturnStatement {};

struct PrintStatement {
    Expr value;
};

// A statement that acts on the server adds its struct here and its reading and its run to
// statements/StatementTable.cpp.
using StatementBody = std::variant<
    SelectStatement, SetStatement, UseStatement, TransactionStatement, CreateDatabaseStatement,
    ExecStatement, DbccStatement, BackupLogStatement, AlterDatabaseStatement, CheckpointStatement,
    // the procedural statements
    DeclareStatement, SetVariableStatement, IfStatement, BlockStatement, TryCatchStatement,
    ExecSqlStatement, RaiserrorStatement, ThrowStatement, ReturnStatement, PrintStatement>;

struct Statement {
    StatementBody body;
    uint16_t line = 1;
};

}  // namespace standin
