#pragma once

// "Unknown TCP/IP error.": shown with the socket's last error text (unknownErrorText).
constexpr int kResultUnknownTcpError = 5518;

#include "platform/events.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// Whether the sockets library could be initialised at start-up; the application sets it. Always
// possible on this platform, so it starts as 1.
extern std::atomic<std::int32_t> socketLibraryReady;

// The dotted text of a packed IPv4 address (first octet in the most significant byte).
std::string dottedAddress(std::uint32_t address);

// The operation a Windows Sockets error is mapped for.
enum class SocketOp : int { Connect = 1, Send = 2, Receive = 3 };

// The one TCP client connection to the unit: a non-blocking stream socket whose connect, send,
// receive and close notifications are delivered by a notifier thread that runs while the socket
// is open. The notifications only write the whole-word fields below and signal dataReady; the
// comms thread reads the fields, calls receive and send, and waits on dataReady.
class CClientSocket {
public:
    CClientSocket();
    virtual ~CClientSocket();
    CClientSocket(const CClientSocket&) = delete;
    CClientSocket& operator=(const CClientSocket&) = delete;

    // 1 once the connect notification reported success; 0 after disconnect, a failed connect,
    // and once the unit has closed its end (an orderly close leaves the socket open to be read).
    std::atomic<std::int32_t> connected{0};
    std::atomic<std::int32_t> linkBroken{0};
    std::atomic<std::int32_t> connectError{0};
    std::atomic<std::int32_t> sendError{0};
    std::atomic<std::int32_t> receiveError{0};
    std::atomic<std::int32_t> closeError{0};
    std::atomic<std::int32_t> unknownError{0};
    // Signalled by every error-free receive notification: data (or the peer's end of stream)
    // can be read. After it has been signalled it is signalled again only once receive has been
    // called, so a reader that does not drain the socket is not woken over and over.
    CEvent dataReady;

    // Starts connecting to the IPv4 address (first octet in the most significant byte) and port.
    // Returns 0 when the connection is under way (the connect notification then sets `connected`
    // or `connectError`), 5500 when the sockets library is not ready, 5501 when no socket can be
    // had, or the mapped code of a connect that failed at once. A socket still open is closed
    // first.
    int connectTo(std::uint32_t address, std::uint16_t port);
    // Clears `connected` and `linkBroken` and closes the socket (nothing happens to a closed
    // one). Callable from any thread, including a notification.
    void disconnect();
    // True while a socket is open (connecting or connected).
    bool isOpen() const;

    // Receives up to `length` bytes without waiting. Returns the number of bytes, 0 when the peer
    // has closed the connection, or -1 with lastError() set to a Windows Sockets number.
    int receive(void* buffer, int length);
    // Sends up to `length` bytes without waiting and without SIGPIPE. Returns the bytes taken, or
    // -1 with lastError() set.
    int send(const void* data, int length);
    // The Windows Sockets number of the calling thread's last failed receive or send.
    static int lastError();

    // Maps a Windows Sockets error of an operation to its result code (5504-5532, or 0 for the
    // codes the table passes over). A connection-aborted error sets `linkBroken` when connected;
    // an unknown code gives 5518 and is kept in `unknownError`.
    int winsockResult(SocketOp op, int code);
    // "Unknown TCP/IP error = <unknownError>." built from the text of 5518.
    std::string unknownErrorText() const;

protected:
    // The four notifications, each with the Windows Sockets error of the event (0: none). They
    // run on the notifier thread.
    virtual void onConnect(int error);
    virtual void onSend(int error);
    virtual void onReceive(int error);
    virtual void onClose(int error);

private:
    // What the notifier thread knows of the socket between two polls.
    struct NotifierState {
        bool connecting = true;
        bool closeReported = false;
    };
    void runNotifier(int fd);
    short watchedEvents(const NotifierState& state) const;
    // Reports the end of the connect; false when it failed and the notifier ends.
    bool notifyConnect(int fd, short revents, NotifierState& state);
    void notifyConnected(int fd, short revents, NotifierState& state);
    void stopNotifier();
    void closeDescriptor();

    std::mutex
        controlLock_; // orders connectTo and disconnect callers; never held by a notification
    mutable std::mutex fdLock_; // guards fd_ against a close during send or receive
    int fd_ = -1;
    std::thread notifier_;
    CEvent wakeNotifier_;
    std::atomic<bool> stopNotifier_{false};
    std::atomic<bool> receiveArmed_{false};
};
