#include "TokenWriter.h"

#include <algorithm>

#include "Utf16.h"

namespace standin {

const uint8_t kCollation[5] = {0x09, 0x04, 0xD0, 0x00, 0x34};

namespace {

enum : uint8_t {
    TokColMetadata = 0x81,
    TokError = 0xAA,
    TokInfo = 0xAB,
    TokLoginAck = 0xAD,
    TokRow = 0xD1,
    TokEnvChange = 0xE3,
    TokDone = 0xFD,
    TokDoneProc = 0xFE,
    TokDoneInProc = 0xFF,
    TokReturnStatus = 0x79,
};

enum : uint8_t {
    TypeInt1 = 0x30,
    TypeInt2 = 0x34,
    TypeInt4 = 0x38,
    TypeDateTime = 0x3D,
    TypeVariant = 0x62,
    TypeDateTimeN = 0x6F,
    TypeIntN = 0x26,
    TypeBigVarBinary = 0xA5,
    TypeNVarChar = 0xE7,
    TypeNChar = 0xEF,
};

constexpr uint16_t kMaxNChars = 4000;  // nvarchar/nchar limit of SQL Server 2000
constexpr uint16_t kMaxBinary = 8000;
constexpr uint32_t kVariantMax = 8009;
constexpr size_t kMaxMessageChars = 4000;  // keeps every INFO/ERROR within its 2-byte length

void putCollation(Bytes& out) {
    out.insert(out.end(), kCollation, kCollation + 5);
}

// B_VARCHAR: one-byte length in characters, so names longer than 255 units are cut.
void putBVarChar(Bytes& out, const std::string& s) {
    const Bytes u = truncateUtf16(utf8ToUtf16le(s), 255);
    putU8(out, static_cast<uint8_t>(u.size() / 2));
    putBytes(out, u);
}

void putUsVarChar(Bytes& out, const std::string& s, size_t maxChars) {
    const Bytes u = truncateUtf16(utf8ToUtf16le(s), maxChars);
    putU16LE(out, static_cast<uint16_t>(u.size() / 2));
    putBytes(out, u);
}

uint16_t charLimit(const Column& c) {
    return std::clamp<uint16_t>(c.maxChars, 1, kMaxNChars);
}

uint16_t binaryLimit(const Column& c) {
    return std::clamp<uint16_t>(c.maxChars, 1, kMaxBinary);
}

std::string textOf(const Value& v) {
    if (v.kind == Value::Kind::Int) return std::to_string(v.i);
    return v.text;
}

void putTypeInfo(Bytes& out, const Column& c) {
    switch (c.type) {
        case ColType::Int:
            putU8(out, TypeInt4);
            break;
        case ColType::SmallInt:
            putU8(out, TypeInt2);
            break;
        case ColType::TinyInt:
            putU8(out, TypeInt1);
            break;
        case ColType::IntN:
            putU8(out, TypeIntN);
            putU8(out, 4);
            break;
        case ColType::SmallIntN:
            putU8(out, TypeIntN);
            putU8(out, 2);
            break;
        case ColType::NVarChar:
        case ColType::NChar:
            putU8(out, c.type == ColType::NVarChar ? TypeNVarChar : TypeNChar);
            putU16LE(out, static_cast<uint16_t>(charLimit(c) * 2));
            putCollation(out);
            break;
        case ColType::SqlVariant:
            putU8(out, TypeVariant);
            putU32LE(out, kVariantMax);
            break;
        case ColType::DateTime:
            if (c.nullable) {
                putU8(out, TypeDateTimeN);
                putU8(out, 8);
            } else {
                putU8(out, TypeDateTime);
            }
            break;
        case ColType::VarBinary:
            putU8(out, TypeBigVarBinary);
            putU16LE(out, binaryLimit(c));
            break;
    }
}

void putFixedInt(Bytes& out, const Value& v, int width) {
    const uint64_t x = v.kind == Value::Kind::Int ? static_cast<uint64_t>(v.i) : 0;
    for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>((x >> (8 * i)) & 0xFF));
}

// NVARCHAR / NCHAR: 2-byte byte count (0xFFFF for NULL), UTF-16LE; NCHAR padded with blanks.
void putText(Bytes& out, const Column& c, const Value& v) {
    if (v.kind == Value::Kind::Null) {
        putU16LE(out, 0xFFFF);
        return;
    }
    const uint16_t limit = charLimit(c);
    Bytes u = truncateUtf16(utf8ToUtf16le(textOf(v)), limit);
    if (c.type == ColType::NChar) {
        while (u.size() / 2 < limit) putU16LE(u, 0x0020);
    }
    putU16LE(out, static_cast<uint16_t>(u.size()));
    putBytes(out, u);
}

// SQL_VARIANT: 4-byte length, base type, property bytes, value; an int or an nvarchar.
void putVariant(Bytes& out, const Value& v) {
    if (v.kind == Value::Kind::Null) {
        putU32LE(out, 0);
    } else if (v.kind == Value::Kind::Int) {
        putU32LE(out, 2 + 4);
        putU8(out, TypeInt4);
        putU8(out, 0);
        putFixedInt(out, v, 4);
    } else {
        const Bytes u = truncateUtf16(utf8ToUtf16le(textOf(v)), kMaxNChars);
        putU32LE(out, static_cast<uint32_t>(2 + 7 + u.size()));
        putU8(out, TypeNVarChar);
        putU8(out, 7);
        putCollation(out);
        putU16LE(out, static_cast<uint16_t>(kMaxNChars * 2));
        putBytes(out, u);
    }
}

// DATETIME: days and 1/300 s ticks; the nullable form carries a length byte first.
void putDateTime(Bytes& out, const Column& c, const Value& v) {
    if (c.nullable) {
        if (v.kind == Value::Kind::Null) {
            putU8(out, 0);
            return;
        }
        putU8(out, 8);
    }
    const bool dated = v.kind == Value::Kind::DateTime || v.kind == Value::Kind::Int;
    putU32LE(out, static_cast<uint32_t>(dated ? v.i : 0));
    putU32LE(out, static_cast<uint32_t>(v.kind == Value::Kind::DateTime ? v.ticks : 0));
}

void putValue(Bytes& out, const Column& c, const Value& v) {
    switch (c.type) {
        case ColType::Int:
            putFixedInt(out, v, 4);
            break;
        case ColType::SmallInt:
            putFixedInt(out, v, 2);
            break;
        case ColType::TinyInt:
            putFixedInt(out, v, 1);
            break;
        case ColType::IntN:
        case ColType::SmallIntN: {
            const int width = c.type == ColType::IntN ? 4 : 2;
            if (v.kind != Value::Kind::Int) {
                putU8(out, 0);
            } else {
                putU8(out, static_cast<uint8_t>(width));
                putFixedInt(out, v, width);
            }
            break;
        }
        case ColType::NVarChar:
        case ColType::NChar:
            putText(out, c, v);
            break;
        case ColType::SqlVariant:
            putVariant(out, v);
            break;
        case ColType::DateTime:
            putDateTime(out, c, v);
            break;
        case ColType::VarBinary: {
            if (v.kind == Value::Kind::Null) {
                putU16LE(out, 0xFFFF);
                break;
            }
            const size_t n = std::min<size_t>(v.text.size(), binaryLimit(c));
            putU16LE(out, static_cast<uint16_t>(n));
            out.insert(out.end(), v.text.begin(), v.text.begin() + static_cast<std::ptrdiff_t>(n));
            break;
        }
    }
}

// Fixed-width types are NOT NULL by nature; the others carry the column's own nullability.
bool nullableOnWire(const Column& c) {
    switch (c.type) {
        case ColType::Int:
        case ColType::SmallInt:
        case ColType::TinyInt:
            return false;
        case ColType::IntN:
        case ColType::SmallIntN:
        case ColType::SqlVariant:
            return true;
        default:
            return c.nullable;
    }
}

void patchLength16(Bytes& out, size_t lengthAt) {
    const size_t n = out.size() - lengthAt - 2;
    out[lengthAt] = static_cast<uint8_t>(n & 0xFF);
    out[lengthAt + 1] = static_cast<uint8_t>((n >> 8) & 0xFF);
}

}  // namespace

