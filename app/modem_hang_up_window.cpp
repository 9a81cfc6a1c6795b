#include "app/modem_hang_up_window.h"

#include "app/qt_message_target.h"
#include "app/qt_text.h"
#include "comms/comms_context.h"
#include "resources/string_ids.h"
#include "windows/vantrel_doc.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kLineWidth = 320;

} // namespace

CModemHangUpWindow::CModemHangUpWindow(CVantrelDoc& document, QWidget* parent)
    : QDialog(parent), document_(document), jobs_(document.context().engine) {
    setWindowTitle(tableText(kIdsHangUpTitle));
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint);
    status_ = new QLabel(tableText(kIdsHangUpStatus), this);
    response_ = new QLabel(tableText(kIdsHangUpModemResponse), this);
    for (QLabel* line : {status_, response_}) {
        line->setTextFormat(Qt::PlainText);
        line->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        line->setMinimumWidth(kLineWidth);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(response_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    target_ =
        std::make_unique<CQtMessageTarget>([this](unsigned message, WParam wParam, LParam lParam) {
            if (message == WM_COMMS_RESULT && hangUp_)
                hangUp_->onCommsResult(wParam, lParam);
            return LParam{0};
        });
    IModemHangUpObserver& observer = *this;
    hangUp_ =
        std::make_unique<CModemHangUp>(jobs_, document.message(), observer, target_->handle());
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(kTimerHangUpMs);
    connect(timer_, &QTimer::timeout, this, [this] { hangUp_->onTimer(); });
    hangUp_->open();
    timer_->start();
}

CModemHangUpWindow::~CModemHangUpWindow() {
    target_.reset();
}

QString CModemHangUpWindow::statusText() const {
    return status_->text();
}
QString CModemHangUpWindow::modemResponseText() const {
    return response_->text();
}

void CModemHangUpWindow::reject() {
    if (hangUp_->finished())
        QDialog::reject();
}

void CModemHangUpWindow::keyPressEvent(QKeyEvent* event) {
    // Enter would press no button and Escape would leave the modem off hook: both are ignored.
    event->accept();
}

void CModemHangUpWindow::statusText(const std::string& text) {
    status_->setText(toQString(text));
}
void CModemHangUpWindow::modemResponse(const std::string& line) {
    response_->setText(toQString(line));
}
void CModemHangUpWindow::stopTimer() {
    timer_->stop();
}

void CModemHangUpWindow::hungUp() {
    document_.context().modemConnected = 0;
    done(QDialog::Accepted);
}
