#pragma once
// The parser's place in a batch's tokens, with what every statement's reading needs: the release
// being played, the variables the batch has declared so far, and the compile errors that
// refuse the batch.

#include <string>
#include <vector>

#include "Expr.h"
#include "Lexer.h"
#include "Reply.h"
#include "ServerVersion.h"

namespace standin {

// A compile error: it ends the parse of the whole batch.
struct ParseFailure {
    Message message;
};

class TokenCursor {
public:
    TokenCursor(std::vector<SqlToken> tokens, const ServerVersion& version)
        : toks_(std::move(tokens)), version_(version) {}

    static Message compileError(int32_t number, std::string text, uint16_t line);
    // 156 near a reserved keyword, 102 near anything else.
    static Message syntaxError(const SqlToken& tok);
    static std::string upper(std::string s);

    const ServerVersion& version() const { return version_; }

    const SqlToken& peek(size_t ahead = 0) const;
    const SqlToken& next();
    // The token read last.
    const SqlToken& previous() const { return toks_[pos_ == 0 ? 0 : pos_ - 1]; }
    void skip(size_t count = 1);
    [[noreturn]] void failAt(const SqlToken& tok) const;
    [[noreturn]] void failHere() const { failAt(peek()); }
    // A compile error other than a syntax error, on the current line.
    [[noreturn]] void fail(int32_t number, std::string text) const;
    void expectSymbol(const char* s);
    void expectWord(const char* w);
    bool acceptSymbol(const char* s);
    bool acceptWord(const char* w);

    // A local @variable (not an @@variable) is next.
    bool atVariable(size_t ahead = 0) const;
    bool declared(const std::string& name) const;
    // Records a DECLAREd variable; 134 when the batch has declared it already.
    void declare(const SqlToken& tok);
    // 137: an @name the batch has not declared.
    [[noreturn]] void undeclared(const SqlToken& tok) const;
    // The next token as a declared variable's name (137 when it is not one).
    std::string variable();

    // An identifier: a non-reserved word or a [quoted] one.
    std::string name();
    bool atName() const;
    ObjectName objectName();

private:
    std::vector<SqlToken> toks_;
    size_t pos_ = 0;
    ServerVersion version_;
    std::vector<std::string> variables_;  // declared so far in this batch
};

}  // namespace standin
