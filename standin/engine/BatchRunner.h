#pragma once
// Runs a parsed batch in order, with its procedural statements: variables (DECLARE, SET @v,
// SELECT @v = ...), IF ... ELSE, BEGIN ... END, TRY ... CATCH with ERROR_MESSAGE() and its
// kin, EXEC (...) and sp_executesql, RAISERROR, THROW, RETURN and PRINT. The statements that
// act on the server go to the engine through StatementHost.

#include <optional>
#include <string>
#include <vector>

#include "Ast.h"
#include "ExprEvaluator.h"
#include "Outcome.h"

namespace standin {

class StatementHost {
public:
    virtual ~StatementHost() = default;
    // Runs a statement that is not procedural; `eval` gives its expressions the variables.
    virtual Outcome runStatement(const Statement& st, const EvalContext& eval) = 0;
    // The value of an @@variable or a server function (arguments evaluated), or nullopt with
    // `error` set.
    virtual std::optional<TypedValue> serverValue(const Expr& e,
                                                  const std::vector<TypedValue>& args,
                                                  Message& error) = 0;
    virtual const ServerVersion& version() const = 0;
};

class BatchRunner {
public:
    explicit BatchRunner(StatementHost& host) : host_(host) {}

    // The tokens of the batch; its DONE tokens are left for the caller to finish.
    Reply run(const std::vector<Statement>& statements);

private:
    struct Variable {
        std::string name;
        TypeSpec type;
        TypedValue value;
    };
    // The variables of one batch; a dynamic batch has its own.
    using Scope = std::vector<Variable>;
    enum class Flow { Next, Raised, Return, Abort };
    struct Frame {
        Scope* scope;
        int tryDepth;  // > 0 inside BEGIN TRY: errors go to the CATCH instead of the client
    };

    Flow runList(const std::vector<Statement>& list, Frame& f);
    Flow runOne(const Statement& st, Frame& f);
    // Sends an outcome's tokens, or, inside TRY, keeps its errors back and raises the last.
    Flow settle(Outcome o, Frame& f);
    Flow declare(const DeclareStatement& d, uint16_t line, Frame& f);
    Flow setVariable(const SetVariableStatement& s, uint16_t line, Frame& f);
    Flow ifStatement(const IfStatement& s, uint16_t line, Frame& f);
    Flow tryCatch(const TryCatchStatement& s, Frame& f);
    Flow execSql(const ExecSqlStatement& s, uint16_t line, Frame& f);
    Flow executeSql(const ExecStatement& e, uint16_t line, Frame& f);
    Flow runDynamic(const std::string& sql, uint16_t line, Frame& f, bool asProcedure);
    Flow raiserror(const RaiserrorStatement& r, uint16_t line, Frame& f);
    Flow throwStatement(const ThrowStatement& t, uint16_t line, Frame& f);
    Flow print(const PrintStatement& p, uint16_t line, Frame& f);

    static void declareAll(const std::vector<Statement>& list, Scope& scope);
    static bool isExecuteSql(const ExecStatement& e);
    Variable* find(Scope& scope, const std::string& name) const;
    EvalContext context(Frame& f);
    std::optional<TypedValue> value(const Expr& e, const std::vector<TypedValue>& args,
                                    Message& error, Frame& f);
    std::optional<TypedValue> errorFunction(const std::string& name) const;
    bool assign(Frame& f, const std::string& name, const TypedValue& v, Message& error);
    // Evaluates for a procedural statement; an error ends the batch (or goes to the CATCH).
    std::optional<TypedValue> evaluate(const Expr& e, uint16_t line, Frame& f, Flow& flow);
    bool evaluateAll(const std::vector<Expr>& exprs, uint16_t line, Frame& f, Flow& flow,
                     std::vector<TypedValue>& out);

    StatementHost& host_;
    Reply reply_;
    std::vector<Message> caught_;    // the errors of the CATCH blocks being run, innermost last
    std::optional<Message> raised_;  // an error on its way to a CATCH
    int32_t lastError_ = 0;          // @@ERROR
    int dynamicDepth_ = 0;
};

}  // namespace standin
