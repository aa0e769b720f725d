// A test process that dies without cleaning up: it starts tds-standin through StandinProcess,
// names the server's process id, and on the next input line kills itself with SIGKILL, so no
// destructor gets to stop the server.

#include "StandinProcess.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    korvid::test::StandinProcess server;
    if (!server.start()) return 2;
    std::printf("server %lld\n", static_cast<long long>(server.pid()));
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    std::raise(SIGKILL);
    return 0;
}
