#pragma once
// The pieces statements are made of: data types, expressions, object names and the values of
// DBCC and procedure argument lists.

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// A data type as a DECLARE, CAST or CONVERT names it: sysname, nvarchar(60), int, ...
struct TypeSpec {
    std::string name;  // upper case, without the length
    int length = 0;    // 0 = none given, -1 = MAX
};

// A scalar or boolean expression of a SELECT list, WHERE clause or procedural statement.
struct Expr {
    enum class Kind {
        Column,         // name: the column as written (last part of a qualified name)
        Integer,        // integer literal in number
        Text,           // string literal in text
        Null,           // NULL
        Variable,       // name: @@VERSION, @@SPID, ... (upper case)
        LocalVariable,  // name: @m as written (declared in the batch)
        Function,       // name (upper case) with args
        Add,            // args[0] + args[1]: addition or concatenation
        Cast,           // CAST(args[0] AS type) or CONVERT(type, args[0])
        Compare,        // op: = <> < > <= >= over args[0], args[1]
        And,
        Or,
        Not,
        IsNull,  // args[0] IS NULL; negated for IS NOT NULL
        Like,    // args[0] LIKE args[1]; negated for NOT LIKE
        In,      // args[0] IN (args[1..]); negated for NOT IN
    };
    Kind kind = Kind::Integer;
    std::string name;
    std::string text;
    int64_t number = 0;
    std::string op;
    bool negated = false;
    TypeSpec type;  // Cast
    std::vector<Expr> args;

    bool isPredicate() const {
        return kind == Kind::Compare || kind == Kind::And || kind == Kind::Or ||
               kind == Kind::Not || kind == Kind::IsNull || kind == Kind::Like || kind == Kind::In;
    }
};

// db.owner.object with empty parts where the text left them out (master..sysdatabases).
struct ObjectName {
    std::string database;
    std::string owner;
    std::string object;
    std::string written;  // as the error messages name it
};

// A value of a DBCC or procedure argument list.
struct ArgValue {
    enum class Kind { Text, Integer, Default, Null, Variable };
    Kind kind = Kind::Text;
    std::string text;  // Text; also the written text of an Integer; a Variable's name
    int64_t number = 0;
    bool unicode = false;
};

}  // namespace standin
