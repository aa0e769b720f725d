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

namespace {

// One pass over a batch's text; each read* step consumes one token or one stretch of blanks
// and comments.
class Scanner {
public:
    explicit Scanner(const std::string& sql) : sql_(sql), n_(sql.size()) {}

    LexResult run() {
        while (i_ < n_ && !result_.failure) {
            if (skipBlankOrComment()) continue;
            SqlToken tok;
            tok.line = line_;
            const size_t start = i_;
            if (!readToken(tok)) break;
            tok.text = sql_.substr(start, i_ - start);
            result_.tokens.push_back(std::move(tok));
        }
        SqlToken end;
        end.kind = SqlToken::Kind::End;
        end.line = line_;
        result_.tokens.push_back(end);
        return std::move(result_);
    }

private:
    void bumpLine() {
        if (line_ < 0xFFFF) ++line_;
    }
    void fail(int32_t number, std::string text) {
        result_.failure = LexFailure{number, std::move(text), line_};
    }
    bool at(size_t k, char c) const { return k < n_ && sql_[k] == c; }
    bool digitAt(size_t k) const {
        return k < n_ && std::isdigit(static_cast<unsigned char>(sql_[k]));
    }

    bool skipBlankOrComment() {
        const unsigned char c = static_cast<unsigned char>(sql_[i_]);
        if (c == '\n') {
            bumpLine();
            ++i_;
            return true;
        }
        if (std::isspace(c) || c == 0) {
            ++i_;
            return true;
        }
        if (c == '-' && at(i_ + 1, '-')) {
            while (i_ < n_ && sql_[i_] != '\n') ++i_;
            return true;
        }
        if (c == '/' && at(i_ + 1, '*')) {
            skipBlockComment();
            return true;
        }
        return false;
    }

    // Block comments nest, as they do on the server.
    void skipBlockComment() {
        size_t depth = 0;
        while (i_ < n_) {
            if (sql_[i_] == '/' && at(i_ + 1, '*')) {
                ++depth;
                i_ += 2;
            } else if (sql_[i_] == '*' && at(i_ + 1, '/')) {
                i_ += 2;
                if (--depth == 0) return;
            } else {
                if (sql_[i_] == '\n') bumpLine();
                ++i_;
            }
        }
        fail(113, "Missing end comment mark '*/'.");
    }

    // False when the text ended inside a literal (the failure is set).
    bool readToken(SqlToken& tok) {
        const unsigned char c = static_cast<unsigned char>(sql_[i_]);
        if ((c == 'N' || c == 'n') && at(i_ + 1, '\'')) {
            i_ += 2;
            return readQuoted(tok, SqlToken::Kind::NString, '\'');
        }
        if (c == '\'') {
            ++i_;
            return readQuoted(tok, SqlToken::Kind::String, '\'');
        }
        if (c == '[' || c == '"') {
            ++i_;
            return readQuoted(tok, SqlToken::Kind::Quoted, c == '[' ? ']' : '"');
        }
        const size_t start = i_;
        if (std::isdigit(c) || (c == '.' && digitAt(i_ + 1))) {
            readNumber();
            tok.kind = SqlToken::Kind::Number;
        } else if (isIdentStart(c)) {
            while (i_ < n_ && isIdentPart(static_cast<unsigned char>(sql_[i_]))) ++i_;
            tok.kind = SqlToken::Kind::Word;
        } else {
            readSymbol();
            tok.kind = SqlToken::Kind::Symbol;
        }
        tok.value = sql_.substr(start, i_ - start);
        return true;
    }

    // A literal closed by `close`, where a doubled `close` stands for one; i_ is just past the
    // opening character.
    bool readQuoted(SqlToken& tok, SqlToken::Kind kind, char close) {
        tok.kind = kind;
        while (i_ < n_) {
            const char c = sql_[i_];
            if (c == close) {
                if (at(i_ + 1, close)) {
                    tok.value += close;
                    i_ += 2;
                    continue;
                }
                ++i_;
                return true;
            }
            if (c == '\n') bumpLine();
            tok.value += c;
            ++i_;
        }
        fail(105, "Unclosed quotation mark before the character string '" + tok.value + "'.");
        return false;
    }

    void readNumber() {
        while (digitAt(i_)) ++i_;
        if (at(i_, '.')) {
            ++i_;
            while (digitAt(i_)) ++i_;
        }
        if (at(i_, 'e') || at(i_, 'E')) {
            size_t j = i_ + 1;
            if (at(j, '+') || at(j, '-')) ++j;
            if (digitAt(j)) {
                i_ = j;
                while (digitAt(i_)) ++i_;
            }
        }
    }

    // Operators of two characters stay whole; anything else stands alone.
    void readSymbol() {
        static const char* const twoChar[] = {"<>", "!=", "<=", ">=", "!<", "!>"};
        for (const char* op : twoChar) {
            if (sql_[i_] == op[0] && at(i_ + 1, op[1])) {
                i_ += 2;
                return;
            }
        }
        ++i_;
    }

    const std::string& sql_;
    const size_t n_;
    size_t i_ = 0;
    uint16_t line_ = 1;
    LexResult result_;
};

}  // namespace

LexResult Lexer::tokenize(const std::string& sql) {
    return Scanner(sql).run();
}

}  // namespace standin
