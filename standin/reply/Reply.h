#pragma once
// What one batch produces, in the order the server sends it. The engine decides every token,
// status bit and row count; the protocol layer only encodes them.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace standin {

// Column types a SQL Server 2000 reply uses for the statements we answer.
enum class ColType {
    Int,         // int NOT NULL (INT4)
    SmallInt,    // smallint NOT NULL (INT2)
    TinyInt,     // tinyint NOT NULL (INT1)
    IntN,        // int NULL (INTN, length 4)
    SmallIntN,   // smallint NULL (INTN, length 2)
    NVarChar,    // nvarchar(maxChars)
    NChar,       // nchar(maxChars): values are blank-padded to maxChars by the encoder
    SqlVariant,  // sql_variant: each value's base type is int (Value::Int) or nvarchar (Value::Text)
    DateTime,    // datetime NOT NULL
    VarBinary,   // varbinary(maxChars bytes)
};

struct Column {
    std::string name;  // UTF-8
    ColType type = ColType::Int;
    uint16_t maxChars = 0;  // for NVarChar / NChar (characters) and VarBinary (bytes)
    bool nullable = false;
};

struct Value {
    enum class Kind { Null, Int, Text, DateTime, Bytes };
    Kind kind = Kind::Null;
    int64_t i = 0;      // Int; for DateTime: days since 1900-01-01
    int64_t ticks = 0;  // DateTime: 1/300 s since midnight
    std::string text;   // Text (UTF-8) or Bytes (raw)

    static Value null() { return {}; }
    static Value integer(int64_t v) { Value x; x.kind = Kind::Int; x.i = v; return x; }
    static Value str(std::string s) { Value x; x.kind = Kind::Text; x.text = std::move(s); return x; }
    static Value bytes(std::string s) { Value x; x.kind = Kind::Bytes; x.text = std::move(s); return x; }
    static Value dateTime(int64_t days, int64_t ticks300) {
        Value x; x.kind = Kind::DateTime; x.i = days; x.ticks = ticks300; return x;
    }
};

// INFO (severity <= 10) or ERROR (severity >= 11).
struct Message {
    int32_t number = 0;
    uint8_t state = 1;
    uint8_t severity = 0;
    std::string text;  // UTF-8
    std::string procName;
    uint16_t line = 1;
};

struct ResultSet {
    std::vector<Column> columns;
    std::vector<std::vector<Value>> rows;
};

enum DoneStatus : uint16_t {
    DoneFinal = 0x00,
    DoneMore = 0x01,
    DoneError = 0x02,
    DoneInXact = 0x04,
    DoneCount = 0x10,
    DoneAttn = 0x20,
    DoneSrvError = 0x100,
};

struct Done {
    enum class Kind { Done, DoneProc, DoneInProc };
    Kind kind = Kind::Done;
    uint16_t status = DoneFinal;
    uint16_t curCmd = 0;
    uint32_t rowCount = 0;
};

struct ReturnStatus {
    int32_t value = 0;
};

// ENVCHANGE type 1: the session's current database changed (USE).
struct DatabaseChange {
    std::string newName;
    std::string oldName;
};

using Token = std::variant<Message, ResultSet, Done, ReturnStatus, DatabaseChange>;

// A batch's whole reply. The last Done (or DoneProc) carries no DoneMore bit.
using Reply = std::vector<Token>;

}  // namespace standin
