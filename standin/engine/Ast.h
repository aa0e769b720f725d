#pragma once
// The statements of a parsed batch.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace standin {

// A data type as a DECLARE, CAST or CONVERT names it: sysname, nvarchar(60), int, ...
struct TypeSpec {
    std::string name;  // upper case, without the length
    int length = 0;    // 0 = none given, -1 = MAX
};

// A scalar or boolean expression of a SELECT list, WHERE clause or procedural statement.
struct Expr {
    enum class Kind {
        Column,         // name: the column as written (last part of a qualified name)
        Integer,        // integer literal in number
        Text,           // string literal in text
        Null,           // NULL
        Variable,       // name: @@VERSION, @@SPID, ... (upper case)
        LocalVariable,  // name: @m as written (declared in the batch)
        Function,       // name (upper case) with args
        Add,            // args[0] + args[1]: addition or concatenation
        Cast,           // CAST(args[0] AS type) or CONVERT(type, args[0])
        Compare,        // op: = <> < > <= >= over args[0], args[1]
        And,
        Or,
        Not,
        IsNull,  // args[0] IS NULL; negated for IS NOT NULL
        Like,    // args[0] LIKE args[1]; negated for NOT LIKE
        In,      // args[0] IN (args[1..]); negated for NOT IN
    };
    Kind kind = Kind::Integer;
    std::string name;
    std::string text;
    int64_t number = 0;
    std::string op;
    bool negated = false;
    TypeSpec type;  // Cast
    std::vector<Expr> args;

    bool isPredicate() const {
        return kind == Kind::Compare || kind == Kind::And || kind == Kind::Or ||
               kind == Kind::Not || kind == Kind::IsNull || kind == Kind::Like || kind == Kind::In;
    }
};

// db.owner.object with empty parts where the text left them out (master..sysdatabases).
struct ObjectName {
    std::string database;
    std::string owner;
    std::string object;
    std::string written;  // as the error messages name it
};

struct SelectItem {
    bool star = false;
    std::string assignTo;  // SELECT @v = expr: the variable, else empty
    Expr expr;
    std::string alias;
    bool hasAlias = false;
    std::string written;  // column name for an unaliased column reference
};

struct OrderItem {
    std::string column;
    int position = 0;  // ORDER BY 2 (1-based), 0 when a column is named
    bool descending = false;
};

struct SelectStatement {
    std::optional<int64_t> top;  // SELECT TOP n
    std::vector<SelectItem> items;
    std::optional<ObjectName> from;
    std::optional<Expr> where;
    std::vector<OrderItem> orderBy;
    bool assigns = false;  // every item is @v = expr: no rows go to the client
};

// SET options are accepted and ignored apart from NOCOUNT.
struct SetStatement {
    std::vector<std::string> options;  // upper case
    std::string value;                 // ON / OFF / the value as written
};

struct UseStatement {
    std::string database;
};

struct FileSpec {
    std::string logicalName;
    bool hasName = false;
    std::string fileName;
    bool hasFileName = false;
    std::optional<int64_t> sizeKb;
    std::optional<int64_t> maxSizeKb;  // -1 = UNLIMITED
    std::optional<int64_t> growth;     // KB, or percent when growthPercent
    bool growthPercent = false;
    int groupId = 1;
};

struct CreateDatabaseStatement {
    std::string name;
    std::vector<FileSpec> dataFiles;
    std::vector<FileSpec> logFiles;
    bool forAttach = false;
};

// A value of a DBCC or procedure argument list.
struct ArgValue {
    enum class Kind { Text, Integer, Default, Null, Variable };
    Kind kind = Kind::Text;
    std::string text;  // Text; also the written text of an Integer; a Variable's name
    int64_t number = 0;
    bool unicode = false;
};

struct DbccStatement {
    std::string command;  // upper case
    std::vector<ArgValue> args;
    std::vector<std::string> withOptions;  // upper case
};

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

struct BackupLogStatement {
    std::string database;
    std::string option;  // TRUNCATE_ONLY or NO_LOG
};

struct TransactionStatement {
    enum class Kind { Begin, Commit, Rollback };
    Kind kind = Kind::Begin;
    bool onlyIfOpen = false;  // IF @@TRANCOUNT > 0 COMMIT|ROLLBACK
};

struct PrintStatement {
    Expr value;
};

// ALTER DATABASE db SET RECOVERY FULL | BULK_LOGGED | SIMPLE [WITH ...]
struct AlterDatabaseStatement {
    std::string database;
    std::string recovery;  // upper case
};

struct CheckpointStatement {};

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

using StatementBody =
    std::variant<SelectStatement, SetStatement, UseStatement, CreateDatabaseStatement,
                 DbccStatement, ExecStatement, BackupLogStatement, TransactionStatement,
                 PrintStatement, AlterDatabaseStatement, CheckpointStatement, DeclareStatement,
                 SetVariableStatement, IfStatement, BlockStatement, TryCatchStatement,
                 ExecSqlStatement, RaiserrorStatement, ThrowStatement, ReturnStatement>;

struct Statement {
    StatementBody body;
    uint16_t line = 1;
};

}  // namespace standin
