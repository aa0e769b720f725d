// libFuzzer target over the SQL tokenizer and parser: any batch text must give statements or
// one compile error, never a crash, a hang or unbounded growth.

#include <cstddef>
#include <cstdint>
#include <string>

#include "Lexer.h"
#include "Parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024) return 0;
    const std::string sql(reinterpret_cast<const char*>(data), size);
    standin::LexResult lexed = standin::Lexer::tokenize(sql);
    if (lexed.tokens.empty() || lexed.tokens.back().kind != standin::SqlToken::Kind::End)
        __builtin_trap();
    standin::ParseResult parsed = standin::Parser::parseBatch(sql);
    if (parsed.failure && !parsed.statements.empty()) __builtin_trap();
    if (lexed.failure && !parsed.failure) __builtin_trap();
    return 0;
}
