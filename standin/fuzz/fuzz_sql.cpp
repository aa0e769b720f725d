// libFuzzer target over the SQL tokenizer, the parser and SELECT evaluation: any batch text must
// give statements or one compile error, and any SELECT rows or one error, never a crash, a hang
// or unbounded growth.

#include <cstddef>
#include <cstdint>
#include <string>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024) return 0;
    const std::string sql(reinterpret_cast<const char*>(data), size);
    standin::LexResult lexed = standin::Lexer::tokenize(sql);
    if (lexed.tokens.empty() || lexed.tokens.back().kind != standin::SqlToken::Kind::End)
        __builtin_trap();
    standin::ParseResult parsed = standin::Parser::parseBatch(sql);
    if (parsed.failure && !parsed.statements.empty()) __builtin_trap();
    if (lexed.failure && !parsed.failure) __builtin_trap();

    standin::SelectContext ctx;
    ctx.table = [](const standin::ObjectName&, standin::Message&) {
        return std::optional<standin::ResultSet>(sampleTable());
    };
    ctx.scalar = [](const standin::Expr&, standin::Message&) {
        standin::TypedValue v;
        v.column = {"", standin::ColType::Int, 0, false};
        v.value = standin::Value::integer(51);
        return std::optional<standin::TypedValue>(v);
    };
    for (const standin::Statement& st : parsed.statements) {
        if (const auto* s = std::get_if<standin::SelectStatement>(&st.body)) {
            standin::ResultSet out;
            standin::Message err;
            if (standin::SelectRunner::run(*s, ctx, out, err)) {
                for (const auto& row : out.rows) {
                    if (row.size() != out.columns.size()) __builtin_trap();
                }
            } else if (err.number == 0) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
