// libFuzzer target over the SQL tokenizer, the parser and expression evaluation: any batch text
// must give statements or one compile error (as SQL Server 2000 and as 2019 read it), and any
// SELECT rows or one error, any expression a value or one error, never a crash, a hang or
// unbounded growth.

#include <cstddef>
#include <cstdint>
#include <string>

#include "ExprEvaluator.h"
#include "Lexer.h"
#include "Parser.h"
#include "SelectRunner.h"

namespace {

standin::ResultSet sampleTable() {
    using standin::ColType;
    using standin::Value;
    standin::ResultSet t;
    t.columns = {{"name", ColType::NVarChar, 128, false},
                 {"dbid", ColType::SmallInt, 0, false},
                 {"filename", ColType::NVarChar, 260, true}};
    t.rows = {{Value::str("master"), Value::integer(1), Value::str("/d/master.mdf")},
              {Value::str("销售库"), Value::integer(5), Value::null()},
              {Value::str("a]b "), Value::integer(6), Value::str("12")}};
    return t;
}

standin::EvalContext sampleContext() {
    standin::EvalContext ctx;
    ctx.table = [](const standin::ObjectName&, standin::Message&) {
        return std::optional<standin::ResultSet>(sampleTable());
    };
    ctx.scalar = [](const standin::Expr& e, const std::vector<standin::TypedValue>&,
                    standin::Message&) {
        standin::TypedValue v;
        v.column = {"", standin::ColType::NVarChar, 20, true};
        v.value = e.kind == standin::Expr::Kind::LocalVariable ? standin::Value::str(" 51 ")
                                                               : standin::Value::integer(51);
        return std::optional<standin::TypedValue>(v);
    };
    ctx.assign = [](const std::string&, const standin::TypedValue&, standin::Message&) {
        return true;
    };
    return ctx;
}

void checkValue(const std::optional<standin::TypedValue>& v, const standin::Message& err) {
    if (!v && err.number == 0) __builtin_trap();
}

// Runs what can run without a server: SELECTs and the expressions of procedural statements.
void evaluate(const std::vector<standin::Statement>& list, const standin::EvalContext& ctx) {
    using namespace standin;
    for (const Statement& st : list) {
        Message err;
        if (const auto* s = std::get_if<SelectStatement>(&st.body)) {
            ResultSet out;
            if (SelectRunner::run(*s, ctx, out, err)) {
                for (const auto& row : out.rows) {
                    if (row.size() != out.columns.size()) __builtin_trap();
                }
            } else if (err.number == 0) {
                __builtin_trap();
            }
        } else if (const auto* v = std::get_if<SetVariableStatement>(&st.body)) {
            checkValue(ExprEvaluator::evaluate(v->value, ctx, err), err);
        } else if (const auto* p = std::get_if<PrintStatement>(&st.body)) {
            checkValue(ExprEvaluator::evaluate(p->value, ctx, err), err);
        } else if (const auto* i = std::get_if<IfStatement>(&st.body)) {
            if (!ExprEvaluator::holds(i->condition, ctx, err) && err.number == 0) __builtin_trap();
            evaluate(i->then, ctx);
            evaluate(i->otherwise, ctx);
        } else if (const auto* b = std::get_if<BlockStatement>(&st.body)) {
            evaluate(b->body, ctx);
        } else if (const auto* t = std::get_if<TryCatchStatement>(&st.body)) {
            evaluate(t->body, ctx);
            evaluate(t->handler, ctx);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024) return 0;
    const std::string sql(reinterpret_cast<const char*>(data), size);
    standin::LexResult lexed = standin::Lexer::tokenize(sql);
    if (lexed.tokens.empty() || lexed.tokens.back().kind != standin::SqlToken::Kind::End)
        __builtin_trap();
    const standin::EvalContext ctx = sampleContext();
    for (const auto release :
         {standin::ServerVersion::Release::Sql2000, standin::ServerVersion::Release::Sql2019}) {
        const standin::ParseResult parsed =
            standin::Parser::parseBatch(sql, standin::ServerVersion(release));
        if (parsed.failure && !parsed.statements.empty()) __builtin_trap();
        if (lexed.failure && !parsed.failure) __builtin_trap();
        evaluate(parsed.statements, ctx);
    }
    return 0;
}
