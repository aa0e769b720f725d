// PRELOGIN and LOGIN7 decoding with the record shapes FreeTDS and tedious send.
#include <gtest/gtest.h>

#include "protocol/Login7.h"
#include "protocol/Prelogin.h"
#include "protocol/Utf16.h"

using namespace standin;

namespace {

// A LOGIN7 record of the given TDS version; 7.2+ records have the 94-byte fixed part.
Bytes login7(uint32_t version, const std::string& user, const std::string& password,
             const std::string& database) {
    const size_t fixed = version >= 0x72000000 ? 94 : 86;
    Bytes b(fixed, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    auto entry = [&](size_t at, const Bytes& data, size_t chars) {
        b[at] = static_cast<uint8_t>(b.size() & 0xFF);
        b[at + 1] = static_cast<uint8_t>(b.size() >> 8);
        b[at + 2] = static_cast<uint8_t>(chars & 0xFF);
        b[at + 3] = static_cast<uint8_t>(chars >> 8);
        b.insert(b.end(), data.begin(), data.end());
    };
    put32(4, version);
    put32(8, 4096);
    entry(36, utf8ToUtf16le("host"), 4);
    entry(40, utf8ToUtf16le(user), utf16Length(user));
    entry(44, obfuscatePassword(utf8ToUtf16le(password)), utf16Length(password));
    entry(48, utf8ToUtf16le("app"), 3);
    entry(60, utf8ToUtf16le("ODBC"), 4);
    entry(68, utf8ToUtf16le(database), utf16Length(database));
    put32(0, static_cast<uint32_t>(b.size()));
    return b;
}

}  // namespace

TEST(Prelogin, ReadsTheClientsOptionsAndRejectsBrokenTables) {
    // FreeTDS's request: VERSION, ENCRYPTION (off), INSTOPT, THREADID, MARS, terminator.
    const Bytes request{0x00, 0x00, 0x1A, 0x00, 0x06, 0x01, 0x00, 0x20, 0x00, 0x01,
                        0x02, 0x00, 0x21, 0x00, 0x0C, 0x03, 0x00, 0x2D, 0x00, 0x04,
                        0x04, 0x00, 0x31, 0x00, 0x01, 0xFF, 0x09, 0x00, 0x00, 0x00,
                        0x00, 0x00, 0x00, 'M',  'S',  'S',  'Q',  'L',  'S',  'e',
                        'r',  'v',  'e',  'r',  0x00, 0x00, 0x00, 0x12, 0x34, 0x01};
    const auto parsed = parsePrelogin(request);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->clientVersion, 0x09000000u);
    ASSERT_TRUE(parsed->encryption);
    EXPECT_EQ(*parsed->encryption, EncryptOff);
    EXPECT_TRUE(parsed->asksMars);

    EXPECT_FALSE(parsePrelogin({}));
    EXPECT_FALSE(parsePrelogin({0x00, 0x00, 0x05, 0x00}));              // cut entry
    EXPECT_FALSE(parsePrelogin({0x01, 0x00, 0x06, 0x00, 0x01, 0xFF}));  // data past end
    EXPECT_FALSE(parsePrelogin({0x01, 0x00, 0x06, 0x00, 0x01, 0x02}));  // no terminator
    EXPECT_TRUE(parsePrelogin({0xFF}));
}

TEST(Prelogin, ReplyOffersNoEncryptionAndNoMars) {
    const Bytes reply = buildPreloginReply();
    const Bytes expected{0x00, 0x00, 0x15, 0x00, 0x06, 0x01, 0x00, 0x1B, 0x00, 0x01,
                         0x02, 0x00, 0x1C, 0x00, 0x01, 0x03, 0x00, 0x1D, 0x00, 0x00,
                         0xFF, 0x08, 0x00, 0x07, 0xF7, 0x00, 0x00, 0x02, 0x00};
    EXPECT_EQ(reply, expected);
    const auto back = parsePrelogin(reply);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->clientVersion, 0x080007F7u);
    EXPECT_FALSE(back->asksMars);
}

