#include "app/vantrel_view.h"

#include "app/main_frame.h"
#include "app/qt_message_target.h"
#include "app/qt_text.h"
#include "app/qt_tool_window.h"
#include "app/register_table_window.h"
#include "windows/vantrel_doc.h"
#include "windows/view_hint.h"

#include <QAction>
#include <QPainter>
#include <QTimer>
#include <QWhatsThis>

CVantrelView::CVantrelView(CVantrelDoc& document, CSettingsFile& settings, CMainFrame& frame,
                           IAppDialogs& dialogs, IMessageBox& messageBox, Paths paths)
    : QWidget(&frame), document_(document), frame_(frame), dialogs_(dialogs),
      commands_(document, settings, dialogs, messageBox,
                [&frame] { postMessage(frame.handle(), WM_STATUS_REFRESH); }),
      paths_(std::move(paths)) {
    watchdog_ = new QTimer(this);
    watchdog_->setObjectName("watchdog");
    watchdog_->setInterval(CViewCommands::kWatchdogMs);
    connect(watchdog_, &QTimer::timeout, this, [this] {
        commands_.watchdogTick();
        frame_.updateCommandStates();
    });

    for (int index = 0; index <= static_cast<int>(Command::ContextHelp); ++index) {
        const auto command = static_cast<Command>(index);
        QAction* commandAction = frame_.action(command);
        if (commandAction == nullptr || command == Command::Toolbar ||
            command == Command::StatusBar || command == Command::ContextHelp)
            continue;
        connect(commandAction, &QAction::triggered, this, [this, command] { runCommand(command); });
    }
    connect(frame_.action(Command::ContextHelp), &QAction::triggered, this,
            [] { QWhatsThis::enterWhatsThisMode(); });

    messageTarget_ =
        std::make_unique<CQtMessageTarget>([this](unsigned message, WParam wParam, LParam lParam) {
            return onMessage(message, wParam, lParam);
        });
}

CVantrelView::~CVantrelView() {
    // It follows the document's reads: it goes before the document does.
    delete registerTableWindow_.data();
    messageTarget_.reset();
    watchdog_->stop();
    commands_.disconnectSequence();
}

WindowHandle CVantrelView::handle() const {
    return messageTarget_->handle();
}

bool CVantrelView::watchdogActive() const {
    return watchdog_->isActive();
}

QString CVantrelView::hintText() const {
    const bool online = document_.online != 0;
    return qText(viewHintText(online, online ? document_.currentLocation.name : std::string()));
}

void CVantrelView::paintEvent(QPaintEvent*) {
    // The form has no controls: it only tells a new user where to go next.
    constexpr int kMargin = 24;
    QPainter painter(this);
    QColor pen = palette().color(QPalette::WindowText);
    pen.setAlphaF(0.7f); // quieter than a control's label, still easy to read
    painter.setPen(pen);
    // One block in the middle of the form, its lines flush left so that the numbered steps align.
    const QRect area = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QString hint = hintText();
    const int flags = Qt::AlignLeft | Qt::TextWordWrap;
    QRect block = painter.boundingRect(area, flags, hint);
    block.moveCenter(area.center());
    painter.drawText(block, flags, hint);
}

void CVantrelView::onInitialUpdate() {
    frame_.setCentralWidget(this);
    postMessage(frame_.handle(), WM_STATUS_REFRESH);
    dialogs_.showSplash();
    watchdog_->start();
}

void CVantrelView::runCommand(Command command) {
    if (!isCommandEnabled(command, document_.online != 0))
        return;
    switch (command) {
    case Command::LogCommunications:
        commands_.toggleLogCommunications();
        break;
    case Command::Locations:
        commands_.locations();
        break;
    case Command::Connect:
        commands_.connect();
        break;
    case Command::FindUnit:
        commands_.findUnit();
        break;
    case Command::Disconnect:
        commands_.disconnect();
        break;
    case Command::TemporaryCommsSetup:
        commands_.temporaryCommsSetup();
        break;
    case Command::TestComms:
        commands_.testComms();
        break;
    case Command::CommsLog:
        showToolWindow(commsLogWindow_, [this] { return dialogs_.createCommsLog(handle()); });
        break;
    case Command::RegisterTable:
        showToolWindow(registerTableWindow_, [this]() -> QWidget* {
            auto* window = new CRegisterTableWindow(document_.readFeed, nullptr, &frame_);
            window->show();
            return window;
        });
        break;
    case Command::HelpTopics:
        commands_.helpTopics(paths_.helpDocument);
        break;
    case Command::ReleaseNotes:
        commands_.releaseNotes(paths_.releaseNotes);
        break;
    case Command::Convertor:
        showToolWindow(convertorWindow_, [this] { return dialogs_.createConvertor(handle()); });
        break;
    case Command::About:
        dialogs_.showAbout();
        break;
    default:
        break;
    }
    frame_.updateCommandStates();
}

LParam CVantrelView::onMessage(unsigned message, WParam, LParam) {
    if (message == WM_COMMSLOG_CLOSED)
        commsLogWindow_ = nullptr;
    else if (message == WM_CONVERTOR_CLOSED)
        convertorWindow_ = nullptr;
    return 0;
}
