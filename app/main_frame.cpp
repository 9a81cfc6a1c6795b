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

QAction* CMainFrame::addCommand(Command command, unsigned textId, unsigned promptId,
                                unsigned tipId) {
    auto* commandAction = new QAction(textId ? qText(textId) : QString(), this);
    if (promptId) {
        commandAction->setStatusTip(qText(promptId));
        commandAction->setWhatsThis(qText(promptId));
    }
    if (tipId)
        commandAction->setToolTip(qText(tipId));
    const QPixmap pixmap = toolbarPixmap(command);
    if (command != Command::LogCommunications && command != Command::Toolbar &&
        command != Command::StatusBar && command != Command::HelpTopics &&
        command != Command::ReleaseNotes)
        commandAction->setIcon(QIcon(pixmap));
    commandAction->setIconVisibleInMenu(false);
    actions_[command] = commandAction;
    return commandAction;
}

void CMainFrame::createMenus() {
    QMenu* setup = menuBar()->addMenu(qText(kIdsMenuSetup));
    QAction* logComms = addCommand(Command::LogCommunications, kIdsMenuLogCommunications,
                                   kIdsPromptLogCommunications, 0);
    logComms->setCheckable(true);
    logComms->setChecked(true);
    setup->addAction(logComms);
    setup->addSeparator();
    setup->addAction(
        addCommand(Command::Locations, kIdsMenuLocations, kIdsPromptLocations, kIdsTipLocations));

    QMenu* online = menuBar()->addMenu(qText(kIdsMenuOnline));
    online->addAction(
        addCommand(Command::Connect, kIdsMenuConnect, kIdsPromptConnect, kIdsTipConnect));
    online->addAction(addCommand(Command::Disconnect, kIdsMenuDisconnect, kIdsPromptDisconnect,
                                 kIdsTipDisconnect));
    online->addSeparator();
    online->addAction(addCommand(Command::TemporaryCommsSetup, kIdsMenuTemporaryCommsSetup,
                                 kIdsPromptTemporaryCommsSetup, kIdsTipTemporaryCommsSetup));
    online->addAction(
        addCommand(Command::TestComms, kIdsMenuTestComms, kIdsPromptTestComms, kIdsTipTestComms));

    QMenu* view = menuBar()->addMenu(qText(kIdsMenuView));
    view->addAction(
        addCommand(Command::CommsLog, kIdsMenuCommsLog, kIdsPromptCommsLog, kIdsTipCommsLog));
    view->addSeparator();
    QAction* toolbar = addCommand(Command::Toolbar, kIdsMenuToolbar, kIdsPromptToolbar, 0);
    toolbar->setCheckable(true);
    toolbar->setChecked(true);
    view->addAction(toolbar);
    QAction* statusBarAction =
        addCommand(Command::StatusBar, kIdsMenuStatusBar, kIdsPromptStatusBar, 0);
    statusBarAction->setCheckable(true);
    statusBarAction->setChecked(true);
    view->addAction(statusBarAction);

    QMenu* help = menuBar()->addMenu(qText(kIdsMenuHelp));
    QAction* helpTopics =
        addCommand(Command::HelpTopics, kIdsMenuHelpTopics, kIdsPromptHelpTopics, 0);
    helpTopics->setShortcut(QKeySequence(Qt::Key_F1));
    help->addAction(helpTopics);
    help->addAction(
        addCommand(Command::ReleaseNotes, kIdsMenuReleaseNotes, kIdsPromptReleaseNotes, 0));
    help->addSeparator();
    help->addAction(
        addCommand(Command::Convertor, kIdsMenuConvertor, kIdsPromptConvertor, kIdsTipConvertor));
    help->addSeparator();
    help->addAction(addCommand(Command::About, kIdsMenuAbout, kIdsPromptAbout, kIdsTipAbout));

    // Shift+F1 and the last toolbar button: the "what's this" pointer.
    QAction* contextHelp =
        addCommand(Command::ContextHelp, 0, kIdsPromptContextHelp, kIdsTipContextHelp);
    contextHelp->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1));
    addAction(contextHelp);

    connect(toolbar, &QAction::toggled, this, [this](bool visible) {
        if (toolBar_)
            toolBar_->setVisible(visible);
    });
    connect(statusBarAction, &QAction::toggled, this,
            [this](bool visible) { statusBar()->setVisible(visible); });
}

void CMainFrame::createToolBar() {
    toolBar_ = addToolBar(QString());
    toolBar_->setObjectName(QStringLiteral("mainToolBar"));
    toolBar_->setIconSize(QSize(16, 15));
    toolBar_->setMovable(true);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar_->addAction(action(Command::Locations));
    toolBar_->addSeparator();
    toolBar_->addAction(action(Command::Connect));
    toolBar_->addAction(action(Command::Disconnect));
    toolBar_->addSeparator();
    toolBar_->addAction(action(Command::TemporaryCommsSetup));
    toolBar_->addAction(action(Command::TestComms));
    toolBar_->addSeparator();
    toolBar_->addAction(action(Command::CommsLog));
    toolBar_->addSeparator();
    toolBar_->addAction(action(Command::Convertor));
    toolBar_->addSeparator();
    toolBar_->addAction(action(Command::About));
    toolBar_->addAction(action(Command::ContextHelp));
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
