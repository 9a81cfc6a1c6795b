#include "comms/client_socket.h"

#include "platform/socket_errors.h"
#include "protocol/result_codes.h"
#include "resources/string_table.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

std::atomic<std::int32_t> socketLibraryReady{1};

namespace {

// A Windows Sockets code and the result codes it maps to when connecting, sending and receiving
// (the close notification maps as a send).
struct WinsockMapping {
    int code;
    int connect;
    int send;
    int receive;
};

constexpr WinsockMapping kWinsockResults[] = {
    {10013, 5524, 5524, 5524}, // WSAEACCES
    {10014, 5509, 5525, 5525}, // WSAEFAULT
    {10022, 5510, 5529, 5529}, // WSAEINVAL
    {10024, 5512, 5512, 5512}, // WSAEMFILE
    {10035, 5522, 5528, 5528}, // WSAEWOULDBLOCK
    {10036, 5521, 5521, 5521}, // WSAEINPROGRESS
    {10038, 5516, 5516, 5516}, // WSAENOTSOCK
    {10039, 5508, 5508, 5508}, // WSAEDESTADDRREQ
    {10047, 5506, 5506, 5506}, // WSAEAFNOSUPPORT
    {10048, 5504, 5504, 5504}, // WSAEADDRINUSE
    {10049, 5505, 5505, 5505}, // WSAEADDRNOTAVAIL
    {10050, 5520, 5520, 5520}, // WSAENETDOWN
    {10051, 5513, 5513, 5513}, // WSAENETUNREACH
    {10052, 0, 0, 0},          // WSAENETRESET
    {10053, 5530, 5530, 5530}, // WSAECONNABORTED
    {10054, 5531, 5531, 5531}, // WSAECONNRESET
    {10055, 5514, 5526, 5526}, // WSAENOBUFS
    {10056, 5511, 5511, 5511}, // WSAEISCONN
    {10057, 5515, 5515, 5515}, // WSAENOTCONN
    {10058, 0, 5527, 5523},    // WSAESHUTDOWN
    {10060, kResultSocketTimedOut, kResultSocketTimedOut, kResultSocketTimedOut}, // WSAETIMEDOUT
    {10061, kResultConnectRefused, kResultConnectRefused, kResultConnectRefused}, // WSAECONNREFUSED
    {10065, 5532, 5532, 5532},                                                    // WSAEHOSTUNREACH
    {10093, 5519, 5519, 5519}, // WSANOTINITIALISED
};

// An aborted connection also marks an established link as broken.
constexpr int kWsaConnectionAborted = 10053;

thread_local int tLastError = 0;
// The socket whose notifier runs on this thread, so that a notification's disconnect does not
// try to join its own thread.
thread_local const CClientSocket* tNotifierOf = nullptr;

int pendingSocketError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

} // namespace

std::string dottedAddress(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>((address >> 24) & 0xFF),
                  static_cast<int>((address >> 16) & 0xFF), static_cast<int>((address >> 8) & 0xFF),
                  static_cast<int>(address & 0xFF));
    return text;
}

CClientSocket::CClientSocket() = default;

CClientSocket::~CClientSocket() {
    disconnect();
}

int CClientSocket::connectTo(std::uint32_t address, std::uint16_t port) {
    std::lock_guard control(controlLock_);
    // The old socket goes first: a notification of it that is still running could otherwise set
    // the fields again after they have been cleared.
    stopNotifier();
    closeDescriptor();
    connected = 0;
    linkBroken = 0;
    connectError = 0;
    sendError = 0;
    receiveError = 0;
    unknownError = 0;
    if (socketLibraryReady.load() == 0)
        return 5500;

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 5501;

    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    inet_pton(AF_INET, dottedAddress(address).c_str(), &peer.sin_addr);

    if (::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        const int code = winsockErrorFromErrno(errno);
        if (code != kWsaWouldBlock) {
            ::close(fd);
            return winsockResult(SocketOp::Connect, code);
        }
    }
    {
        std::lock_guard guard(fdLock_);
        fd_ = fd;
    }
    dataReady.reset();
    wakeNotifier_.reset();
    stopNotifier_ = false;
    receiveArmed_ = true;
    notifier_ = std::thread([this, fd] { runNotifier(fd); });
    return 0;
}

void CClientSocket::disconnect() {
    connected = 0;
    linkBroken = 0;
    if (tNotifierOf == this) {
        // Called from a notification: the notifier leaves its loop when the handler returns.
        stopNotifier_ = true;
        closeDescriptor();
        return;
    }
    std::lock_guard control(controlLock_);
    stopNotifier();
    closeDescriptor();
    // A connect notification that was running while the notifier stopped may have set them.
    connected = 0;
    linkBroken = 0;
}

bool CClientSocket::isOpen() const {
    std::lock_guard guard(fdLock_);
    return fd_ >= 0;
}

void CClientSocket::stopNotifier() {
    if (!notifier_.joinable())
        return;
    stopNotifier_ = true;
    wakeNotifier_.set();
    notifier_.join();
}