TEST(Login7, DecodesEveryTdsSevenLayout) {
    for (uint32_t version : {0x70000000u, 0x71000001u, 0x72090002u, 0x74000004u}) {
        const auto login = decodeLogin7(login7(version, "sa", "p;w'é", "库"));
        ASSERT_TRUE(login) << std::hex << version;
        EXPECT_EQ(login->tdsVersion, version);
        EXPECT_EQ(login->packetSize, 4096u);
        EXPECT_EQ(login->userName, "sa");
        EXPECT_EQ(login->password, "p;w'é");
        EXPECT_EQ(login->database, "库");
        EXPECT_EQ(login->hostName, "host");
        EXPECT_EQ(login->library, "ODBC");
    }
    // The obfuscation of "sa" as the wire shows it.
    EXPECT_EQ(obfuscatePassword(utf8ToUtf16le("sa")), (Bytes{0x92, 0xA5, 0xB3, 0xA5}));
}

TEST(Login7, RefusesRecordsThatPointOutsideThemselves) {
    const Bytes good = login7(0x71000001, "sa", "pw", "master");
    EXPECT_FALSE(decodeLogin7(Bytes(good.begin(), good.begin() + 85)));

    Bytes shortDeclared = good;
    shortDeclared[0] = 90;  // the strings lie past the declared length
    EXPECT_FALSE(decodeLogin7(shortDeclared));

    Bytes longDeclared = good;
    longDeclared[1] = 0x40;  // declares more than arrived
    EXPECT_FALSE(decodeLogin7(longDeclared));

    Bytes badOffset = good;
    badOffset[40] = 0xFF;
    badOffset[41] = 0xFF;
    EXPECT_FALSE(decodeLogin7(badOffset));

    Bytes badLength = good;
    badLength[42] = 0xFF;
    badLength[43] = 0xFF;
    EXPECT_FALSE(decodeLogin7(badLength));
}

TEST(Prelogin, EncryptionFollowsTheClientServerTable) {
    using S = ServerEncryption;
    using U = TlsUse;
    const std::optional<uint8_t> none;
    struct Case {
        S server;
        std::optional<uint8_t> client;
        uint8_t reply;
        U use;
    };
    const Case cases[] = {
        // No certificate: never encrypted; a client that insists gives up by itself.
        {S::Off, EncryptOff, EncryptNotSup, U::None},
        {S::Off, EncryptOn, EncryptNotSup, U::None},
        {S::Off, EncryptNotSup, EncryptNotSup, U::None},
        // A certificate: the login at least, the whole session when the client asks.
        {S::Login, EncryptOff, EncryptOff, U::LoginOnly},
        {S::Login, EncryptOn, EncryptOn, U::WholeSession},
        {S::Login, EncryptReq, EncryptOn, U::WholeSession},
        {S::Login, EncryptNotSup, EncryptNotSup, U::None},
        {S::Login, none, EncryptNotSup, U::None},
        // Forced: everything encrypted; a client that cannot encrypt is turned away.
        {S::Required, EncryptOff, EncryptReq, U::WholeSession},
        {S::Required, EncryptOn, EncryptOn, U::WholeSession},
        {S::Required, EncryptReq, EncryptOn, U::WholeSession},
        {S::Required, EncryptNotSup, EncryptReq, U::Refused},
        {S::Required, none, EncryptReq, U::Refused},
        {S::Required, uint8_t{0x81}, EncryptOn, U::WholeSession},  // client-certificate bit
        {S::Required, uint8_t{0x07}, EncryptReq, U::Refused},      // a value no client sends
    };
    for (const Case& c : cases) {
        const EncryptionAnswer a = negotiateEncryption(c.server, c.client);
        const int row = static_cast<int>(&c - cases);
        EXPECT_EQ(a.reply, c.reply) << "row " << row;
        EXPECT_EQ(a.use, c.use) << "row " << row;
        // The answer carries the byte where the off reply carries NOT_SUP, nothing else moves.
        Bytes expected = buildPreloginReply();
        expected[27] = c.reply;
        EXPECT_EQ(buildPreloginReply(a.reply), expected) << "row " << row;
    }
    EXPECT_EQ(productVersionText(), "8.00.2039");
}
