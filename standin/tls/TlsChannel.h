#pragma once
// One connection's TLS, server side, over memory buffers: the records travel inside TDS PRELOGIN
// packets during the handshake and straight over the socket after it, so TLS never touches the
// socket itself. Record by record, so that when TLS ends after the login the bytes that follow
// the last record are handed back untouched.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef struct bio_st BIO;
typedef struct ssl_st SSL;

namespace standin {

class TlsContext;

class TlsChannel {
public:
    using Bytes = std::vector<uint8_t>;
    enum class Step { More, Done, Failed };

    explicit TlsChannel(const TlsContext& context);
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // Records from the client: handshake records, or the session's records after it.
    void receive(const uint8_t* data, size_t size);
    // Advances the handshake with what was received. More: the client speaks next; Done: the
    // handshake is over; Failed: error() says why. Either way takeOutgoing() may hold records
    // (an alert on failure).
    Step handshake();
    // The plaintext of the next whole record received. More: no whole record is there yet;
    // Done: plaintext holds it (possibly empty); Failed: the record is not valid in this
    // session, or the client closed TLS.
    Step nextPlaintext(Bytes& plaintext);
    // Encrypts plaintext into records for takeOutgoing(); false when TLS cannot go on.
    bool send(const Bytes& plaintext);
    // Records for the client.
    Bytes takeOutgoing();
    // Whatever was received but is not part of a record read so far.
    Bytes takeUnread();

    const std::string& error() const { return error_; }

private:
    Step fail(const char* what);

    SSL* ssl_ = nullptr;
    BIO* in_ = nullptr;   // owned by ssl_
    BIO* out_ = nullptr;  // owned by ssl_
    std::string error_;
};

}  // namespace standin