void CClientSocket::closeDescriptor() {
    std::lock_guard guard(fdLock_);
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

int CClientSocket::receive(void* buffer, int length) {
    ssize_t got;
    {
        std::lock_guard guard(fdLock_);
        if (fd_ < 0) {
            tLastError = winsockErrorFromErrno(ENOTCONN);
            return -1;
        }
        got = ::recv(fd_, buffer, static_cast<std::size_t>(std::max(length, 0)), MSG_DONTWAIT);
        if (got < 0)
            tLastError = winsockErrorFromErrno(errno);
    }
    // A receive call re-enables the receive notification, as the platform's sockets do.
    receiveArmed_ = true;
    wakeNotifier_.set();
    return got < 0 ? -1 : static_cast<int>(got);
}

int CClientSocket::send(const void* data, int length) {
    std::lock_guard guard(fdLock_);
    if (fd_ < 0) {
        tLastError = winsockErrorFromErrno(ENOTCONN);
        return -1;
    }
    const ssize_t sent = ::send(fd_, data, static_cast<std::size_t>(std::max(length, 0)),
                                MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
        tLastError = winsockErrorFromErrno(errno);
        return -1;
    }
    return static_cast<int>(sent);
}

int CClientSocket::lastError() {
    return tLastError;
}

short CClientSocket::watchedEvents(const NotifierState& state) const {
    if (state.connecting)
        return POLLOUT;
    // Once the close has been reported a hung-up socket stays ready for ever: watch it only
    // while a receive notification is wanted.
    return static_cast<short>((receiveArmed_ ? POLLIN : 0) | (state.closeReported ? 0 : POLLRDHUP));
}

bool CClientSocket::notifyConnect(int fd, short revents, NotifierState& state) {
    if ((revents & (POLLOUT | POLLERR | POLLHUP)) == 0)
        return true;
    state.connecting = false;
    const int error = winsockErrorFromErrno(pendingSocketError(fd));
    onConnect(error);
    if (error != 0)
        return false;
    onSend(0);
    return true;
}

void CClientSocket::notifyConnected(int fd, short revents, NotifierState& state) {
    if ((revents & (POLLIN | POLLHUP | POLLERR)) && receiveArmed_) {
        receiveArmed_ = false;
        onReceive(0);
    }
    if ((revents & (POLLRDHUP | POLLHUP | POLLERR)) && !state.closeReported) {
        state.closeReported = true;
        onClose(winsockErrorFromErrno(pendingSocketError(fd)));
    }
}

void CClientSocket::runNotifier(int fd) {
    tNotifierOf = this;
    NotifierState state;
    while (!stopNotifier_) {
        pollfd fds[2] = {{wakeNotifier_.fd(), POLLIN, 0}, {fd, watchedEvents(state), 0}};
        const nfds_t count = fds[1].events != 0 ? 2 : 1;
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN)
            wakeNotifier_.tryWait();
        if (stopNotifier_ || count < 2)
            continue;
        const short revents = fds[1].revents;
        if (revents & POLLNVAL)
            break;
        if (state.connecting) {
            if (!notifyConnect(fd, revents, state))
                break;
            continue;
        }
        notifyConnected(fd, revents, state);
    }
    tNotifierOf = nullptr;
}

void CClientSocket::onConnect(int error) {
    if (error != 0) {
        connectError = winsockResult(SocketOp::Connect, error);
        disconnect();
    } else {
        connectError = 0;
        connected = 1;
    }
}

void CClientSocket::onSend(int error) {
    sendError = error != 0 ? winsockResult(SocketOp::Send, error) : 0;
}

void CClientSocket::onReceive(int error) {
    if (error != 0) {
        receiveError = winsockResult(SocketOp::Receive, error);
    } else {
        receiveError = 0;
        dataReady.set();
    }
}

void CClientSocket::onClose(int error) {
    if (error != 0) {
        closeError = winsockResult(SocketOp::Send, error);
        disconnect();
    } else {
        // An orderly close by the unit ends the link as surely as a reset: the view's watchdog
        // only learns of it here when no exchange reads the end of stream. The socket stays open
        // so that an exchange in progress can still read a reply sent just before the close.
        closeError = 0;
        connected = 0;
    }
}

int CClientSocket::winsockResult(SocketOp op, int code) {
    const auto* row = std::find_if(std::begin(kWinsockResults), std::end(kWinsockResults),
                                   [code](const WinsockMapping& m) { return m.code == code; });
    if (row == std::end(kWinsockResults)) {
        unknownError = code;
        return kResultUnknownTcpError;
    }
    if (code == kWsaConnectionAborted && connected)
        linkBroken = 1;
    switch (op) {
    case SocketOp::Connect:
        return row->connect;
    case SocketOp::Send:
        return row->send;
    default:
        return row->receive;
    }
}

std::string CClientSocket::unknownErrorText() const {
    std::string text(loadString(kResultUnknownTcpError));
    text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
    return formatText("%s = %d.", text.c_str(), static_cast<int>(unknownError.load()));
}
