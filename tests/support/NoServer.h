#pragma once
// A server address where nothing listens, for tests of what Korvid does when it cannot connect.

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <QString>

#include "access/Credentials.h"

namespace korvid::test {

#ifndef _WIN32
// A loopback port that was free a moment ago: bound, noted, closed.
inline int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}
#endif

// A server name and password as typed into the login boxes.
struct GivenCredentials : Credentials {
    GivenCredentials(QString serverName, QString password)
        : server(std::move(serverName)), secret(std::move(password)) {}
    QString server;
    QString secret;
    QString serverName() const override { return server; }
    QString password() const override { return secret; }
};

#ifndef _WIN32
struct NoServer : GivenCredentials {
    NoServer() : GivenCredentials(QStringLiteral("127.0.0.1,%1").arg(closedPort()), "pw") {}
};
#endif

}  // namespace korvid::test
