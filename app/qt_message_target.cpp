#include "app/qt_message_target.h"

#include <QCoreApplication>

QEvent::Type CWindowMessageEvent::eventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

CWindowMessageEvent::CWindowMessageEvent(unsigned message_, WParam wParam_, LParam lParam_)
    : QEvent(eventType()), message(message_), wParam(wParam_), lParam(lParam_) {}

CQtMessageTarget::CQtMessageTarget(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
    // Registered last: from here on other threads may post to this object.
    handle_ = registerWindow(this);
}

CQtMessageTarget::~CQtMessageTarget() {
    unregisterWindow(handle_);
}

void CQtMessageTarget::enqueueMessage(unsigned message, WParam wParam, LParam lParam) {
    QCoreApplication::postEvent(this, new CWindowMessageEvent(message, wParam, lParam));
}

LParam CQtMessageTarget::handleMessage(unsigned message, WParam wParam, LParam lParam) {
    return handler_ ? handler_(message, wParam, lParam) : 0;
}

bool CQtMessageTarget::event(QEvent* event) {
    if (event->type() == CWindowMessageEvent::eventType()) {
        const auto* windowMessage = static_cast<CWindowMessageEvent*>(event);
        handleMessage(windowMessage->message, windowMessage->wParam, windowMessage->lParam);
        return true;
    }
    return QObject::event(event);
}
