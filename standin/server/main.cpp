// tds-standin --data DIR [--port N] [--sa-password PWD] [--server-version V]
//             [--unreadable PREFIX]... [--fail-shrink NAME]...
// Stands in for a SQL Server instance (2000 unless told otherwise) on 127.0.0.1 until SIGTERM
// or SIGINT.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <exception>
#include <memory>

#include "engine/Engine.h"
#include "server/Server.h"
#include "server/SignalWatcher.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tds-standin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Stands in for a SQL Server instance on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption dataOption(QStringLiteral("data"),
                                        QStringLiteral("Directory of the catalog and data files."),
                                        QStringLiteral("DIR"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("TCP port; 0 picks a free one."),
                                        QStringLiteral("N"), QStringLiteral("1433"));
    const QCommandLineOption passwordOption(QStringLiteral("sa-password"),
                                            QStringLiteral("Password of the sa login."),
                                            QStringLiteral("PWD"), QString());
    QStringList versions;
    for (const std::string& v : standin::ServerVersion::names())
        versions << QString::fromStdString(v);
    const QCommandLineOption versionOption(
        QStringLiteral("server-version"),
        QStringLiteral("The SQL Server release to play: %1 (2000, 2005, 2008 R2, 2019, 2022).")
            .arg(versions.join(QStringLiteral(", "))),
        QStringLiteral("V"), QStringLiteral("8.0"));
    const QCommandLineOption unreadableOption(
        QStringLiteral("unreadable"),
        QStringLiteral("The server's account cannot open files whose path starts with PREFIX "
                       "(may repeat)."),
        QStringLiteral("PREFIX"));
    const QCommandLineOption failShrinkOption(
        QStringLiteral("fail-shrink"),
        QStringLiteral("Test hook: DBCC SHRINKFILE of the file with logical name NAME fails "
                       "(may repeat)."),
        QStringLiteral("NAME"));
    parser.addOptions({dataOption, portOption, passwordOption, versionOption, unreadableOption,
                       failShrinkOption});
    parser.process(app);

    if (!parser.isSet(dataOption) || parser.value(dataOption).isEmpty()) {
        std::fprintf(stderr, "tds-standin: --data DIR is required\n");
        return 2;
    }
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535) {
        std::fprintf(stderr, "tds-standin: invalid port '%s'\n",
                     qPrintable(parser.value(portOption)));
        return 2;
    }
    standin::ServerOptions options;
    const auto version = standin::ServerVersion::parse(parser.value(versionOption).toStdString());
    if (!version) {
        std::fprintf(stderr, "tds-standin: unknown server version '%s'; one of %s\n",
                     qPrintable(parser.value(versionOption)),
                     qPrintable(versions.join(QStringLiteral(", "))));
        return 2;
    }
    options.version = *version;
    for (const QString& p : parser.values(unreadableOption))
        options.unreadablePrefixes.push_back(p.toStdString());
    for (const QString& n : parser.values(failShrinkOption))
        options.failingShrinks.push_back(n.toStdString());

    const QString dataDir = parser.value(dataOption);
    if (!QDir().mkpath(dataDir)) {
        std::fprintf(stderr, "tds-standin: cannot create data directory '%s'\n",
                     qPrintable(dataDir));
        return 1;
    }

    standin::SignalWatcher signals_;
    if (!signals_.ok()) {
        std::fprintf(stderr, "tds-standin: cannot watch for signals\n");
        return 1;
    }

    std::unique_ptr<standin::Engine> engine;
    try {
        engine = std::make_unique<standin::Engine>(QDir(dataDir).absolutePath().toStdString(),
                                                   parser.value(passwordOption).toStdString(),
                                                   std::move(options));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tds-standin: cannot open the data directory: %s\n", e.what());
        return 1;
    }

    standin::Server server(*engine);
    if (!server.listen(static_cast<quint16>(port))) {
        std::fprintf(stderr, "tds-standin: cannot listen on 127.0.0.1:%u: %s\n", port,
                     qPrintable(server.errorString()));
        return 1;
    }
    QObject::connect(&signals_, &standin::SignalWatcher::stopRequested, &app,
                     &QCoreApplication::quit);

    std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(server.port()));
    std::fflush(stdout);

    const int rc = app.exec();
    server.shutdown();
    return rc;
}
