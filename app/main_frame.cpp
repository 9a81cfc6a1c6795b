#include "app/main_frame.h"

#include "app/icons.h"
#include "app/qt_message_target.h"
#include "app/qt_text.h"
#include "app/vantrel_app.h"
#include "protocol/modbus_message.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "windows/vantrel_doc.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>

namespace {

constexpr int kIndicatorTimerMs = 1;

} // namespace

CMainFrame::CMainFrame() {
    setWindowTitle(qText(kIdsMainTitle));
    setWindowIcon(programIcon());
    createMenus();
    createToolBar();
    createStatusBar();

    indicatorTimer_ = new QTimer(this);
    indicatorTimer_->setTimerType(Qt::PreciseTimer);
    indicatorTimer_->setInterval(kIndicatorTimerMs);
    connect(indicatorTimer_, &QTimer::timeout, this, &CMainFrame::indicatorTick);

    messageTarget_ =
        std::make_unique<CQtMessageTarget>([this](unsigned message, WParam wParam, LParam lParam) {
            return onMessage(message, wParam, lParam);
        });
    postMessage(messageTarget_->handle(), WM_STATUS_REFRESH);
}

CMainFrame::~CMainFrame() {
    // Unregister first, so that nothing reaches the frame while it is taken apart.
    messageTarget_.reset();
}

WindowHandle CMainFrame::handle() const {
    return messageTarget_->handle();
}

QAction* CMainFrame::action(Command command) const {
    const auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

namespace {

QKeySequence commandKey(CommandKey key) {
    switch (key) {
    case CommandKey::F1:
        return QKeySequence(Qt::Key_F1);
    case CommandKey::ShiftF1:
        return QKeySequence(Qt::SHIFT | Qt::Key_F1);
    default:
        return {};
    }
}

} // namespace

QAction* CMainFrame::addCommand(const CommandEntry& entry) {
    auto* commandAction = new QAction(entry.textId ? qText(entry.textId) : QString(), this);
    if (entry.promptId) {
        commandAction->setStatusTip(qText(entry.promptId));
        commandAction->setWhatsThis(qText(entry.promptId));
    }
    if (entry.tipId)
        commandAction->setToolTip(qText(entry.tipId));
    if (entry.onToolbar)
        commandAction->setIcon(QIcon(toolbarPixmap(entry.command)));
    commandAction->setIconVisibleInMenu(false);
    if (entry.checkable) {
        commandAction->setCheckable(true);
        commandAction->setChecked(true);
    }
    if (entry.key != CommandKey::None)
        commandAction->setShortcut(commandKey(entry.key));
    actions_[entry.command] = commandAction;
    return commandAction;
}

void CMainFrame::createMenus() {
    QMenu* menu = nullptr;
    unsigned menuId = 0;
    for (const CommandEntry& entry : kCommandTable) {
        QAction* commandAction = addCommand(entry);
        if (entry.menuId == 0) {
            addAction(commandAction);
            continue;
        }
        if (entry.menuId != menuId) {
            menuId = entry.menuId;
            menu = menuBar()->addMenu(qText(menuId));
        } else if (entry.menuSeparatorBefore) {
            menu->addSeparator();
        }
        menu->addAction(commandAction);
    }

    connect(action(Command::Toolbar), &QAction::toggled, this, [this](bool visible) {
        if (toolBar_)
            toolBar_->setVisible(visible);
    });
    connect(action(Command::StatusBar), &QAction::toggled, this,
            [this](bool visible) { statusBar()->setVisible(visible); });
}

void CMainFrame::createToolBar() {
    toolBar_ = addToolBar(QString());
    toolBar_->setObjectName(QStringLiteral("mainToolBar"));
    toolBar_->setIconSize(QSize(16, 15));
    toolBar_->setMovable(true);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    for (const CommandEntry& entry : kCommandTable) {
        if (!entry.onToolbar)
            continue;
        if (entry.toolbarSeparatorBefore)
            toolBar_->addSeparator();
        toolBar_->addAction(action(entry.command));
    }
    // Hiding the toolbar by its own context menu keeps the View menu's check in step.
    connect(toolBar_, &QToolBar::visibilityChanged, this, [this](bool visible) {
        if (!isHidden())
            action(Command::Toolbar)->setChecked(visible);
    });
}

void CMainFrame::createStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(true);

    messagePane_ = new QLabel(qText(kIdsPaneMessage), bar);
    messagePane_->setTextFormat(Qt::PlainText);
    messagePane_->setFrameShape(QFrame::Panel);
    messagePane_->setFrameShadow(QFrame::Sunken);
    // Fixed to its first text, so that the lights and the connection pane stay put while the
    // prompts come and go; a longer prompt is cut short visibly.
    messagePane_->setFixedWidth(messagePane_->sizeHint().width());

    indicatorPane_ = new QWidget(bar);
    const int paneWidth = std::max(
        32, indicatorPane_->fontMetrics().horizontalAdvance(qText(kIdsPaneIndicators)) + 8);
    indicatorPane_->setFixedWidth(paneWidth);
    indicatorPane_->setMinimumHeight(16);
    indicatorPane_->installEventFilter(this);
    transmitLabel_ = new QLabel(indicatorPane_);
    receiveLabel_ = new QLabel(indicatorPane_);
    for (QLabel* label : {transmitLabel_, receiveLabel_})
        label->setAlignment(Qt::AlignCenter);
    showIndicatorFrame(true, 0);
    showIndicatorFrame(false, 0);

    connectionPane_ = new QLabel(qText(kIdsPaneConnection), bar);
    // Location names are the user's own text: never taken as markup.
    connectionPane_->setTextFormat(Qt::PlainText);
    connectionPane_->setFrameShape(QFrame::Panel);
    connectionPane_->setFrameShadow(QFrame::Sunken);

    // All three panes are permanent, so status tips go to the first pane (see event()) rather
    // than covering the bar.
    bar->addPermanentWidget(messagePane_, 0);
    bar->addPermanentWidget(indicatorPane_, 0);
    bar->addPermanentWidget(connectionPane_, 1);
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        messagePane_->setText(messagePane_->fontMetrics().elidedText(
            tip.isEmpty() ? qText(kIdsPaneMessage) : tip, Qt::ElideRight,
            messagePane_->contentsRect().width()));
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        QCoreApplication::quit();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == indicatorPane_ && event->type() == QEvent::Resize)
        placeIndicators();
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::placeIndicators() {
    const IndicatorPlacement place =
        ::placeIndicators(0, 0, indicatorPane_->width(), indicatorPane_->height());
    transmitLabel_->setGeometry(place.transmitX, place.top, place.transmitWidth, place.height);
    receiveLabel_->setGeometry(place.receiveX, place.top, place.receiveWidth, place.height);
}

