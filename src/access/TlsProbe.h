#pragma once
// Why a login broke off in the TLS handshake. FreeTDS tells ODBC only that the connection failed
// during the login (20002); the reason GnuTLS gave stays in its debug log. So Korvid asks the
// server itself, on a connection of its own that carries no credentials: a PRELOGIN as the
// driver sends it, then the first message of a TLS handshake offering TLS 1.0 to 1.2 with the
// suites Debian's GnuTLS offers. The server's answer tells its version, whether it encrypts the
// login, and the TLS version and suite it chooses or the alert it refuses with.

#include <QByteArray>
#include <QString>
#include <optional>

#include "db/Connection.h"

namespace korvid {

struct TlsProbeAnswer {
    int encryption = 2;     // PRELOGIN's ENCRYPTION: 0 login only, 1 on, 2 not supported, 3 forced
    QString serverVersion;  // PRELOGIN's VERSION, "9.0.5000"
    int tlsVersion = 0;     // the server's hello: 0x0301 TLS 1.0 ... 0x0303 TLS 1.2; 0 none
    int suite = -1;         // the suite it chose
    int alert = -1;         // the alert it refused the hello with
};

// The client's PRELOGIN (ENCRYPTION off, FreeTDS's "request") and its TLS ClientHello, each a
// TDS packet of type 0x12.
QByteArray preloginProbePacket();
QByteArray clientHelloPacket();
// Reads the server's PRELOGIN answer (a whole TDS packet); nullopt when it is none.
std::optional<TlsProbeAnswer> readPreloginAnswer(const QByteArray& packet);
// Reads the server's first handshake packet into answer: its hello or its alert.
void readHandshakeAnswer(const QByteArray& packet, TlsProbeAnswer& answer);

// Asks the server at host:port; nullopt when it cannot be reached or gives no PRELOGIN answer
// within the time. Not on Windows, whose driver says itself why its TLS failed.
std::optional<TlsProbeAnswer> probeTls(const QString& host, quint16 port, int timeoutMs);

// Korvid's words for what the probe found; empty when the server does not encrypt the login.
QString tlsFailureReason(const TlsProbeAnswer& answer);

// Whether a failed connection broke off during the exchange with the server before the server
// said anything: FreeTDS's 20002 with no message of the server's.
bool brokeOffDuringLogin(const db::DbError& error);

// Why a connection to the server named as typed broke off, from the server's own answer; empty
// when that cannot be told (an instance found through the browser, a server that does not
// answer, one that does not encrypt).
QString explainBrokenLogin(const QString& serverName);

// A connection that broke off in the TLS handshake, with Korvid's reason beside the driver's.
class TlsLoginFailure : public db::DbError {
public:
    TlsLoginFailure(const db::DbError& driver, QString why);
    QString why() const { return why_; }

private:
    QString why_;
};

}  // namespace korvid
