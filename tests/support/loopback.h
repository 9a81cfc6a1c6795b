#pragma once

// Sockets on 127.0.0.1 with ports the kernel chooses, for the tests' units and listeners.

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A TCP socket bound to 127.0.0.1 on a kernel-chosen port and listening with `backlog`; with
// backlog -1 it is bound only, so nothing accepts on its port.
class CLoopbackListener {
public:
    explicit CLoopbackListener(int backlog = 4) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(0);
        socklen_t length = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            (backlog < 0 || ::listen(fd_, backlog) == 0) &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~CLoopbackListener() { ::close(fd_); }
    CLoopbackListener(const CLoopbackListener&) = delete;
    CLoopbackListener& operator=(const CLoopbackListener&) = delete;

    bool valid() const { return port_ != 0; }
    int fd() const { return fd_; }
    std::uint16_t port() const { return port_; }

    // The address of `port` on 127.0.0.1.
    static sockaddr_in loopback(std::uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// A port on 127.0.0.1 on which nothing listens.
inline std::uint16_t closedLoopbackPort() {
    return CLoopbackListener(-1).port();
}

// A listener whose backlog is full: a further connect to its port stays pending.
class CFullListener {
public:
    CFullListener() : listener_(0) {
        const sockaddr_in address = CLoopbackListener::loopback(listener_.port());
        for (int& client : clients_) {
            client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        }
        // Lets the kernel complete the handshakes that fill the backlog.
        ::usleep(100000);
    }
    ~CFullListener() {
        for (const int client : clients_)
            ::close(client);
    }
    CFullListener(const CFullListener&) = delete;
    CFullListener& operator=(const CFullListener&) = delete;
    std::uint16_t port() const { return listener_.port(); }

private:
    CLoopbackListener listener_;
    int clients_[2] = {-1, -1};
};
