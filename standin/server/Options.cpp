#include "server/Options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

namespace standin {

namespace {

const QCommandLineOption kData(QStringLiteral("data"),
                               QStringLiteral("Directory of the catalog and data files."),
                               QStringLiteral("DIR"));
const QCommandLineOption kPort(QStringLiteral("port"),
                               QStringLiteral("TCP port; 0 picks a free one."), QStringLiteral("N"),
                               QStringLiteral("1433"));
const QCommandLineOption kPassword(QStringLiteral("sa-password"),
                                   QStringLiteral("Password of the sa login."),
                                   QStringLiteral("PWD"), QString());
const QCommandLineOption kEncryption(
    QStringLiteral("encryption"),
    QStringLiteral("off: no certificate, encryption not supported (the default of 8.0). login: "
                   "encrypt the login, or the whole session when the client asks (the default "
                   "from 9.0 on). required: encrypt every session; a client that cannot is "
                   "refused."),
    QStringLiteral("off|login|required"));
const QCommandLineOption kTlsFloor(
    QStringLiteral("tls-floor"),
    QStringLiteral("1.0: speak TLS 1.0 only, with AES128-SHA and AES256-SHA in the server's "
                   "order, as 2005 to 2014 builds without TLS 1.2 on Windows Server 2008 do."),
    QStringLiteral("1.0"));
const QCommandLineOption kCertificate(
    QStringLiteral("certificate"),
    QStringLiteral("PEM certificate for TLS; without it a self-signed one is made at start."),
    QStringLiteral("FILE"));
const QCommandLineOption kKey(QStringLiteral("key"),
                              QStringLiteral("PEM private key of --certificate."),
                              QStringLiteral("FILE"));
const QCommandLineOption kInstance(QStringLiteral("instance"),
                                   QStringLiteral("Instance name the browser answers for."),
                                   QStringLiteral("NAME"));
const QCommandLineOption kBrowser(
    QStringLiteral("browser"),
    QStringLiteral("Also answer SQL Server Browser requests (SSRP) for --instance on UDP "
                   "127.0.0.1:1434, so that clients find HOST\\NAME."));
const QCommandLineOption kBrowserPort(QStringLiteral("browser-port"),
                                      QStringLiteral("UDP port of the browser instead of 1434; 0 "
                                                     "picks a free one."),
                                      QStringLiteral("N"));

const QCommandLineOption kServerVersion(
    QStringLiteral("server-version"),
    QStringLiteral("The SQL Server release to play: 8.0 (2000, default), 9.0 (2005), 10.50 (2008 "
                   "R2), 15.0 (2019) or 16.0 (2022)."),
    QStringLiteral("V"), QStringLiteral("8.0"));
const QCommandLineOption kUnreadable(
    QStringLiteral("unreadable"),
    QStringLiteral("The server's account cannot open database files whose path starts with "
                   "PREFIX (may repeat)."),
    QStringLiteral("PREFIX"));
const QCommandLineOption kState(
    QStringLiteral("state"),
    QStringLiteral("Start with database NAME offline, restoring or in single-user access (may "
                   "repeat)."),
    QStringLiteral("NAME=OFFLINE|RESTORING|SINGLE_USER"));
const QCommandLineOption kDrive(
    QStringLiteral("drive"),
    QStringLiteral("Plays a server on a Windows host whose drive LETTER is the host folder DIR, "
                   "as Wine maps one (Z=/): paths on it read with \"\\\" and any letter case "
                   "(may repeat)."),
    QStringLiteral("LETTER=DIR"));
const QCommandLineOption kFailShrink(
    QStringLiteral("fail-shrink"),
    QStringLiteral("Test hook: DBCC SHRINKFILE of the file with logical name NAME fails (may "
                   "repeat)."),
    QStringLiteral("NAME"));
const QCommandLineOption kUnmovable(
    QStringLiteral("unmovable"),
    QStringLiteral("Test hook: DBCC SHRINKFILE of the file with logical name NAME meets a page it "
                   "cannot move and fails with 3140 (may repeat)."),
    QStringLiteral("NAME"));
const QCommandLineOption kHoldLog(
    QStringLiteral("hold-log"),
    QStringLiteral("The log of database NAME cannot be truncated, as under an open transaction: "
                   "its shrink frees nothing (may repeat)."),
    QStringLiteral("NAME"));

std::optional<quint16> portValue(const QString& text, QString& error) {
    bool ok = false;
    const uint port = text.toUInt(&ok);
    if (ok && port <= 65535) return static_cast<quint16>(port);
    error = QStringLiteral("invalid port '%1'").arg(text);
    return std::nullopt;
}

std::optional<ServerEncryption> encryptionValue(const QString& text, QString& error) {
    if (text == QLatin1String("off")) return ServerEncryption::Off;
    if (text == QLatin1String("login")) return ServerEncryption::Login;
    if (text == QLatin1String("required")) return ServerEncryption::Required;
    error = QStringLiteral("--encryption is off, login or required, not '%1'").arg(text);
    return std::nullopt;
}

// SQL Server's rules for instance names, which also keep them out of the browser's separators:
// up to 16 characters, letters, digits, _ # $, not starting with a digit or $.
bool validInstance(const QString& name, QString& error) {
    static const QRegularExpression shape(QStringLiteral("^[A-Za-z_#][A-Za-z0-9_#$]{0,15}$"));
    if (!shape.match(name).hasMatch()) {
        error = QStringLiteral("invalid instance name '%1'").arg(name);
        return false;
    }
    if (name.compare(QLatin1String("MSSQLSERVER"), Qt::CaseInsensitive) == 0) {
        error = QStringLiteral("MSSQLSERVER names the default instance, not a named one");
        return false;
    }
    return true;
}

// From 2005 on every server has a certificate, one it made itself at least, and encrypts the
// login of every client that does not refuse; 2000 has none unless one was installed.
bool readEncryption(const QCommandLineParser& parser, Options& o, QString& error) {
    if (parser.isSet(kEncryption)) {
        const auto encryption = encryptionValue(parser.value(kEncryption), error);
        if (!encryption) return false;
        o.encryption = *encryption;
    } else {
        o.encryption = o.engine.version.has(ReleaseRule::SelfSignedCertificate)
                           ? ServerEncryption::Login
                           : ServerEncryption::Off;
    }
    o.certificateFile = parser.value(kCertificate);
    o.keyFile = parser.value(kKey);
    if (o.certificateFile.isEmpty() != o.keyFile.isEmpty()) {
        error = QStringLiteral("--certificate and --key go together");
        return false;
    }
    if (!o.certificateFile.isEmpty() && o.encryption == ServerEncryption::Off) {
        error = QStringLiteral("--certificate needs --encryption login or required");
        return false;
    }
    return true;
}

bool readTlsFloor(const QCommandLineParser& parser, Options& o, QString& error) {
    if (!parser.isSet(kTlsFloor)) return true;
    if (parser.value(kTlsFloor) != QLatin1String("1.0")) {
        error = QStringLiteral("--tls-floor is 1.0, not '%1'").arg(parser.value(kTlsFloor));
        return false;
    }
    if (o.encryption == ServerEncryption::Off) {
        error = QStringLiteral("--tls-floor needs --encryption login or required");
        return false;
    }
    o.tlsFloor = TlsFloor::Tls10;
    return true;
}

// NAME=OFFLINE, NAME=RESTORING or NAME=SINGLE_USER; the name may itself hold '='.
bool readStates(const QCommandLineParser& parser, ServerOptions& o, QString& error) {
    for (const QString& value : parser.values(kState)) {
        const qsizetype at = value.lastIndexOf(QLatin1Char('='));
        const QString state = value.mid(at + 1).toUpper();
        const auto parsed = at > 0 ? parseDatabaseState(state.toStdString()) : std::nullopt;
        if (!parsed) {
            error = QStringLiteral(
                        "--state is NAME=OFFLINE, NAME=RESTORING or NAME=SINGLE_USER, "
                        "not '%1'")
                        .arg(value);
            return false;
        }
        o.startStates.push_back({value.left(at).toStdString(), *parsed});
    }
    return true;
}

bool readBrowser(const QCommandLineParser& parser, Options& o, QString& error) {
    o.instance = parser.value(kInstance);
    if (parser.isSet(kInstance) && !validInstance(o.instance, error)) return false;
    o.browser = parser.isSet(kBrowser);
    if (o.browser && o.instance.isEmpty()) {
        error = QStringLiteral("--browser needs --instance NAME");
        return false;
    }
    if (!parser.isSet(kBrowserPort)) return true;
    if (!o.browser) {
        error = QStringLiteral("--browser-port needs --browser");
        return false;
    }
    const auto port = portValue(parser.value(kBrowserPort), error);
    if (port) o.browserPort = *port;
    return port.has_value();
}

bool readEngine(const QCommandLineParser& parser, Options& o, QString& error) {
    const auto version = ServerVersion::parse(parser.value(kServerVersion).toStdString());
    if (!version) {
        QStringList names;
        for (const std::string& n : ServerVersion::names()) names << QString::fromStdString(n);
        error = QStringLiteral("unknown server version '%1'; one of %2")
                    .arg(parser.value(kServerVersion), names.join(QStringLiteral(", ")));
        return false;
    }
    o.engine.version = *version;
    for (const QString& p : parser.values(kUnreadable))
        o.engine.unreadablePrefixes.push_back(p.toStdString());
    for (const QString& n : parser.values(kFailShrink))
        o.engine.failingShrinks.push_back(n.toStdString());
    for (const QString& n : parser.values(kUnmovable))
        o.engine.unmovableShrinks.push_back(n.toStdString());
    for (const QString& n : parser.values(kHoldLog)) o.engine.heldLogs.push_back(n.toStdString());
    for (const QString& d : parser.values(kDrive)) {
        const QChar letter = d.isEmpty() ? QChar() : d.at(0).toUpper();
        if (d.size() < 3 || letter < QLatin1Char('A') || letter > QLatin1Char('Z') ||
            d.at(1) != QLatin1Char('=')) {
            error = QStringLiteral("invalid drive '%1'; LETTER=DIR").arg(d);
            return false;
        }
        o.engine.windowsDrives[letter.toLatin1()] = d.mid(2).toStdString();
    }
    return readStates(parser, o.engine, error);
}

}  // namespace

std::optional<Options> parseOptions(const QCoreApplication& app, QString& error) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Stands in for a SQL Server instance on 127.0.0.1."));
    parser.addHelpOption();
    parser.addOptions({kData, kPort, kPassword, kEncryption, kCertificate, kKey, kTlsFloor,
                       kInstance, kBrowser, kBrowserPort, kServerVersion, kUnreadable, kState,
                       kFailShrink, kUnmovable, kHoldLog, kDrive});
    parser.process(app);

    Options o;
    o.dataDir = parser.value(kData);
    if (o.dataDir.isEmpty()) {
        error = QStringLiteral("--data DIR is required");
        return std::nullopt;
    }
    const auto port = portValue(parser.value(kPort), error);
    if (!port) return std::nullopt;
    o.port = *port;
    o.saPassword = parser.value(kPassword);
    // The release first: the default encryption is the release's.
    if (!readEngine(parser, o, error) || !readEncryption(parser, o, error) ||
        !readTlsFloor(parser, o, error) || !readBrowser(parser, o, error))
        return std::nullopt;
    return o;
}

}  // namespace standin
