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
    : QDialog(parent), jobs_(document.context().engine) {
    setWindowTitle(qText(kIdsHangUpTitle));
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint);
    status_ = new QLabel(this);
    response_ = new QLabel(this);
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
            if (message == WM_COMMS_RESULT && logic_)
                logic_->onCommsResult(wParam, lParam);
            return LParam{0};
        });
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(CModemHangUpDlg::kTimerHangUpMs);
    connect(timer_, &QTimer::timeout, this, [this] { logic_->onTimer(); });
    IModemHangUpWindow& window = *this;
    logic_ = std::make_unique<CModemHangUpDlg>(document, window, jobs_, target_->handle());
    logic_->open();
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
    if (logic_->canClose())
        QDialog::reject();
}

void CModemHangUpWindow::keyPressEvent(QKeyEvent* event) {
    // Enter would press no button and Escape would leave the modem off hook: both are ignored.
    event->accept();
}

void CModemHangUpWindow::setStatusText(const std::string& text) {
    status_->setText(qText(text));
}
void CModemHangUpWindow::setModemResponse(const std::string& text) {
    response_->setText(qText(text));
}
void CModemHangUpWindow::startTimer() {
    timer_->start();
}
void CModemHangUpWindow::stopTimer() {
    timer_->stop();
}

void CModemHangUpWindow::closeDialog() {
    done(QDialog::Accepted);
}
