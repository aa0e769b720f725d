// What Korvid makes of a server's answer to its TLS probe, and which failed logins it asks about.
#include <gtest/gtest.h>

#include "access/TlsProbe.h"

using namespace korvid;

namespace {

// The server's PRELOGIN answer: VERSION 9.0.5000 and the ENCRYPTION byte.
QByteArray preloginAnswer(char encryption) {
    const QByteArray payload(
        "\x00\x00\x0B\x00\x06\x01\x00\x11\x00\x01\xFF"
        "\x09\x00\x13\x88\x00\x00",
        17);
    return QByteArray("\x04\x01\x00\x1A\x00\x00\x01\x00", 8) + payload + encryption;
}

// A packet holding one TLS record: a ServerHello of version and suite, or an alert.
QByteArray handshakeAnswer(int version, int suite, int alert) {
    QByteArray record;
    if (alert >= 0) {
        record = QByteArray("\x15\x03\x01\x00\x02\x02", 6) + char(alert);
    } else {
        QByteArray hello = QByteArray("\x02\x00\x00\x26", 4) + char(version >> 8) + char(version);
        hello += QByteArray(32, 'r') + char(0) + char(suite >> 8) + char(suite) + char(0);
        record = QByteArray("\x16\x03\x01\x00", 4) + char(hello.size()) + hello;
    }
    return QByteArray("\x12\x01\x00\x00\x00\x00\x01\x00", 8) + record;
}

db::ServerMessage record(int number, const char* state) {
    db::ServerMessage m;
    m.number = number;
    m.sqlState = QString::fromLatin1(state);
    return m;
}

}  // namespace

TEST(TlsProbe, TheServersAnswerBecomesTheReason) {
    struct Row {
        char encryption;
        int version, suite, alert;
        std::vector<const char*> says;  // all of them; none at all: no reason
    } rows[] = {
        {'\x02', 0, -1, -1, {}},  // the server does not encrypt: TLS is not why
        {'\x00',
         0x0301,
         0x002F,
         -1,
         {"SQL Server 9.0.5000", "TLS 1.0", "TLS_RSA_WITH_AES_128_CBC_SHA", "enable tls v1"}},
        {'\x00', 0x0303, 0xC02F, -1, {"TLS 1.2", "ca file"}},
        {'\x00', 0, -1, 40, {"40 handshake_failure", "encryption = off", "sa 密码"}},
        {'\x03', 0, -1, 70, {"70 protocol_version", "强制加密"}},
    };
    for (const Row& row : rows) {
        auto answer = readPreloginAnswer(preloginAnswer(row.encryption));
        ASSERT_TRUE(answer);
        readHandshakeAnswer(handshakeAnswer(row.version, row.suite, row.alert), *answer);
        const QString reason = tlsFailureReason(*answer);
        EXPECT_EQ(reason.isEmpty(), row.says.empty()) << reason.toStdString();
        for (const char* word : row.says)
            EXPECT_TRUE(reason.contains(QString::fromUtf8(word))) << reason.toStdString();
        EXPECT_EQ(reason.contains(QLatin1String("encryption = off")),
                  row.encryption == '\x00' && row.alert >= 0);
    }
    EXPECT_FALSE(readPreloginAnswer(QByteArray("\x04\x01\x00\x09\x00\x00\x01\x00\x00", 9)));
}

TEST(TlsProbe, OnlyALoginTheServerNeverAnsweredIsAskedAbout) {
    EXPECT_TRUE(brokeOffDuringLogin(
        db::DbError(record(0, "08001"), {record(0, "08001"), record(20002, "01000")})));
    EXPECT_FALSE(brokeOffDuringLogin(
        db::DbError(record(18456, "42000"), {record(18456, "42000"), record(20002, "01000")})));
    EXPECT_FALSE(
        brokeOffDuringLogin(db::DbError(record(20009, "08S01"), {record(20009, "08S01")})));
}
