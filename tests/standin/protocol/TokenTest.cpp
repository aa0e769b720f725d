// Token encoding: the byte layouts FreeTDS and tedious read strictly.
#include <gtest/gtest.h>

#include "protocol/TokenWriter.h"
#include "protocol/Utf16.h"

using namespace standin;

TEST(TokenWriter, DatabaseListMatchesTheWire) {
    ResultSet rs;
    rs.columns.push_back({"name", ColType::NVarChar, 128, false});
    rs.rows.push_back({Value::str("master")});
    const Reply reply{rs, Done{Done::Kind::Done, DoneCount, 0xC1, 1}};
    const Bytes expected{0x81, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE7, 0x00, 0x01, 0x09, 0x04,
                         0xD0, 0x00, 0x34, 0x04, 'n',  0x00, 'a',  0x00, 'm',  0x00, 'e',  0x00,
                         0xD1, 0x0C, 0x00, 'm',  0x00, 'a',  0x00, 's',  0x00, 't',  0x00, 'e',
                         0x00, 'r',  0x00, 0xFD, 0x10, 0x00, 0xC1, 0x00, 0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(TokenWriter().encode(reply), expected);
}

TEST(TokenWriter, ValuesOfEveryColumnType) {
    ResultSet rs;
    rs.columns = {
        {"a", ColType::Int},           {"b", ColType::SmallInt},           {"c", ColType::TinyInt},
        {"d", ColType::IntN, 0, true}, {"e", ColType::SmallIntN, 0, true}, {"f", ColType::NChar, 3},
        {"g", ColType::SqlVariant},    {"h", ColType::SqlVariant},         {"i", ColType::DateTime},
        {"j", ColType::VarBinary, 4},  {"k", ColType::NVarChar, 2, true}};
    rs.rows.push_back({Value::integer(-2), Value::integer(66), Value::integer(80), Value::null(),
                       Value::integer(7), Value::str("x"), Value::integer(539), Value::str("db"),
                       Value::dateTime(36524, 300),
                       Value::bytes(std::string("\x01\x02\x03\x04\x05", 5)), Value::str("abc")});
    const Bytes out = TokenWriter().encode({rs});
    const Bytes row{0xD1, 0xFE, 0xFF, 0xFF, 0xFF,                    // int -2
                    0x42, 0x00,                                      // smallint 66
                    0x50,                                            // tinyint 80
                    0x00,                                            // int NULL
                    0x02, 0x07, 0x00,                                // smallint NULL-able 7
                    0x06, 0x00, 'x',  0x00, ' ',  0x00, ' ',  0x00,  // nchar(3) padded
                    0x06, 0x00, 0x00, 0x00, 0x38, 0x00, 0x1B, 0x02, 0x00, 0x00,  // variant int
                    0x0D, 0x00, 0x00, 0x00, 0xE7, 0x07, 0x09, 0x04, 0xD0, 0x00,
                    0x34, 0x40, 0x1F, 'd',  0x00, 'b',  0x00,        // variant nvarchar
                    0xAC, 0x8E, 0x00, 0x00, 0x2C, 0x01, 0x00, 0x00,  // datetime
                    0x04, 0x00, 0x01, 0x02, 0x03, 0x04,              // varbinary(4), cut
                    0x04, 0x00, 'a',  0x00, 'b',  0x00};             // nvarchar(2), cut
    ASSERT_GE(out.size(), row.size());
    EXPECT_EQ(Bytes(out.end() - static_cast<std::ptrdiff_t>(row.size()), out.end()), row);

    // The metadata of the nullable and variable types.
    const Bytes meta = Bytes(out.begin(), out.end() - static_cast<std::ptrdiff_t>(row.size()));
    const Bytes intN{0x01, 0x00, 0x26, 0x04, 0x01, 'd', 0x00};
    const Bytes variant{0x01, 0x00, 0x62, 0x49, 0x1F, 0x00, 0x00, 0x01, 'g', 0x00};
    EXPECT_NE(std::search(meta.begin(), meta.end(), intN.begin(), intN.end()), meta.end());
    EXPECT_NE(std::search(meta.begin(), meta.end(), variant.begin(), variant.end()), meta.end());
}

TEST(TokenWriter, MessagesAndProcedureEnds) {
    Message m{18456, 1, 14, "Login failed for user 'sa'.", "", 0};
    const Bytes out = TokenWriter("SRV").encode(
        {m, ReturnStatus{1}, Done{Done::Kind::DoneProc, DoneError, 0, 0}});
    ASSERT_EQ(out[0], 0xAA);
    const size_t length = out[1] | (out[2] << 8);
    // Number, state, class, text, server, proc, 2-byte line.
    EXPECT_EQ(length, 4u + 1 + 1 + 2 + 2 * 27 + 1 + 2 * 3 + 1 + 2);
    EXPECT_EQ(Bytes(out.begin() + 3, out.begin() + 9), (Bytes{0x18, 0x48, 0x00, 0x00, 1, 14}));
    const Bytes tail{0x79, 0x01, 0x00, 0x00, 0x00, 0xFE, 0x02, 0x00, 0x00, 0x00, 0, 0, 0, 0};
    EXPECT_EQ(out.size(), 3 + length + tail.size());
    EXPECT_EQ(Bytes(out.end() - static_cast<std::ptrdiff_t>(tail.size()), out.end()), tail);

    // Severity 10 is information; an overlong text is cut so the length field stays true.
    const Bytes info = TokenWriter().encode({Message{5701, 2, 10, std::string(40000, 'x')}});
    EXPECT_EQ(info[0], 0xAB);
    EXPECT_EQ(static_cast<size_t>(info[1] | (info[2] << 8)), info.size() - 3);
}

TEST(TokenWriter, LoginReplyIsTheSqlServer2000Sequence) {
    const Bytes out = TokenWriter().loginReply("master", 4096);
    std::vector<uint8_t> tokens;
    size_t pos = 0;
    while (pos < out.size()) {
        const uint8_t t = out[pos];
        tokens.push_back(t);
        if (t == 0xFD) {
            pos += 9;
        } else {
            ASSERT_LE(pos + 3, out.size());
            pos += 3 + (out[pos + 1] | (out[pos + 2] << 8));
        }
    }
    EXPECT_EQ(pos, out.size());
    EXPECT_EQ(tokens, (std::vector<uint8_t>{0xE3, 0xAB, 0xE3, 0xE3, 0xAB, 0xAD, 0xE3, 0xFD}));

    const Bytes loginAck{0xAD, 0x32, 0x00, 0x01, 0x71, 0x00, 0x00, 0x01, 20};
    auto at = std::search(out.begin(), out.end(), loginAck.begin(), loginAck.end());
    ASSERT_NE(at, out.end());
    EXPECT_EQ(Bytes(at + 49, at + 53), (Bytes{0x08, 0x00, 0x07, 0xF7}));
    const Bytes collation{0xE3, 0x08, 0x00, 0x07, 0x05, 0x09, 0x04, 0xD0, 0x00, 0x34, 0x00};
    EXPECT_NE(std::search(out.begin(), out.end(), collation.begin(), collation.end()), out.end());

    EXPECT_EQ(TokenWriter::attentionAck(), (Bytes{0xFD, 0x20, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Utf16, RoundTripsAndRepairsBrokenText) {
    const std::string text = "附加 \xF0\x9F\x98\x80 x";  // CJK, a pair of surrogates, ASCII
    const Bytes u = utf8ToUtf16le(text);
    EXPECT_EQ(u.size() / 2, utf16Length(text));
    EXPECT_EQ(utf16leToUtf8(u), text);

    EXPECT_EQ(utf16leToUtf8(utf8ToUtf16le("a\xC3")), "a\xEF\xBF\xBD");  // cut sequence
    EXPECT_EQ(utf16leToUtf8(utf8ToUtf16le("\xED\xA0\x80")).substr(0, 3), "\xEF\xBF\xBD");
    EXPECT_EQ(utf16leToUtf8(Bytes{0x00, 0xD8, 'a', 0x00}),
              "\xEF\xBF\xBD"
              "a");                                        // lone high
    EXPECT_EQ(utf16leToUtf8(Bytes{'a', 0x00, 'b'}), "a");  // odd byte

    // Cutting never leaves half a surrogate pair.
    const Bytes pair = utf8ToUtf16le("a\xF0\x9F\x98\x80");
    EXPECT_EQ(truncateUtf16(pair, 2), utf8ToUtf16le("a"));
    EXPECT_EQ(truncateUtf16(pair, 3), pair);
}
