#pragma once

#include "platform/window_messages.h"

#include <QEvent>
#include <QObject>
#include <functional>

// A window message carried to the receiving QObject's thread as a posted event.
class CWindowMessageEvent : public QEvent {
public:
    static QEvent::Type eventType();

    CWindowMessageEvent(unsigned message, WParam wParam, LParam lParam);

    unsigned message;
    WParam wParam;
    LParam lParam;
};

// Makes a QObject reachable through the window registry. Posted messages become
// CWindowMessageEvent events that Qt delivers on the thread the object lives on (the
// user-interface thread); sent messages run the handler at once. The target registers when it is
// constructed and unregisters in its destructor, before any of its state goes away, so that
// nothing is posted to it afterwards; events still pending are discarded by Qt with the object.
class CQtMessageTarget final : public QObject, public IMessageTarget {
public:
    using Handler = std::function<LParam(unsigned message, WParam wParam, LParam lParam)>;

    explicit CQtMessageTarget(Handler handler, QObject* parent = nullptr);
    ~CQtMessageTarget() override;
    CQtMessageTarget(const CQtMessageTarget&) = delete;
    CQtMessageTarget& operator=(const CQtMessageTarget&) = delete;

    // The handle other threads post to.
    WindowHandle handle() const { return handle_; }

    void enqueueMessage(unsigned message, WParam wParam, LParam lParam) override;
    LParam handleMessage(unsigned message, WParam wParam, LParam lParam) override;

protected:
    bool event(QEvent* event) override;

private:
    Handler handler_;
    WindowHandle handle_ = 0;
};
