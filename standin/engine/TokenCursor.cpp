#include "TokenCursor.h"

#include <algorithm>
#include <cctype>

#include "Collation.h"

namespace standin {

Message TokenCursor::compileError(int32_t number, std::string text, uint16_t line) {
    Message m;
    m.number = number;
    m.severity = 15;
    m.state = 1;
    m.text = std::move(text);
    m.line = line;
    return m;
}

Message TokenCursor::syntaxError(const SqlToken& tok) {
    const std::string shown =
        (tok.kind == SqlToken::Kind::String || tok.kind == SqlToken::Kind::NString ||
         tok.kind == SqlToken::Kind::Quoted)
            ? tok.value
            : tok.text;
    if (tok.isKeyword())
        return compileError(156, "Incorrect syntax near the keyword '" + shown + "'.", tok.line);
    return compileError(102, "Incorrect syntax near '" + shown + "'.", tok.line);
}

std::string TokenCursor::upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

const SqlToken& TokenCursor::peek(size_t ahead) const {
    const size_t i = std::min(pos_ + ahead, toks_.size() - 1);
    return toks_[i];
}

void TokenCursor::skip(size_t count) {
    pos_ = std::min(pos_ + count, toks_.size() - 1);
}

const SqlToken& TokenCursor::next() {
    const SqlToken& t = toks_[std::min(pos_, toks_.size() - 1)];
    if (pos_ < toks_.size() - 1) ++pos_;
    return t;
}

void TokenCursor::failAt(const SqlToken& tok) const {
    if (tok.kind == SqlToken::Kind::End) {
        // At the end of the text the server names the last token it read.
        if (toks_.size() >= 2) throw ParseFailure{syntaxError(toks_[toks_.size() - 2])};
    }
    throw ParseFailure{syntaxError(tok)};
}

void TokenCursor::fail(int32_t number, std::string text) const {
    throw ParseFailure{compileError(number, std::move(text), peek().line)};
}

void TokenCursor::expectSymbol(const char* s) {
    if (!peek().isSymbol(s)) failHere();
    ++pos_;
}

void TokenCursor::expectWord(const char* w) {
    if (!peek().isWord(w)) failHere();
    ++pos_;
}

bool TokenCursor::acceptSymbol(const char* s) {
    if (!peek().isSymbol(s)) return false;
    ++pos_;
    return true;
}

bool TokenCursor::acceptWord(const char* w) {
    if (!peek().isWord(w)) return false;
    ++pos_;
    return true;
}

bool TokenCursor::atVariable(size_t ahead) const {
    const SqlToken& t = peek(ahead);
    return t.kind == SqlToken::Kind::Word && t.text[0] == '@' &&
           (t.text.size() < 2 || t.text[1] != '@');
}

bool TokenCursor::declared(const std::string& name) const {
    return std::any_of(variables_.begin(), variables_.end(),
                       [&](const std::string& v) { return Collation::equal(v, name); });
}

void TokenCursor::declare(const SqlToken& tok) {
    if (declared(tok.text)) {
        throw ParseFailure{compileError(134,
                                        "The variable name '" + tok.text +
                                            "' has already been declared. Variable names must "
                                            "be unique within a query batch or stored procedure.",
                                        tok.line)};
    }
    variables_.push_back(tok.text);
}

void TokenCursor::undeclared(const SqlToken& tok) const {
    const std::string text = version_.has(ReleaseRule::Messages2005)
                                 ? "Must declare the scalar variable \"" + tok.text + "\"."
                                 : "Must declare the variable '" + tok.text + "'.";
    throw ParseFailure{compileError(137, text, tok.line)};
}

std::string TokenCursor::variable() {
    const SqlToken& t = peek();
    if (!atVariable()) failHere();
    if (!declared(t.text)) undeclared(t);
    ++pos_;
    return t.text;
}

std::string TokenCursor::name() {
    const SqlToken& t = peek();
    if (t.kind == SqlToken::Kind::Quoted) {
        ++pos_;
        return t.value;
    }
    if (t.kind == SqlToken::Kind::Word && !t.isKeyword() && t.text[0] != '@') {
        ++pos_;
        return t.value;
    }
    if (t.kind == SqlToken::Kind::Word && t.text[0] == '@') undeclared(t);
    failHere();
}

bool TokenCursor::atName() const {
    const SqlToken& t = peek();
    return t.kind == SqlToken::Kind::Quoted ||
           (t.kind == SqlToken::Kind::Word && !t.isKeyword() && t.text[0] != '@');
}

ObjectName TokenCursor::objectName() {
    std::vector<std::string> parts;
    std::string written;
    parts.push_back(name());
    written = toks_[pos_ - 1].text;
    while (peek().isSymbol(".")) {
        ++pos_;
        written += ".";
        if (peek().isSymbol(".")) {
            parts.push_back("");
            continue;
        }
        parts.push_back(name());
        written += toks_[pos_ - 1].text;
    }
    if (parts.size() > 3) {
        throw ParseFailure{compileError(
            117,
            "The object name '" + written +
                "' contains more than the maximum number of prefixes. The maximum is 2.",
            peek().line)};
    }
    ObjectName o;
    o.written = written;
    o.object = parts.back();
    if (parts.size() >= 2) o.owner = parts[parts.size() - 2];
    if (parts.size() == 3) o.database = parts[0];
    return o;
}

}  // namespace standin
