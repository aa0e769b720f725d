#include "TlsContext.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace standin {

namespace {

struct PkeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct X509Free {
    void operator()(X509* x) const { X509_free(x); }
};
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using Certificate = std::unique_ptr<X509, X509Free>;

// The name SQL Server gives the certificate it makes for itself when none is configured.
constexpr const char* kSelfSignedName = "SSL_Self_Signed_Fallback";

bool addExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext) return false;
    const bool added = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return added;
}

Certificate makeSelfSigned(EVP_PKEY* key) {
    Certificate cert(X509_new());
    if (!cert) return nullptr;
    uint8_t serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1) return nullptr;
    serial[0] &= 0x7F;  // a positive serial number
    BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool numbered = bn && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    X509_NAME* name = X509_get_subject_name(cert.get());
    const bool ok =
        numbered && X509_set_version(cert.get(), 2) == 1 &&
        // An hour back, so a client whose clock is a little behind still accepts it.
        X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) &&
        X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600) &&
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(kSelfSignedName), -1, -1,
                                   0) == 1 &&
        X509_set_issuer_name(cert.get(), name) == 1 && X509_set_pubkey(cert.get(), key) == 1 &&
        addExtension(cert.get(), NID_basic_constraints, "critical,CA:FALSE") &&
        addExtension(cert.get(), NID_ext_key_usage, "serverAuth") &&
        X509_sign(cert.get(), key, EVP_sha256()) > 0;
    return ok ? std::move(cert) : nullptr;
}

}  // namespace

std::string takeTlsError() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return "unknown";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

TlsContext::~TlsContext() {
    SSL_CTX_free(ctx_);
}

SSL_CTX* TlsContext::newServerContext(TlsFloor floor, std::string& error) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (!ctx) {
        error = "cannot set up TLS: " + takeTlsError();
        return nullptr;
    }
    SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET | SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    if (floor != TlsFloor::Tls10) {
        // TDS 7.x carries the handshake inside PRELOGIN packets, which SQL Server does up to
        // TLS 1.2 only: a TLS 1.3 server sends session tickets after its side of the handshake
        // is over, where a TDS 7.x client no longer expects wrapped records.
        SSL_CTX_set_max_proto_version(ctx, TLS1_2_VERSION);
        return ctx;
    }
    // SQL Server 2005 to 2014 before their TLS 1.2 updates (KB3135244) speak TLS 1.0 alone,
    // through their host's Schannel and in its order; Windows Server 2008 puts AES128-SHA,
    // AES256-SHA, RC4-SHA and DES-CBC3-SHA first. This OpenSSL has neither RC4 nor 3DES, and
    // SHA-1 and TLS 1.0 need security level 0.
    SSL_CTX_set_options(ctx, SSL_OP_CIPHER_SERVER_PREFERENCE);
    if (SSL_CTX_set_min_proto_version(ctx, TLS1_VERSION) != 1 ||
        SSL_CTX_set_max_proto_version(ctx, TLS1_VERSION) != 1 ||
        SSL_CTX_set_cipher_list(ctx, "AES128-SHA:AES256-SHA:@SECLEVEL=0") != 1) {
        error = "cannot limit TLS to 1.0: " + takeTlsError();
        SSL_CTX_free(ctx);
        return nullptr;
    }
    return ctx;
}

std::unique_ptr<TlsContext> TlsContext::fromFiles(const std::string& certificateFile,
                                                  const std::string& keyFile, TlsFloor floor,
                                                  std::string& error) {
    SSL_CTX* ctx = newServerContext(floor, error);
    if (!ctx) return nullptr;
    std::unique_ptr<TlsContext> context(new TlsContext(ctx));
    if (SSL_CTX_use_certificate_chain_file(ctx, certificateFile.c_str()) != 1) {
        error = "cannot use the certificate '" + certificateFile + "': " + takeTlsError();
        return nullptr;
    }
    if (SSL_CTX_use_PrivateKey_file(ctx, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        error = "cannot use the key '" + keyFile + "': " + takeTlsError();
        return nullptr;
    }
    if (SSL_CTX_check_private_key(ctx) != 1) {
        error = "the key '" + keyFile + "' does not belong to the certificate '" + certificateFile +
                "'";
        ERR_clear_error();
        return nullptr;
    }
    return context;
}

std::unique_ptr<TlsContext> TlsContext::selfSigned(TlsFloor floor, std::string& error) {
    SSL_CTX* ctx = newServerContext(floor, error);
    if (!ctx) return nullptr;
    std::unique_ptr<TlsContext> context(new TlsContext(ctx));
    const Pkey key(EVP_RSA_gen(2048));
    const Certificate cert = key ? makeSelfSigned(key.get()) : nullptr;
    if (!cert || SSL_CTX_use_certificate(ctx, cert.get()) != 1 ||
        SSL_CTX_use_PrivateKey(ctx, key.get()) != 1) {
        error = "cannot make a self-signed certificate: " + takeTlsError();
        return nullptr;
    }
    return context;
}

}  // namespace standin
