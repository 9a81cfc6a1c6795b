#include "platform/window_messages.h"

#include <mutex>
#include <unordered_map>

namespace {

struct Registry {
    std::recursive_mutex lock;
    std::unordered_map<WindowHandle, IMessageTarget*> windows;
    WindowHandle lastHandle = 0;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

} // namespace

WindowHandle registerWindow(IMessageTarget* target) {
    if (target == nullptr)
        return 0;
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    const WindowHandle handle = ++r.lastHandle;
    r.windows.emplace(handle, target);
    return handle;
}

void unregisterWindow(WindowHandle window) {
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.windows.erase(window);
}

bool isWindow(WindowHandle window) {
    if (window == 0)
        return false;
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    return r.windows.count(window) != 0;
}

bool postMessage(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    if (window == 0)
        return false;
    Registry& r = registry();
    // The target is handed the message under the lock, so it cannot unregister (and go away)
    // half-way through.
    std::lock_guard guard(r.lock);
    const auto it = r.windows.find(window);
    if (it == r.windows.end())
        return false;
    it->second->enqueueMessage(message, wParam, lParam);
    return true;
}

LParam sendMessage(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    IMessageTarget* target = nullptr;
    {
        Registry& r = registry();
        std::lock_guard guard(r.lock);
        const auto it = r.windows.find(window);
        if (it == r.windows.end())
            return 0;
        target = it->second;
    }
    // The caller runs on the target's own thread, the only one that unregisters it, so the
    // target stays valid without the lock; the handler may then use the registry itself.
    return target->handleMessage(message, wParam, lParam);
}

bool whileWindowLive(WindowHandle window, const std::function<void()>& action) {
    if (window == 0)
        return false;
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    if (r.windows.count(window) == 0)
        return false;
    action();
    return true;
}