TokenWriter::TokenWriter(std::string serverName, std::array<uint8_t, 4> programVersion)
    : serverName_(std::move(serverName)), programVersion_(programVersion) {}

void TokenWriter::appendMessage(Bytes& out, const Message& m) const {
    putU8(out, m.severity >= 11 ? TokError : TokInfo);
    const size_t lengthAt = out.size();
    putU16LE(out, 0);
    putU32LE(out, static_cast<uint32_t>(m.number));
    putU8(out, m.state);
    putU8(out, m.severity);
    putUsVarChar(out, m.text, kMaxMessageChars);
    putBVarChar(out, serverName_);
    putBVarChar(out, m.procName);
    putU16LE(out, m.line);
    patchLength16(out, lengthAt);
}

void TokenWriter::appendResultSet(Bytes& out, const ResultSet& rs) {
    // A result without columns has no wire form; the DONE that follows still reports it.
    if (rs.columns.empty()) return;
    const size_t count = std::min<size_t>(rs.columns.size(), 4096);
    putU8(out, TokColMetadata);
    putU16LE(out, static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const Column& c = rs.columns[i];
        putU16LE(out, 0);  // user type
        putU16LE(out, nullableOnWire(c) ? 0x0001 : 0x0000);
        putTypeInfo(out, c);
        putBVarChar(out, c.name);
    }
    static const Value kNull;
    for (const auto& row : rs.rows) {
        putU8(out, TokRow);
        for (size_t i = 0; i < count; ++i)
            putValue(out, rs.columns[i], i < row.size() ? row[i] : kNull);
    }
}

