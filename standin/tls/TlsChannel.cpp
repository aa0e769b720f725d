#include "TlsChannel.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <climits>

#include "TlsContext.h"

namespace standin {

namespace {

constexpr size_t kRecordHeader = 5;

TlsChannel::Bytes drain(BIO* bio) {
    TlsChannel::Bytes out(BIO_ctrl_pending(bio));
    size_t got = 0;
    while (got < out.size()) {
        const int n = BIO_read(bio, out.data() + got, static_cast<int>(out.size() - got));
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    out.resize(got);
    return out;
}

}  // namespace

TlsChannel::TlsChannel(const TlsContext& context) {
    ssl_ = SSL_new(context.handle());
    in_ = BIO_new(BIO_s_mem());
    out_ = BIO_new(BIO_s_mem());
    if (!ssl_ || !in_ || !out_) {
        SSL_free(ssl_);
        BIO_free(in_);
        BIO_free(out_);
        ssl_ = nullptr;
        in_ = out_ = nullptr;
        error_ = "cannot set up TLS: " + takeTlsError();
        return;
    }
    // An empty input buffer means "wait for the client", not the end of the stream.
    BIO_set_mem_eof_return(in_, -1);
    SSL_set_bio(ssl_, in_, out_);
    SSL_set_accept_state(ssl_);
}

TlsChannel::~TlsChannel() {
    SSL_free(ssl_);  // frees both buffers
}

void TlsChannel::receive(const uint8_t* data, size_t size) {
    while (in_ && size > 0) {
        const int chunk = static_cast<int>(std::min<size_t>(size, INT_MAX));
        const int n = BIO_write(in_, data, chunk);
        if (n <= 0) return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

TlsChannel::Step TlsChannel::fail(const char* what) {
    error_ = std::string(what) + ": " + takeTlsError();
    return Step::Failed;
}

TlsChannel::Step TlsChannel::handshake() {
    if (!ssl_) return Step::Failed;
    ERR_clear_error();
    const int r = SSL_do_handshake(ssl_);
    if (r == 1) return Step::Done;
    if (SSL_get_error(ssl_, r) == SSL_ERROR_WANT_READ) return Step::More;
    return fail("TLS handshake failed");
}

TlsChannel::Step TlsChannel::nextPlaintext(Bytes& plaintext) {
    plaintext.clear();
    if (!ssl_) return Step::Failed;
    // OpenSSL is only given whole records, so that it never takes in the first bytes of what
    // follows the last one.
    char* pending = nullptr;
    const long available = BIO_get_mem_data(in_, &pending);
    if (available < static_cast<long>(kRecordHeader)) return Step::More;
    const auto* header = reinterpret_cast<const uint8_t*>(pending);
    const size_t length = (size_t{header[3]} << 8) | header[4];
    if (static_cast<size_t>(available) < kRecordHeader + length) return Step::More;
    ERR_clear_error();
    uint8_t buffer[16 * 1024];
    do {
        const int n = SSL_read(ssl_, buffer, sizeof buffer);
        if (n > 0) {
            plaintext.insert(plaintext.end(), buffer, buffer + n);
            continue;
        }
        const int error = SSL_get_error(ssl_, n);
        if (error == SSL_ERROR_WANT_READ) break;  // a record without application data
        if (error == SSL_ERROR_ZERO_RETURN) {
            error_ = "the client ended TLS";
            return Step::Failed;
        }
        return fail("a TLS record could not be read");
    } while (SSL_pending(ssl_) > 0);
    return Step::Done;
}

bool TlsChannel::send(const Bytes& plaintext) {
    if (!ssl_) return false;
    ERR_clear_error();
    size_t sent = 0;
    while (sent < plaintext.size()) {
        const int chunk = static_cast<int>(std::min<size_t>(plaintext.size() - sent, INT_MAX));
        const int n = SSL_write(ssl_, plaintext.data() + sent, chunk);
        if (n <= 0) {
            fail("TLS could not encrypt a reply");
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

TlsChannel::Bytes TlsChannel::takeOutgoing() {
    return out_ ? drain(out_) : Bytes();
}

TlsChannel::Bytes TlsChannel::takeUnread() {
    return in_ ? drain(in_) : Bytes();
}

}  // namespace standin
