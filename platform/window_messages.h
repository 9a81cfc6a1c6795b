#pragma once

#include <cstdint>
#include <functional>

// Window handles and window messages. A window (a Qt widget, or a queue in tests) registers a
// target and receives an opaque handle; the comms thread and other windows reach it only through
// that handle. Handles are never reused, so a stale handle can never reach a newer window.
using WindowHandle = std::uintptr_t; // 0 = no window
using WParam = std::uintptr_t;
using LParam = std::intptr_t;

constexpr unsigned WM_USER = 0x0400;
constexpr unsigned WM_STATUS_REFRESH = WM_USER + 256;
constexpr unsigned WM_COMMS_RESULT = WM_USER + 257;
constexpr unsigned WM_COMMSLOG_CLOSED = WM_USER + 258;
constexpr unsigned WM_CONVERTOR_CLOSED = WM_USER + 259;
constexpr unsigned WM_TX_ACTIVITY = WM_USER + 260;
constexpr unsigned WM_RX_ACTIVITY = WM_USER + 261;

class IMessageTarget {
public:
    virtual ~IMessageTarget() = default;
    // Called by postMessage on the posting thread while the registry lock is held: hand the
    // message over to the target's own thread (queue it) and return at once. Must not call back
    // into the registry.
    virtual void enqueueMessage(unsigned message, WParam wParam, LParam lParam) = 0;
    // Called by sendMessage on the caller's thread, which must be the target's own thread.
    virtual LParam handleMessage(unsigned message, WParam wParam, LParam lParam) = 0;
};

// Registers a live window; the target, and any buffer handed to other threads for it to read
// later, must stay valid until unregisterWindow returns.
WindowHandle registerWindow(IMessageTarget* target);
// Removes the window under the registry lock: once this returns nothing more is posted to it.
void unregisterWindow(WindowHandle window);
// True while the window is registered.
bool isWindow(WindowHandle window);
// Queues a message for the window; returns false (and drops the message) when it is not live.
bool postMessage(WindowHandle window, unsigned message, WParam wParam = 0, LParam lParam = 0);
// Delivers a message synchronously on the calling thread; returns 0 when the window is not live.
LParam sendMessage(WindowHandle window, unsigned message, WParam wParam = 0, LParam lParam = 0);
// Runs `action` under the registry lock when the window is live and returns true; returns false
// without running it otherwise. The window cannot finish unregistering while `action` runs, so
// the action may write into buffers the window owns and post messages to it (the lock is
// recursive); it must not wait for anything the window's thread does.
bool whileWindowLive(WindowHandle window, const std::function<void()>& action);
