// tds-standin at the byte level: attentions, refused logins, RPCs and clients that misbehave.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <functional>

#include "StandinProcess.h"
#include "TdsClient.h"

using korvid::test::hasDone;
using korvid::test::hasMessage;
using korvid::test::StandinProcess;
using korvid::test::TdsClient;
using standin::Bytes;

namespace {

const std::string kList = "select name  from sysdatabases ORDER BY name";

class RawProtocol : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server_.start()); }
    StandinProcess server_;
};

}  // namespace

TEST_F(RawProtocol, LoginRepliesCarryTheSessionAndRefusalsClose) {
    TdsClient good;
    ASSERT_TRUE(good.connectTo(server_.port()));
    const auto reply = good.login("sa", "pw", "master");
    ASSERT_TRUE(reply);
    EXPECT_TRUE(hasMessage(reply->tokens, 5701));
    for (uint16_t spid : reply->spids) EXPECT_NE(spid, 0);

    TdsClient refused;
    ASSERT_TRUE(refused.connectTo(server_.port()));
    const auto no = refused.login("sa", "wrong");
    ASSERT_TRUE(no);
    EXPECT_TRUE(hasMessage(no->tokens, 18456));
    EXPECT_TRUE(hasDone(no->tokens, 0x02));
    EXPECT_TRUE(refused.closedByServer());

    // The refused client did not disturb the good one.
    good.sendBatch(kList);
    EXPECT_TRUE(good.readReply());
}

TEST_F(RawProtocol, AttentionIsAcknowledgedEvenAfterTheWholeReply) {
    TdsClient c;
    ASSERT_TRUE(c.connectTo(server_.port()));
    ASSERT_TRUE(c.login("sa", "pw"));
    c.sendBatch(kList);
    ASSERT_TRUE(c.readReply());
    c.sendAttention();
    const auto ack = c.readReply();
    ASSERT_TRUE(ack);
    EXPECT_TRUE(hasDone(ack->tokens, 0x20));

    // Batch and attention in one go: the reply, then the acknowledgement, then business as usual.
    c.sendBatch(kList);
    c.sendAttention();
    ASSERT_TRUE(c.readReply());
    const auto late = c.readReply();
    ASSERT_TRUE(late);
    EXPECT_TRUE(hasDone(late->tokens, 0x20));
    c.sendBatch(kList);
    const auto after = c.readReply();
    ASSERT_TRUE(after);
    EXPECT_FALSE(hasDone(after->tokens, 0x20));
}

TEST_F(RawProtocol, BatchesSentAheadAreAnsweredEachInTurn) {
    // Replies leave as soon as they are made; requests already waiting must still be answered
    // one by one, in the order they came, none lost or answered twice.
    TdsClient c;
    ASSERT_TRUE(c.connectTo(server_.port()));
    ASSERT_TRUE(c.login("sa", "pw"));
    const int n = 60;
    for (int i = 0; i < n; ++i) c.sendBatch(i % 3 == 2 ? "select name from no_such_table" : kList);
    for (int i = 0; i < n; ++i) {
        const auto reply = c.readReply();
        ASSERT_TRUE(reply) << "reply " << i;
        EXPECT_EQ(hasMessage(reply->tokens, 208), i % 3 == 2) << "reply " << i;
    }
    EXPECT_FALSE(c.readReply(200)) << "a reply too many";
}

TEST_F(RawProtocol, RepliesFollowTheNegotiatedPacketSize) {
    TdsClient c;
    ASSERT_TRUE(c.connectTo(server_.port()));
    ASSERT_TRUE(c.login("sa", "pw", "", 512));
    // Enough text in one batch that the reply cannot fit in one 512-byte packet.
    std::string sql;
    for (int i = 0; i < 8; ++i) sql += kList + "\n";
    c.sendMessage(0x01, TdsClient::utf16(sql), 512);
    const auto reply = c.readReply();
    ASSERT_TRUE(reply);
    EXPECT_GT(reply->sizes.size(), 1u);
    for (size_t size : reply->sizes) EXPECT_LE(size, 512u);
    for (uint16_t spid : reply->spids) EXPECT_NE(spid, 0);
}

