#pragma once
// The server's certificate and key and the TLS settings every connection shares.

#include <memory>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;

namespace standin {

// The oldest TLS a server speaks. None: TLS 1.0 to 1.2 as the platform allows. Tls10: TLS 1.0
// alone, with the RSA suites of a Windows Server 2008 host that the platform still has.
enum class TlsFloor { None, Tls10 };

class TlsContext {
public:
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    // A PEM certificate (with its chain) and its PEM private key. nullptr, with the reason in
    // error, when a file cannot be read or the key does not belong to the certificate.
    static std::unique_ptr<TlsContext> fromFiles(const std::string& certificateFile,
                                                 const std::string& keyFile, TlsFloor floor,
                                                 std::string& error);

    // A fresh RSA key and a self-signed certificate made in memory, as a server that was given
    // no certificate makes one at start.
    static std::unique_ptr<TlsContext> selfSigned(TlsFloor floor, std::string& error);

    SSL_CTX* handle() const { return ctx_; }

private:
    explicit TlsContext(SSL_CTX* ctx) : ctx_(ctx) {}
    static SSL_CTX* newServerContext(TlsFloor floor, std::string& error);

    SSL_CTX* ctx_;
};

// The last OpenSSL error as text ("unknown" when there is none), emptying OpenSSL's queue.
std::string takeTlsError();

}  // namespace standin
