#include "Lexer.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace standin {

namespace {

// The server's reserved words (a syntax error naming one is reported as "near the keyword").
const char* const kReserved[] = {
    "ADD",
    "ALL",
    "ALTER",
    "AND",
    "ANY",
    "AS",
    "ASC",
    "AUTHORIZATION",
    "BACKUP",
    "BEGIN",
    "BETWEEN",
    "BREAK",
    "BROWSE",
    "BULK",
    "BY",
    "CASCADE",
    "CASE",
    "CHECK",
    "CHECKPOINT",
    "CLOSE",
    "CLUSTERED",
    "COALESCE",
    "COLLATE",
    "COLUMN",
    "COMMIT",
    "COMPUTE",
    "CONSTRAINT",
    "CONTAINS",
    "CONTAINSTABLE",
    "CONTINUE",
    "CONVERT",
    "CREATE",
    "CROSS",
    "CURRENT",
    "CURRENT_DATE",
    "CURRENT_TIME",
    "CURRENT_TIMESTAMP",
    "CURRENT_USER",
    "CURSOR",
    "DATABASE",
    "DBCC",
    "DEALLOCATE",
    "DECLARE",
    "DEFAULT",
    "DELETE",
    "DENY",
    "DESC",
    "DISK",
    "DISTINCT",
    "DISTRIBUTED",
    "DOUBLE",
    "DROP",
    "DUMMY",
    "DUMP",
    "ELSE",
    "END",
    "ERRLVL",
    "ESCAPE",
    "EXCEPT",
    "EXEC",
    "EXECUTE",
    "EXISTS",
    "EXIT",
    "FETCH",
    "FILE",
    "FILLFACTOR",
    "FOR",
    "FOREIGN",
    "FREETEXT",
    "FREETEXTTABLE",
    "FROM",
    "FULL",
    "FUNCTION",
    "GOTO",
    "GRANT",
    "GROUP",
    "HAVING",
    "HOLDLOCK",
    "IDENTITY",
    "IDENTITY_INSERT",
    "IDENTITYCOL",
    "IF",
    "IN",
    "INDEX",
    "INNER",
    "INSERT",
    "INTERSECT",
    "INTO",
    "IS",
    "JOIN",
    "KEY",
    "KILL",
    "LEFT",
    "LIKE",
    "LINENO",
    "LOAD",
    "NATIONAL",
    "NOCHECK",
    "NONCLUSTERED",
    "NOT",
    "NULL",
    "NULLIF",
    "OF",
    "OFF",
    "OFFSETS",
    "ON",
    "OPEN",
    "OPENDATASOURCE",
    "OPENQUERY",
    "OPENROWSET",
    "OPENXML",
    "OPTION",
    "OR",
    "ORDER",
    "OUTER",
    "OVER",
    "PERCENT",
    "PLAN",
    "PRECISION",
    "PRIMARY",
    "PRINT",
    "PROC",
    "PROCEDURE",
    "PUBLIC",
    "RAISERROR",
    "READ",
    "READTEXT",
    "RECONFIGURE",
    "REFERENCES",
    "REPLICATION",
    "RESTORE",
    "RESTRICT",
    "RETURN",
    "REVOKE",
    "RIGHT",
    "ROLLBACK",
    "ROWCOUNT",
    "ROWGUIDCOL",
    "RULE",
    "SAVE",
    "SCHEMA",
    "SELECT",
    "SESSION_USER",
    "SET",
    "SETUSER",
    "SHUTDOWN",
    "SOME",
    "STATISTICS",
    "SYSTEM_USER",
    "TABLE",
    "TEXTSIZE",
    "THEN",
    "TO",
    "TOP",
    "TRAN",
    "TRANSACTION",
    "TRIGGER",
    "TRUNCATE",
    "TSEQUAL",
    "UNION",
    "UNIQUE",
    "UPDATE",
    "UPDATETEXT",
    "USE",
    "USER",
    "VALUES",
    "VARYING",
    "VIEW",
    "WAITFOR",
    "WHEN",
    "WHERE",
    "WHILE",
    "WITH",
    "WRITETEXT",
};

bool isIdentStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c == '@' || c == '#' || c >= 0x80;
}

bool isIdentPart(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '@' || c == '#' || c == '$' || c >= 0x80;
}

std::string upper(const std::string& s) {
    std::string u = s;
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

}  // namespace

bool Lexer::isReservedKeyword(const std::string& word) {
    if (word.empty() || word.size() > 20) return false;
    const std::string u = upper(word);
    return std::any_of(std::begin(kReserved), std::end(kReserved),
                       [&](const char* k) { return u == k; });
}

