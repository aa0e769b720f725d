#pragma once
// A loopback TCP proxy in front of a test's server, on a thread of its own so that it keeps
// working whatever the window's thread does. It can slow the server down (every chunk a client
// sends waits before it goes on) or make it stop answering (what clients send from then on is
// dropped; their connections stay open).

#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace korvid::test {

class TcpProxy {
public:
    explicit TcpProxy(quint16 targetPort);
    ~TcpProxy();
    TcpProxy(const TcpProxy&) = delete;
    TcpProxy& operator=(const TcpProxy&) = delete;

    // Listens on a free loopback port. False when it cannot.
    bool start();
    quint16 port() const { return port_; }
    QString server() const;  // "127.0.0.1,PORT" as an administrator would type it

    void setDelayMs(int ms) { delayMs_ = ms; }
    void setSwallow(bool on) { swallow_ = on; }
    // The first chunks of every connection that pass untouched whatever else is set: 2 spares a
    // login (its pre-login and its login packet), so that only statements are slowed or lost.
    void setSpared(int chunks) { spared_ = chunks; }
    // Bytes dropped since the proxy started swallowing.
    long swallowedBytes() const { return swallowed_; }

private:
    struct Pair;
    void run();
    void serve(Pair& pair, short clientEvents, short serverEvents, std::vector<char>& buffer);

    quint16 targetPort_;
    quint16 port_ = 0;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::atomic<int> delayMs_{0};
    std::atomic<bool> swallow_{false};
    std::atomic<int> spared_{0};
    std::atomic<long> swallowed_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace korvid::test
