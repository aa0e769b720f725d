#pragma once
// tds-standin's command line.

#include <QString>

#include <optional>

#include "engine/ServerOptions.h"
#include "protocol/Prelogin.h"
#include "tls/TlsContext.h"

class QCoreApplication;

namespace standin {

struct Options {
    QString dataDir;
    quint16 port = 1433;
    QString saPassword;
    ServerEncryption encryption = ServerEncryption::Off;
    QString certificateFile;  // with keyFile; both empty: a self-signed certificate
    QString keyFile;
    TlsFloor tlsFloor = TlsFloor::None;
    QString instance;
    bool browser = false;
    quint16 browserPort = 1434;
    ServerOptions engine;  // --server-version, --unreadable, --state, --hold-log, test hooks
};

// Reads the command line of app; --help and --version print and exit here. nullopt, with what is
// wrong in error, for a command line that cannot be run.
std::optional<Options> parseOptions(const QCoreApplication& app, QString& error);

}  // namespace standin
