#pragma once
// The data types a DECLARE, CAST or CONVERT can name here, and how values convert to them.

#include <optional>
#include <string>

#include "Ast.h"
#include "Reply.h"
#include "ServerVersion.h"

namespace standin {

// A value with the column type it is reported under.
struct TypedValue {
    Value value;
    Column column;
};

class SqlTypes {
public:
    // True for the types known here: sysname, nvarchar, varchar, nchar, char, int, smallint,
    // tinyint and bit.
    static bool known(const std::string& upperName);
    static bool isText(const TypeSpec& type);
    // nchar, nvarchar and sysname (sp_executesql takes only these for its statement).
    static bool isUnicode(const TypeSpec& type);
    // The type with its length settled: sysname is nvarchar(128); a character type written
    // without a length has `defaultLength` (1 in DECLARE, 30 in CAST and CONVERT).
    static TypeSpec settle(TypeSpec type, int defaultLength);
    // The longest length a character type may be given (4000 for Unicode, 8000 otherwise).
    static int maxLength(const TypeSpec& type);
    // The column a value of the (settled) type is reported under.
    static Column columnOf(const TypeSpec& type);

    // Converts `in` to the settled type: text is cut to its length (and padded for nchar and
    // char); text that is not a number fails with 245, a number out of range with 8115.
    static bool convert(const TypedValue& in, const TypeSpec& to, const ServerVersion& v,
                        TypedValue& out, Message& error);
    // The text of a value as CONVERT(nvarchar, value) gives it.
    static std::string text(const Value& v);
    // Text as a number, blanks around it allowed: false when it is no integer.
    static bool parseInt(const std::string& text, int64_t& out);
};

}  // namespace standin