void CMainFrame::showIndicatorFrame(bool transmit, int frame) {
    (transmit ? transmitFrame_ : receiveFrame_) = frame;
    (transmit ? transmitLabel_ : receiveLabel_)->setPixmap(indicatorPixmap(transmit, frame));
}

LParam CMainFrame::onMessage(unsigned message, WParam wParam, LParam) {
    switch (message) {
    case WM_STATUS_REFRESH:
        refreshStatus();
        break;
    case WM_TX_ACTIVITY:
        transmit_.start(static_cast<unsigned>(wParam & 0xFFFFu));
        break;
    case WM_RX_ACTIVITY:
        receive_.start(static_cast<unsigned>(wParam & 0xFFFFu));
        break;
    default:
        break;
    }
    return 0;
}

void CMainFrame::indicatorTick() {
    const int transmitFrame = transmit_.tick();
    if (transmitFrame >= 0)
        showIndicatorFrame(true, transmitFrame);
    const int receiveFrame = receive_.tick();
    if (receiveFrame >= 0)
        showIndicatorFrame(false, receiveFrame);
}

void CMainFrame::refreshStatus() {
    updateCommandStates();
    if (document_ == nullptr)
        return;
    ConnectionPaneInput input;
    input.online = document_->online != 0;
    input.decimalSeparator = decimalSeparator.empty() ? "." : decimalSeparator;
    if (input.online) {
        indicatorTimer_->start();
        input.location = &document_->currentLocation;
        const CModbusMessage& message = document_->message();
        input.modbusId = message.modbusId;
        input.time1 = message.time1;
        input.time2 = message.time2;
        input.retries = message.retries;
    } else {
        indicatorTimer_->stop();
        input.closeError = document_->socketCloseError();
        showIndicatorFrame(true, 0);
        showIndicatorFrame(false, 0);
    }
    connectionPane_->setText(qText(connectionPaneText(input)));
    // The view's hint of the next step follows the connection state.
    if (centralWidget() != nullptr)
        centralWidget()->update();
}

void CMainFrame::updateCommandStates() {
    const bool online = document_ != nullptr && document_->online != 0;
    for (auto& [command, commandAction] : actions_)
        commandAction->setEnabled(isCommandEnabled(command, online));
    if (document_ != nullptr)
        action(Command::LogCommunications)->setChecked(document_->logComms() != 0);
}

QString CMainFrame::paneText(int pane) const {
    switch (pane) {
    case 1:
        return messagePane_->text();
    case 3:
        return connectionPane_->text();
    default:
        return {};
    }
}

bool CMainFrame::indicatorTimerActive() const {
    return indicatorTimer_->isActive();
}
