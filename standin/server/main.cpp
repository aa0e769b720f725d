// tds-standin --data DIR [--port N] [--sa-password PWD] [--encryption off|login|required]
//             [--certificate FILE --key FILE] [--tls-floor 1.0]
//             [--instance NAME [--browser [--browser-port N]]] [--server-version V]
//             [--unreadable PREFIX]... [--state NAME=STATE]... [--hold-log NAME]...
//             [--fail-shrink NAME]... [--unmovable NAME]... [--drive LETTER=DIR]...
// Stands in for a SQL Server instance (2000 unless told otherwise) on 127.0.0.1 until SIGTERM
// or SIGINT.
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <exception>
#include <memory>

#include "engine/Engine.h"
#include "server/Browser.h"
#include "server/Options.h"
#include "server/Server.h"
#include "server/SignalWatcher.h"
#include "tls/TlsContext.h"

namespace {

std::unique_ptr<standin::Engine> openEngine(const standin::Options& options) {
    if (!QDir().mkpath(options.dataDir)) {
        std::fprintf(stderr, "tds-standin: cannot create data directory '%s'\n",
                     qPrintable(options.dataDir));
        return nullptr;
    }
    try {
        return std::make_unique<standin::Engine>(QDir(options.dataDir).absolutePath().toStdString(),
                                                 options.saPassword.toStdString(), options.engine);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tds-standin: cannot open the data directory: %s\n", e.what());
        return nullptr;
    }
}

// The certificate connections encrypt with; nullptr (and a reason on stderr) when there is
// none to be had. Not asked for when encryption is off.
std::unique_ptr<standin::TlsContext> loadCertificate(const standin::Options& options) {
    std::string error;
    auto tls = options.certificateFile.isEmpty()
                   ? standin::TlsContext::selfSigned(options.tlsFloor, error)
                   : standin::TlsContext::fromFiles(options.certificateFile.toStdString(),
                                                    options.keyFile.toStdString(), options.tlsFloor,
                                                    error);
    if (!tls) std::fprintf(stderr, "tds-standin: %s\n", error.c_str());
    return tls;
}

// Starts answering SSRP for this server's instance; false (with the reason on stderr) when the
// port is not to be had, since a stand-in asked for a browser must not run without one.
bool startBrowser(standin::Browser& browser, const standin::Options& options) {
    if (browser.listen(options.browserPort)) {
        std::printf("browser on 127.0.0.1:%u/udp for instance %s\n",
                    static_cast<unsigned>(browser.port()), qPrintable(options.instance));
        return true;
    }
    std::fprintf(stderr,
                 "tds-standin: cannot answer SQL Server Browser requests on 127.0.0.1:%u/udp: %s "
                 "(is another browser running?)\n",
                 static_cast<unsigned>(options.browserPort), qPrintable(browser.errorString()));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tds-standin"));
    QString error;
    const auto options = standin::parseOptions(app, error);
    if (!options) {
        std::fprintf(stderr, "tds-standin: %s\n", qPrintable(error));
        return 2;
    }
    standin::SignalWatcher signals_;
    if (!signals_.ok()) {
        std::fprintf(stderr, "tds-standin: cannot watch for signals\n");
        return 1;
    }
    const std::unique_ptr<standin::Engine> engine = openEngine(*options);
    if (!engine) return 1;
    std::unique_ptr<standin::TlsContext> tls;
    if (options->encryption != standin::ServerEncryption::Off && !(tls = loadCertificate(*options)))
        return 1;

    standin::Server server(*engine, {options->encryption, tls.get()});
    if (!server.listen(options->port)) {
        std::fprintf(stderr, "tds-standin: cannot listen on 127.0.0.1:%u: %s\n",
                     static_cast<unsigned>(options->port), qPrintable(server.errorString()));
        return 1;
    }
    standin::Browser browser(
        {{standin::Server::hostName().toStdString(), options->instance.toStdString(),
          engine->version().productVersion(), server.port()}});
    if (options->browser && !startBrowser(browser, *options)) return 1;
    QObject::connect(&signals_, &standin::SignalWatcher::stopRequested, &app,
                     &QCoreApplication::quit);

    std::printf("listening on 127.0.0.1:%u\n", static_cast<unsigned>(server.port()));
    std::fflush(stdout);

    const int rc = app.exec();
    server.shutdown();
    return rc;
}