TEST_F(RawProtocol, RpcIsAnsweredWithAnError) {
    TdsClient c;
    ASSERT_TRUE(c.connectTo(server_.port()));
    ASSERT_TRUE(c.login("sa", "pw"));
    Bytes rpc = TdsClient::utf16("sp_who");
    rpc.insert(rpc.begin(), {6, 0});
    rpc.insert(rpc.end(), {0, 0});
    c.sendMessage(0x03, rpc);
    const auto reply = c.readReply();
    ASSERT_TRUE(reply);
    EXPECT_TRUE(hasMessage(reply->tokens, 2812));
    EXPECT_TRUE(hasDone(reply->tokens, 0x02));
    c.sendBatch(kList);
    EXPECT_TRUE(c.readReply());
}

TEST_F(RawProtocol, BrokenClientsLoseOnlyTheirOwnConnection) {
    TdsClient bystander;
    ASSERT_TRUE(bystander.connectTo(server_.port()));
    ASSERT_TRUE(bystander.login("sa", "pw"));

    const Bytes shortHeader{0x12, 0x01, 0x00, 0x04, 0, 0, 0, 0};
    const Bytes oversized{0x12, 0x01, 0xFF, 0xFF, 0, 0, 0, 0};
    Bytes badLogin = TdsClient::login7("sa", "pw", "", 4096);
    badLogin[40] = 0xFF;  // user name offset outside the record
    badLogin[41] = 0xFF;
    struct Case {
        const char* what;
        std::function<void(TdsClient&)> send;
    } cases[] = {
        {"length below the header", [&](TdsClient& c) { c.sendRaw(shortHeader); }},
        {"length above any packet size", [&](TdsClient& c) { c.sendRaw(oversized); }},
        {"batch before login", [&](TdsClient& c) { c.sendBatch(kList); }},
        {"prelogin without terminator",
         [&](TdsClient& c) {
             c.sendMessage(0x12, {0x00, 0x00});
         }},
        {"login record out of bounds", [&](TdsClient& c) { c.sendMessage(0x10, badLogin); }},
        {"message past the bound",
         [&](TdsClient& c) {
             ASSERT_TRUE(c.login("sa", "pw"));
             c.sendMessage(0x01, Bytes(5 * 1024 * 1024, 'x'));
         }},
    };
    for (auto& k : cases) {
        TdsClient c;
        ASSERT_TRUE(c.connectTo(server_.port())) << k.what;
        k.send(c);
        EXPECT_TRUE(c.closedByServer()) << k.what;
    }
    {
        // Half a packet, then the client goes away: nothing may wait for the rest.
        TdsClient c;
        ASSERT_TRUE(c.connectTo(server_.port()));
        c.sendRaw({0x12, 0x01, 0x00, 0x40, 0, 0});
    }
    bystander.sendBatch(kList);
    const auto reply = bystander.readReply();
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->tokens.empty());
}

TEST(StandinCommandLine, StopsCleanlyOnSigtermAndRefusesABusyPort) {
    QTemporaryDir dirA, dirB;
    QProcess first;
    StandinProcess::dieWithParent(first);
    first.start(StandinProcess::binaryPath(), {QStringLiteral("--data"), dirA.path(),
                                               QStringLiteral("--port"), QStringLiteral("0")});
    ASSERT_TRUE(first.waitForStarted(5000));
    for (int i = 0; i < 150 && !first.canReadLine(); ++i) first.waitForReadyRead(100);
    const QByteArray line = first.readLine().trimmed();
    const QByteArray prefix("listening on 127.0.0.1:");
    ASSERT_TRUE(line.startsWith(prefix)) << line.constData();
    const QString port = QString::fromLatin1(line.mid(prefix.size()));

    QProcess second;
    StandinProcess::dieWithParent(second);
    second.start(StandinProcess::binaryPath(),
                 {QStringLiteral("--data"), dirB.path(), QStringLiteral("--port"), port});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_NE(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().contains("cannot listen"));

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);

    QProcess noData;
    StandinProcess::dieWithParent(noData);
    noData.start(StandinProcess::binaryPath(), {QStringLiteral("--port"), QStringLiteral("0")});
    ASSERT_TRUE(noData.waitForFinished(10000));
    EXPECT_EQ(noData.exitCode(), 2);
}
