// tds-standin --data DIR [--port N] [--sa-password PWD]
// Stands in for a SQL Server 2000 instance on 127.0.0.1 until SIGTERM or SIGINT.
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
        QStringLiteral("Stands in for a SQL Server 2000 instance on 127.0.0.1."));
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
    parser.addOptions({dataOption, portOption, passwordOption});
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
                                                   parser.value(passwordOption).toStdString());
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