bool SqlToken::isWord(const char* upperText) const {
    if (kind != Kind::Word || text.size() != std::strlen(upperText)) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != upperText[i]) return false;
    }
    return true;
}

bool SqlToken::isKeyword() const {
    return kind == Kind::Word && Lexer::isReservedKeyword(text);
}

bool SqlToken::isName() const {
    return kind == Kind::Quoted || (kind == Kind::Word && !Lexer::isReservedKeyword(text));
}

LexResult Lexer::tokenize(const std::string& sql) {
    LexResult result;
    const size_t n = sql.size();
    size_t i = 0;
    uint16_t line = 1;
    auto bumpLine = [&line]() {
        if (line < 0xFFFF) ++line;
    };
    auto fail = [&](int32_t number, std::string text) {
        result.failure = LexFailure{number, std::move(text), line};
    };
    // Reads a literal closed by `close`, where a doubled `close` stands for one; i is just past
    // the opening character. Returns false when the text ends first.
    auto readQuoted = [&](char close, std::string& value) {
        while (i < n) {
            const char c = sql[i];
            if (c == close) {
                if (i + 1 < n && sql[i + 1] == close) {
                    value += close;
                    i += 2;
                    continue;
                }
                ++i;
                return true;
            }
            if (c == '\n') bumpLine();
            value += c;
            ++i;
        }
        return false;
    };

    while (i < n && !result.failure) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        if (c == '\n') {
            bumpLine();
            ++i;
            continue;
        }
        if (std::isspace(c) || c == 0) {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n') ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            // Block comments nest, as they do on the server.
            size_t depth = 0;
            bool closed = false;
            while (i < n) {
                if (sql[i] == '/' && i + 1 < n && sql[i + 1] == '*') {
                    ++depth;
                    i += 2;
                } else if (sql[i] == '*' && i + 1 < n && sql[i + 1] == '/') {
                    i += 2;
                    if (--depth == 0) {
                        closed = true;
                        break;
                    }
                } else {
                    if (sql[i] == '\n') bumpLine();
                    ++i;
                }
            }
            if (!closed) fail(113, "Missing end comment mark '*/'.");
            continue;
        }

        SqlToken tok;
        tok.line = line;
        const size_t start = i;
        if ((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'') {
            i += 2;
            tok.kind = SqlToken::Kind::NString;
            if (!readQuoted('\'', tok.value)) {
                fail(105,
                     "Unclosed quotation mark before the character string '" + tok.value + "'.");
                break;
            }
        } else if (c == '\'') {
            ++i;
            tok.kind = SqlToken::Kind::String;
            if (!readQuoted('\'', tok.value)) {
                fail(105,
                     "Unclosed quotation mark before the character string '" + tok.value + "'.");
                break;
            }
        } else if (c == '[' || c == '"') {
            ++i;
            tok.kind = SqlToken::Kind::Quoted;
            if (!readQuoted(c == '[' ? ']' : '"', tok.value)) {
                fail(105,
                     "Unclosed quotation mark before the character string '" + tok.value + "'.");
                break;
            }
        } else if (std::isdigit(c) || (c == '.' && i + 1 < n &&
                                       std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            tok.kind = SqlToken::Kind::Number;
            while (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) ++i;
            if (i < n && sql[i] == '.') {
                ++i;
                while (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) ++i;
            }
            if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
                size_t j = i + 1;
                if (j < n && (sql[j] == '+' || sql[j] == '-')) ++j;
                if (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) {
                    i = j;
                    while (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) ++i;
                }
            }
            tok.value = sql.substr(start, i - start);
        } else if (isIdentStart(c)) {
            tok.kind = SqlToken::Kind::Word;
            while (i < n && isIdentPart(static_cast<unsigned char>(sql[i]))) ++i;
            tok.value = sql.substr(start, i - start);
        } else {
            tok.kind = SqlToken::Kind::Symbol;
            static const char* const twoChar[] = {"<>", "!=", "<=", ">=", "!<", "!>"};
            bool matched = false;
            if (i + 1 < n) {
                for (const char* op : twoChar) {
                    if (sql[i] == op[0] && sql[i + 1] == op[1]) {
                        i += 2;
                        matched = true;
                        break;
                    }
                }
            }
            if (!matched) {
                // A UTF-8 lead byte is part of a word; anything else stands alone.
                ++i;
            }
            tok.value = sql.substr(start, i - start);
        }
        tok.text = sql.substr(start, i - start);
        result.tokens.push_back(std::move(tok));
    }
    SqlToken end;
    end.kind = SqlToken::Kind::End;
    end.line = line;
    result.tokens.push_back(end);
    return result;
}

}  // namespace standin
