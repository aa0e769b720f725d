#pragma once
// Turns a batch's tokens into statements. A syntax error stops the whole batch before any
// statement runs, as on the server.

#include <optional>
#include <string>
#include <vector>

#include "Ast.h"
#include "Lexer.h"
#include "Reply.h"
#include "ServerVersion.h"

namespace standin {

struct ParseResult {
    std::vector<Statement> statements;
    std::optional<Message> failure;  // the compile error that refuses the batch
};

class Parser {
public:
    // The batch as the given release reads it (statements and options it does not have are
    // syntax errors there).
    static ParseResult parseBatch(const std::string& sql, const ServerVersion& version = {});

    // The message for a syntax error at tok: 156 for a reserved keyword, 102 otherwise.
    static Message syntaxError(const SqlToken& tok);
};

}  // namespace standin