void TokenWriter::appendDone(Bytes& out, const Done& d) {
    switch (d.kind) {
        case Done::Kind::Done:
            putU8(out, TokDone);
            break;
        case Done::Kind::DoneProc:
            putU8(out, TokDoneProc);
            break;
        case Done::Kind::DoneInProc:
            putU8(out, TokDoneInProc);
            break;
    }
    putU16LE(out, d.status);
    putU16LE(out, d.curCmd);
    putU32LE(out, d.rowCount);
}

void TokenWriter::appendReturnStatus(Bytes& out, const ReturnStatus& r) {
    putU8(out, TokReturnStatus);
    putU32LE(out, static_cast<uint32_t>(r.value));
}

void TokenWriter::appendEnvChange(Bytes& out, uint8_t type, const std::string& newValue,
                                  const std::string& oldValue) {
    putU8(out, TokEnvChange);
    const size_t lengthAt = out.size();
    putU16LE(out, 0);
    putU8(out, type);
    putBVarChar(out, newValue);
    putBVarChar(out, oldValue);
    patchLength16(out, lengthAt);
}

Bytes TokenWriter::encode(const Reply& reply) const {
    Bytes out;
    for (const Token& t : reply) {
        if (const auto* m = std::get_if<Message>(&t)) {
            appendMessage(out, *m);
        } else if (const auto* rs = std::get_if<ResultSet>(&t)) {
            appendResultSet(out, *rs);
        } else if (const auto* d = std::get_if<Done>(&t)) {
            appendDone(out, *d);
        } else if (const auto* r = std::get_if<ReturnStatus>(&t)) {
            appendReturnStatus(out, *r);
        } else if (const auto* db = std::get_if<DatabaseChange>(&t)) {
            appendEnvChange(out, 1, db->newName, db->oldName);
        }
    }
    return out;
}

Bytes TokenWriter::loginReply(const std::string& database, uint32_t packetSize) const {
    Bytes out;
    appendEnvChange(out, 1, database, "master");
    appendMessage(out,
                  Message{5701, 2, 10, "Changed database context to '" + database + "'.", "", 1});

    putU8(out, TokEnvChange);
    putU16LE(out, 8);
    putU8(out, 7);
    putU8(out, 5);
    putCollation(out);
    putU8(out, 0);

    appendEnvChange(out, 2, "us_english", "");
    appendMessage(out, Message{5703, 1, 10, "Changed language setting to us_english.", "", 1});

    const std::string prog = "Microsoft SQL Server";
    putU8(out, TokLoginAck);
    putU16LE(out, static_cast<uint16_t>(10 + 2 * prog.size()));
    putU8(out, 1);  // T-SQL interface
    for (uint8_t b : {0x71, 0x00, 0x00, 0x01}) putU8(out, b);
    putBVarChar(out, prog);
    for (uint8_t b : programVersion_) putU8(out, b);

    appendEnvChange(out, 4, std::to_string(packetSize), "4096");
    appendDone(out, Done{});
    return out;
}

Bytes TokenWriter::attentionAck() {
    Bytes out;
    appendDone(out, Done{Done::Kind::Done, DoneAttn, 0, 0});
    return out;
}

}  // namespace standin
