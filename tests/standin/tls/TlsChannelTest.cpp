// The server's TLS over memory buffers, driven by an OpenSSL client the way a TDS client drives
// it: the handshake, records each way, the clear after the last record, and broken input.
#include <gtest/gtest.h>

#include <openssl/ssl.h>

#include <memory>
#include <string>

#include "tls/TlsChannel.h"
#include "tls/TlsContext.h"

using standin::TlsChannel;
using standin::TlsContext;
using Bytes = TlsChannel::Bytes;
using Step = TlsChannel::Step;

namespace {

Bytes bytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A client as current ones are: it would take TLS 1.3 if offered, and checks no certificate.
class Client {
public:
    Client() : ctx_(SSL_CTX_new(TLS_client_method())), ssl_(SSL_new(ctx_)) {
        in_ = BIO_new(BIO_s_mem());
        out_ = BIO_new(BIO_s_mem());
        BIO_set_mem_eof_return(in_, -1);
        SSL_set_bio(ssl_, in_, out_);
        SSL_set_connect_state(ssl_);
    }
    ~Client() {
        SSL_free(ssl_);
        SSL_CTX_free(ctx_);
    }
    SSL* ssl() const { return ssl_; }
    void feed(const Bytes& b) { BIO_write(in_, b.data(), static_cast<int>(b.size())); }
    Bytes take() {
        Bytes b(BIO_ctrl_pending(out_));
        if (!b.empty()) BIO_read(out_, b.data(), static_cast<int>(b.size()));
        return b;
    }
    Bytes seal(const std::string& plaintext) {
        SSL_write(ssl_, plaintext.data(), static_cast<int>(plaintext.size()));
        return take();
    }
    std::string open(const Bytes& records) {
        feed(records);
        char buf[4096];
        const int n = SSL_read(ssl_, buf, sizeof buf);
        return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    }

private:
    SSL_CTX* ctx_;
    SSL* ssl_;
    BIO* in_;
    BIO* out_;
};

class TlsChannelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        context_ = TlsContext::selfSigned(standin::TlsFloor::None, error).release();
        ASSERT_NE(context_, nullptr) << error;
    }
    static void TearDownTestSuite() { delete context_; }

    // Flights back and forth until both sides are done; false if either gives up.
    static bool shakeHands(Client& client, TlsChannel& server) {
        Step step = Step::More;
        for (int flight = 0; flight < 10; ++flight) {
            const bool clientDone = SSL_do_handshake(client.ssl()) == 1;
            const Bytes toServer = client.take();
            server.receive(toServer.data(), toServer.size());
            if (step != Step::Done) step = server.handshake();
            if (step == Step::Failed) return false;
            client.feed(server.takeOutgoing());
            if (clientDone && step == Step::Done) return true;
        }
        return false;
    }

    static TlsContext* context_;
};

TlsContext* TlsChannelTest::context_ = nullptr;

}  // namespace

TEST_F(TlsChannelTest, RecordsEachWayThenTheClearAfterTheLastRecord) {
    Client client;
    TlsChannel server(*context_);
    ASSERT_TRUE(shakeHands(client, server)) << server.error();
    // TDS 7.x clients expect nothing after their side of the handshake: no TLS 1.3 tickets.
    EXPECT_EQ(SSL_version(client.ssl()), TLS1_2_VERSION);

    // Two records of a login, then the client goes on in the clear; fed a byte at a time.
    Bytes stream = client.seal("LOGIN7 first half|");
    const Bytes second = client.seal("second half");
    stream.insert(stream.end(), second.begin(), second.end());
    const Bytes clear = bytes("\x01\x01\x00\x10 clear batch");
    stream.insert(stream.end(), clear.begin(), clear.end());
    std::string plaintext;
    size_t records = 0;
    for (size_t i = 0; i < stream.size() - clear.size(); ++i) {
        server.receive(&stream[i], 1);
        Bytes got;
        const Step step = server.nextPlaintext(got);
        ASSERT_NE(step, Step::Failed) << server.error();
        if (step == Step::Done) ++records;
        plaintext.append(got.begin(), got.end());
    }
    EXPECT_EQ(records, 2u);
    EXPECT_EQ(plaintext, "LOGIN7 first half|second half");
    server.receive(clear.data(), clear.size());
    Bytes none;
    EXPECT_EQ(server.nextPlaintext(none), Step::More);
    EXPECT_EQ(server.takeUnread(), clear);

    ASSERT_TRUE(server.send(bytes("login reply")));
    EXPECT_EQ(client.open(server.takeOutgoing()), "login reply");
}

TEST_F(TlsChannelTest, BrokenInputFailsAndCutInputWaits) {
    {
        TlsChannel server(*context_);
        const Bytes garbage = bytes("this is no ClientHello at all");
        server.receive(garbage.data(), garbage.size());
        EXPECT_EQ(server.handshake(), Step::Failed);
        EXPECT_FALSE(server.error().empty());
    }
    {
        // A ClientHello cut off in the middle is waited for, not failed.
        Client client;
        TlsChannel server(*context_);
        SSL_do_handshake(client.ssl());
        const Bytes hello = client.take();
        server.receive(hello.data(), hello.size() / 2);
        EXPECT_EQ(server.handshake(), Step::More);
    }
    Client client;
    TlsChannel server(*context_);
    ASSERT_TRUE(shakeHands(client, server));
    Bytes record = client.seal("a batch");
    server.receive(record.data(), record.size() - 1);
    Bytes got;
    EXPECT_EQ(server.nextPlaintext(got), Step::More);
    EXPECT_TRUE(got.empty());
    // The record's last byte arrives altered: the record fails its check.
    const uint8_t altered = static_cast<uint8_t>(record.back() ^ 0x01);
    server.receive(&altered, 1);
    EXPECT_EQ(server.nextPlaintext(got), Step::Failed);

    // A client that closes TLS ends the session too.
    Client closing;
    TlsChannel other(*context_);
    ASSERT_TRUE(shakeHands(closing, other));
    SSL_shutdown(closing.ssl());
    const Bytes notify = closing.take();
    other.receive(notify.data(), notify.size());
    EXPECT_EQ(other.nextPlaintext(got), Step::Failed);
}
