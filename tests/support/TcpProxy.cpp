#include "TcpProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <vector>

namespace korvid::test {

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk {
    Clock::time_point due;
    std::vector<char> bytes;
};

}  // namespace

// One client's connection and its own to the server.
struct TcpProxy::Pair {
    Pair(int c, int s) : client(c), server(s) {}
    ~Pair() { close(); }
    int client = -1;
    int server = -1;
    std::deque<Chunk> toServer;  // held back by the delay
    int chunksFromClient = 0;
    bool closed = false;

    int msUntilDue() const {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            toServer.front().due - Clock::now());
        return std::max(0, int(wait.count()));
    }
    void close() {
        if (client >= 0) ::close(client);
        if (server >= 0) ::close(server);
        client = server = -1;
        closed = true;
    }
};

namespace {

int connectTo(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool sendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

TcpProxy::TcpProxy(quint16 targetPort) : targetPort_(targetPort) {}

TcpProxy::~TcpProxy() {
    stop_ = true;
    if (wakeFds_[1] >= 0) (void)!::write(wakeFds_[1], "x", 1);
    if (thread_.joinable()) thread_.join();
    for (int fd : {listenFd_, wakeFds_[0], wakeFds_[1]})
        if (fd >= 0) ::close(fd);
}

QString TcpProxy::server() const {
    return QStringLiteral("127.0.0.1,%1").arg(port_);
}

bool TcpProxy::start() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
        ::pipe2(wakeFds_, O_CLOEXEC) != 0)
        return false;
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { run(); });
    return true;
}

// Moves what has arrived on either side of a pair, and what the delay has held long enough.
void TcpProxy::serve(Pair& p, short clientEvents, short serverEvents, std::vector<char>& buffer) {
    if (clientEvents & (POLLIN | POLLHUP | POLLERR)) {
        const ssize_t n = ::recv(p.client, buffer.data(), buffer.size(), 0);
        const bool spared = n > 0 && ++p.chunksFromClient <= spared_;
        if (n <= 0) {
            p.close();
        } else if (swallow_ && !spared) {
            swallowed_ += long(n);
        } else {
            const int delay = spared ? 0 : delayMs_.load();
            p.toServer.push_back({Clock::now() + std::chrono::milliseconds(delay),
                                  std::vector<char>(buffer.begin(), buffer.begin() + n)});
        }
    }
    if (!p.closed && (serverEvents & (POLLIN | POLLHUP | POLLERR))) {
        const ssize_t n = ::recv(p.server, buffer.data(), buffer.size(), 0);
        if (n <= 0 || !sendAll(p.client, buffer.data(), size_t(n))) p.close();
    }
    while (!p.closed && !p.toServer.empty() && p.toServer.front().due <= Clock::now()) {
        const Chunk& chunk = p.toServer.front();
        if (!sendAll(p.server, chunk.bytes.data(), chunk.bytes.size())) p.close();
        if (!p.closed) p.toServer.pop_front();
    }
}

void TcpProxy::run() {
    std::vector<std::unique_ptr<Pair>> pairs;
    std::vector<char> buffer(65536);
    while (!stop_) {
        std::vector<pollfd> fds{{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        int timeoutMs = 100;
        for (const auto& p : pairs) {
            fds.push_back({p->client, POLLIN, 0});
            fds.push_back({p->server, POLLIN, 0});
            if (!p->toServer.empty()) timeoutMs = std::min(timeoutMs, p->msUntilDue());
        }
        if (::poll(fds.data(), fds.size(), timeoutMs) < 0) continue;
        // Only the pairs polled this turn have entries in fds; one accepted now waits a turn.
        const size_t polled = pairs.size();
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            const int server = client >= 0 ? connectTo(targetPort_) : -1;
            if (server >= 0)
                pairs.push_back(std::make_unique<Pair>(client, server));
            else if (client >= 0)
                ::close(client);
        }
        for (size_t i = 0; i < polled; ++i)
            serve(*pairs[i], fds[2 + 2 * i].revents, fds[3 + 2 * i].revents, buffer);
        pairs.erase(
            std::remove_if(pairs.begin(), pairs.end(), [](const auto& p) { return p->closed; }),
            pairs.end());
    }
}

}  // namespace korvid::test
