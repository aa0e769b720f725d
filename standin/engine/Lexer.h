#pragma once
// Splits a batch's text into tokens the way the server's own tokenizer does: N'...' and '...'
// literals with doubled quotes, [bracketed] and "quoted" identifiers, -- and nested /* */ comments.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standin {

struct SqlToken {
    enum class Kind {
        Word,     // a regular identifier or keyword, also @name, @@name and #name
        Quoted,   // [identifier] or "identifier": value holds the identifier
        String,   // '...': value holds the text
        NString,  // N'...': value holds the text
        Number,   // digits, optionally with a fraction or exponent
        Symbol,   // operator or punctuation, also any character the tokenizer does not know
        End,
    };
    Kind kind = Kind::End;
    std::string text;   // as written in the batch
    std::string value;  // identifier or literal text with quoting removed
    uint16_t line = 1;

    bool isWord(const char* upper) const;  // a Word equal to upper, ignoring case
    bool isSymbol(const char* s) const { return kind == Kind::Symbol && text == s; }
    bool isKeyword() const;  // a Word that is a reserved keyword
    bool isName() const;     // usable as an identifier (not a reserved keyword)
};

struct LexFailure {
    int32_t number = 0;
    std::string text;
    uint16_t line = 1;
};

struct LexResult {
    std::vector<SqlToken> tokens;  // always ends with an End token
    std::optional<LexFailure> failure;
};

class Lexer {
public:
    static LexResult tokenize(const std::string& sql);
    static bool isReservedKeyword(const std::string& word);
};

}  // namespace standin
