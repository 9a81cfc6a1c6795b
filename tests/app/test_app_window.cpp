#include "app/about_window.h"
#include "app/main_frame.h"
#include "app/qt_message_box.h"
#include "app/qt_message_target.h"
#include "app/splash_window.h"
#include "app/vantrel_app.h"
#include "app/vantrel_shell.h"
#include "comms/comms_context.h"
#include "comms/port_map.h"
#include "config/settings_file.h"
#include "qt_test_support.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "tests/support/loopback.h"
#include "tests/support/temp_folder.h"
#include "windows/status_bar.h"
#include "windows/vantrel_doc.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_THREAD__)
// Qt is not built with the race detector: memory that its own thread pool (image conversion for
// painting and screen grabs) hands between threads looks unsynchronised. Only accesses made by
// the program's own, instrumented code are checked.
extern "C" const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1";
}
#endif

namespace {

const bool environmentRegistered =
    (::testing::AddGlobalTestEnvironment(new CQtTestEnvironment("test_app_window")), true);

class CRecordingDialogs : public IAppDialogs {
public:
    void showSplash() override { ++splashes; }
    void showAbout() override { ++abouts; }
    bool runLocations(CSettingsFile&) override { return false; }
    void runConnect(CVantrelDoc&, CSettingsFile&) override {
        ++connects;
        if (onConnect)
            onConnect();
    }
    void runHangUp(CVantrelDoc&) override {
        ++hangUps;
        if (onHangUp)
            onHangUp();
    }
    void runTest(CVantrelDoc&, int modbusId, ModbusType, int addressingMode) override {
        tests.push_back({modbusId, addressingMode});
    }
    bool runTemporaryComms(MediaType, int& retries, int& time1, int& time2) override {
        retries = 5;
        time1 = 1500;
        time2 = 250;
        return true;
    }
    QWidget* createCommsLog(WindowHandle) override { return nullptr; }
    QWidget* createConvertor(WindowHandle) override {
        ++convertors;
        return new QWidget;
    }

    int splashes = 0, abouts = 0, connects = 0, hangUps = 0, convertors = 0;
    std::vector<std::pair<int, int>> tests;
    std::function<void()> onConnect;
    std::function<void()> onHangUp;
};

class AppWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.valid());
        directory = folder.path();
        settingsPath = directory + "/VNTLSettings.dat";
        setenv("VANTREL_SETTINGS", settingsPath.c_str(), 1);
        app = std::make_unique<CVantrelApp>(messages);
        ASSERT_TRUE(app->initInstance());
        shell = std::make_unique<CVantrelShell>(*app, dialogs);
        ASSERT_TRUE(shell->create());
        shell->show();
        ASSERT_TRUE(waitUntil([&] { return frame().paneText(3) == "Offline"; }));
    }
    void TearDown() override {
        shell.reset();
        app.reset();
        unsetenv("VANTREL_SETTINGS");
        decimalSeparator = ".";
    }

    CMainFrame& frame() { return *shell->frame(); }
    CVantrelDoc& doc() { return *shell->document(); }
    CCommsLogStore& log() { return doc().context().engine.logRecords; }

    // The test gives the watchdog's ticks itself: on a loaded machine the real 5 s timer could
    // add one of its own.
    void takeOverWatchdog() {
        auto* watchdog = shell->view()->findChild<QTimer*>("watchdog");
        ASSERT_NE(watchdog, nullptr);
        watchdog->stop();
    }

    // Puts the document online at a location, as the Connect dialog does.
    void goOnline(const CLocation& location) {
        doc().currentLocation = location;
        doc().hasCurrentLocation = true;
        doc().message().serialLink = location.isTcpIp() ? 0 : 1;
        doc().online = 1;
        postMessage(frame().handle(), WM_STATUS_REFRESH);
    }

    CTempFolder folder{"tmp-appwin"};
    std::string directory;
    std::string settingsPath;
    CRecordingMessageBox messages;
    CRecordingDialogs dialogs;
    std::unique_ptr<CVantrelApp> app;
    std::unique_ptr<CVantrelShell> shell;
};

CLocation tcpLocation() {
    CLocation location(kMediaCodeTcpIp);
    location.name = "Plant";
    location.ipAddress = (192u << 24) | (168u << 16) | 10u;
    location.tcpPort = 6000;
    return location;
}

TEST_F(AppWindow, StartsUpToTheMainWindow) {
    EXPECT_EQ(OsClass, kOsClassLater);
    EXPECT_EQ(app->socketLibraryReady, 1);
    EXPECT_EQ(app->settings().path, settingsPath);
    if (std::getenv("VANTREL_PORTS_DIR") == nullptr) {
        EXPECT_EQ(portsDirectory(), directory + "/ports");
    }
    EXPECT_EQ(dialogs.splashes, 1) << "the splash comes with the first view update";
    EXPECT_TRUE(waitUntil([&] { return doc().commsThreadRunning(); }));
    EXPECT_TRUE(shell->view()->watchdogActive());
    EXPECT_FALSE(frame().indicatorTimerActive());
    EXPECT_EQ(doc().context().mainWindow, frame().handle());
    EXPECT_EQ(frame().windowTitle().toStdString(), "Vantrel");
    EXPECT_EQ(frame().paneText(1).toStdString(), text(150));
    EXPECT_TRUE(messages.messages.empty());

    std::vector<std::string> menus;
    for (QAction* menu : frame().menuBar()->actions())
        menus.push_back(menu->text().toStdString());
    EXPECT_EQ(menus, (std::vector<std::string>{"&Setup", "&Online", "&View", "&Help"}));
    EXPECT_TRUE(frame().action(Command::LogCommunications)->isChecked());
    EXPECT_EQ(frame().action(Command::Connect)->statusTip().toStdString(), "Go Online");
    EXPECT_EQ(frame().action(Command::Connect)->toolTip().toStdString(), "Connect");
    EXPECT_EQ(frame().action(Command::Convertor)->toolTip().toStdString(), "Converts Data Types");

    std::vector<QAction*> buttons;
    for (QAction* button : frame().toolBar()->actions())
        if (!button->isSeparator())
            buttons.push_back(button);
    const std::vector<QAction*> expected{
        frame().action(Command::Locations),  frame().action(Command::Connect),
        frame().action(Command::Disconnect), frame().action(Command::TemporaryCommsSetup),
        frame().action(Command::TestComms),  frame().action(Command::CommsLog),
        frame().action(Command::Convertor),  frame().action(Command::About),
        frame().action(Command::ContextHelp)};
    EXPECT_EQ(buttons, expected);
    EXPECT_EQ(shell->view()->hintText().toStdString(), text(kIdsViewHintOffline));
    saveScreenshot(frame(), "main_window_offline.png");

    // The first pane keeps its width for a longer prompt, so the panes beside it stay put.
    QLabel* connectionPane = nullptr;
    for (QLabel* label : frame().statusBar()->findChildren<QLabel*>())
        if (label->text() == frame().paneText(3))
            connectionPane = label;
    ASSERT_NE(connectionPane, nullptr);
    const int connectionLeft = connectionPane->x();
    QStatusTipEvent longPrompt(QString::fromStdString(text(kIdsPromptLocations)));
    QCoreApplication::sendEvent(&frame(), &longPrompt);
    QCoreApplication::processEvents();
    EXPECT_EQ(connectionPane->x(), connectionLeft);
    EXPECT_TRUE(frame().paneText(1).endsWith(QChar(0x2026))) << "a cut prompt shows it is cut";
}

TEST_F(AppWindow, CommandsFollowTheConnectionStateAndThePaneDescribesIt) {
    const Command offlineOnly[] = {Command::Locations, Command::Connect};
    const Command onlineOnly[] = {Command::Disconnect, Command::TemporaryCommsSetup,
                                  Command::TestComms};
    const Command always[] = {Command::LogCommunications, Command::CommsLog,   Command::Convertor,
                              Command::ReleaseNotes,      Command::HelpTopics, Command::About};
    const auto checkStates = [&](bool online) {
        for (Command command : offlineOnly)
            EXPECT_EQ(frame().action(command)->isEnabled(), !online) << static_cast<int>(command);
        for (Command command : onlineOnly)
            EXPECT_EQ(frame().action(command)->isEnabled(), online) << static_cast<int>(command);
        for (Command command : always)
            EXPECT_TRUE(frame().action(command)->isEnabled()) << static_cast<int>(command);
    };
    checkStates(false);

    decimalSeparator = ",";
    doc().message().modbusId = 7;
    goOnline(tcpLocation());
    ASSERT_TRUE(waitUntil([&] { return frame().indicatorTimerActive(); }));
    checkStates(true);
    EXPECT_EQ(frame().paneText(3).toStdString(),
              "Plant   IP 192,168,0,10 TCP 6000   ID 7  2000,2000,2");

    // A temporary change shows at once in the pane.
    shell->view()->runCommand(Command::TemporaryCommsSetup);
    ASSERT_TRUE(waitUntil([&] {
        return frame().paneText(3).toStdString() ==
               "Plant   IP 192,168,0,10 TCP 6000   ID 7  1500,250,5";
    }));
    EXPECT_TRUE(shell->view()->hintText().contains("Online with Plant.")) << "the location in use";
    saveScreenshot(frame(), "main_window_online.png");

    // Commands that do not apply are refused even when invoked directly.
    shell->view()->runCommand(Command::Connect);
    EXPECT_EQ(dialogs.connects, 0);
}

TEST_F(AppWindow, ActivityBlinksOnlyWhileTheTimerRuns) {
    postMessage(frame().handle(), WM_TX_ACTIVITY, 250);
    ASSERT_TRUE(waitUntil([&] { return frame().transmitIndicator().blinkLength() == 30; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(frame().transmitFrame(), 0) << "offline: the timer is stopped";

    goOnline(tcpLocation());
    EXPECT_TRUE(waitUntil([&] { return frame().transmitFrame() == 1; }));
    EXPECT_TRUE(waitUntil([&] { return frame().transmitFrame() == 0; }));
    postMessage(frame().handle(), WM_RX_ACTIVITY, 0x10005); // only the low 16 bits count
    EXPECT_TRUE(waitUntil([&] { return frame().receiveFrame() == 1; }));
    EXPECT_TRUE(waitUntil([&] { return frame().receiveFrame() == 0; }));
}

TEST_F(AppWindow, ConnectAsksForALocationFirst) {
    app->settings().removeAll();
    shell->view()->runCommand(Command::Connect);
    // Only the empty entries of a damaged settings file are no locations either.
    app->settings().append(nullptr);
    shell->view()->runCommand(Command::Connect);
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[0], text(7002));
    EXPECT_EQ(messages.messages[1], text(7002));
    EXPECT_TRUE(messages.warnings.empty()) << "a pointer to the next step, not a failure";
    EXPECT_EQ(dialogs.connects, 0);
}

TEST_F(AppWindow, ConnectOpensTheTestDialogAndTheWatchdogReconnectsALostLink) {
    CLocation location = tcpLocation();
    location.modiconCompatible = 1;
    app->settings().append(location);
    dialogs.onConnect = [&] { goOnline(location); };
    takeOverWatchdog();

    shell->view()->runCommand(Command::Connect);
    ASSERT_EQ(dialogs.tests.size(), 1u);
    EXPECT_EQ(dialogs.tests[0].second, 2) << "Modicon Compatible addressing";
    ASSERT_EQ(log().count(), 1);
    EXPECT_EQ(log().record(0)->type, static_cast<std::uint16_t>(CommsLogType::Connected));

    // The socket is not connected: the watchdog disconnects and connects again without
    // opening the test dialog a second time.
    shell->view()->commands().watchdogTick();
    EXPECT_EQ(dialogs.connects, 2);
    EXPECT_EQ(dialogs.tests.size(), 1u);
    EXPECT_EQ(doc().reconnecting, 0);
    ASSERT_EQ(log().count(), 3);
    EXPECT_EQ(log().record(1)->type, static_cast<std::uint16_t>(CommsLogType::Disconnected));
    EXPECT_EQ(log().record(2)->type, static_cast<std::uint16_t>(CommsLogType::Reconnected));
}

TEST_F(AppWindow, DisconnectClosesPortAndSocket) {
    int master = -1;
    int slave = -1;
    char slaveName[128] = {};
    ASSERT_EQ(openpty(&master, &slave, slaveName, nullptr, nullptr), 0);
    doc().context().serialPort.openDevice(slaveName, 9600, 2, 8, 0, 0, true);
    ASSERT_TRUE(doc().context().serialPort.isOpen());

    CLoopbackListener listener(1);
    ASSERT_TRUE(listener.valid());
    CClientSocket& socket = doc().context().socket;
    ASSERT_EQ(socket.connectTo(INADDR_LOOPBACK, listener.port()), 0);
    ASSERT_TRUE(waitUntil([&] { return socket.connected != 0; }));

    goOnline(tcpLocation());
    ASSERT_TRUE(waitUntil([&] { return frame().indicatorTimerActive(); }));
    shell->view()->runCommand(Command::Disconnect);
    EXPECT_EQ(doc().online, 0);
    EXPECT_FALSE(doc().context().serialPort.isOpen());
    EXPECT_FALSE(socket.isOpen());
    EXPECT_EQ(socket.connected, 0);
    EXPECT_EQ(dialogs.hangUps, 0) << "no modem call to hang up";
    ASSERT_GE(log().count(), 1);
    EXPECT_EQ(log().record(0)->type, static_cast<std::uint16_t>(CommsLogType::Disconnected));
    EXPECT_TRUE(waitUntil([&] { return frame().paneText(3) == "Offline"; }));
    EXPECT_FALSE(frame().indicatorTimerActive());
    EXPECT_TRUE(frame().action(Command::Connect)->isEnabled());

    ::close(master);
    ::close(slave);
}

TEST_F(AppWindow, DisconnectLogsTheSocketCloseErrorAndThePaneShowsIt) {
    goOnline(tcpLocation());
    doc().context().socket.closeError = 5531;
    shell->view()->runCommand(Command::Disconnect);
    ASSERT_EQ(log().count(), 2);
    EXPECT_EQ(log().record(0)->type, static_cast<std::uint16_t>(CommsLogType::Disconnected));
    const CCommsLogRecord* error = log().record(1);
    EXPECT_EQ(error->type, static_cast<std::uint16_t>(CommsLogType::Error));
    ASSERT_EQ(error->size, 4u);
    EXPECT_EQ(std::vector<std::uint8_t>(error->data.get(), error->data.get() + 4),
              (std::vector<std::uint8_t>{0x9B, 0x15, 0x00, 0x00})); // 5531, low byte first
    EXPECT_TRUE(
        waitUntil([&] { return frame().paneText(3).toStdString() == "Offline - " + text(5531); }));

    // With logging switched off nothing more is recorded.
    shell->view()->runCommand(Command::LogCommunications);
    EXPECT_FALSE(frame().action(Command::LogCommunications)->isChecked());
    goOnline(tcpLocation());
    shell->view()->runCommand(Command::Disconnect);
    EXPECT_EQ(log().count(), 2);
}

TEST_F(AppWindow, WatchdogHangsUpAnIdleModemAndDropsABrokenLink) {
    const struct {
        const char* what;
        bool modem;
        int idleLimitMs;
        bool linkBroken;
        int ticksToOffline; // watchdog ticks until the document is offline; -1: stays online
        int hangUps;
    } cases[] = {
        {"idle modem call", true, 10000, false, 2, 1},
        {"modem without idle limit", true, 0, false, -1, 0},
        {"broken TCP/IP link", false, 0, true, 1, 0},
    };
    takeOverWatchdog();
    for (const auto& c : cases) {
        dialogs.hangUps = 0;
        CLocation location = c.modem ? CLocation(kMediaCodeModem) : tcpLocation();
        goOnline(location);
        doc().modemIdleLimitMs = c.idleLimitMs;
        doc().context().modemConnected = c.modem ? 1 : 0;
        doc().context().modemIdleMs = 0;
        CClientSocket& socket = doc().context().socket;
        socket.connected = c.modem ? 0 : 1;
        socket.linkBroken = c.linkBroken ? 1 : 0;
        int ticks = 0;
        for (; ticks < 5 && doc().online; ++ticks)
            shell->view()->commands().watchdogTick();
        EXPECT_EQ(doc().online ? -1 : ticks, c.ticksToOffline) << c.what;
        EXPECT_EQ(dialogs.hangUps, c.hangUps) << c.what;
        EXPECT_EQ(dialogs.connects, 0) << c.what;
        doc().context().modemConnected = 0;
        socket.connected = 0;
        socket.linkBroken = 0;
        doc().online = 0;
    }
}

TEST_F(AppWindow, ActivityPostedFromAnotherThreadReachesTheFrame) {
    goOnline(tcpLocation());
    ASSERT_TRUE(waitUntil([&] { return frame().indicatorTimerActive(); }));
    const WindowHandle target = frame().handle();
    std::thread poster([target] { postMessage(target, WM_RX_ACTIVITY, 300); });
    poster.join();
    EXPECT_TRUE(waitUntil([&] { return frame().receiveFrame() == 1; }));
}

TEST_F(AppWindow, ToolWindowsOpenOnceAndReopenAfterClosing) {
    shell->view()->runCommand(Command::Convertor);
    shell->view()->runCommand(Command::Convertor);
    EXPECT_EQ(dialogs.convertors, 1);
    QWidget* window = shell->view()->convertorWindow();
    ASSERT_NE(window, nullptr);
    sendMessage(shell->view()->handle(), WM_CONVERTOR_CLOSED);
    delete window;
    shell->view()->runCommand(Command::Convertor);
    EXPECT_EQ(dialogs.convertors, 2);
    delete shell->view()->convertorWindow();
}

TEST_F(AppWindow, ReleaseNotesWaitForTheViewerOrNameTheFileNotShown) {
    const std::string script = directory + "/viewer.sh";
    std::ofstream(script) << "#!/bin/sh\nsleep 0.1\ntouch \"" << directory << "/viewed\"\n";
    chmod(script.c_str(), 0700);
    setenv("VANTREL_VIEWER", script.c_str(), 1);
    shell->view()->runCommand(Command::ReleaseNotes);
    struct stat info {};
    EXPECT_EQ(stat((directory + "/viewed").c_str(), &info), 0);
    EXPECT_TRUE(messages.messages.empty());

    setenv("VANTREL_VIEWER", (directory + "/no-such-viewer").c_str(), 1);
    shell->view()->runCommand(Command::ReleaseNotes);
    unsetenv("VANTREL_VIEWER");
    // Without a viewer the offscreen desktop has no program for the file: the message names it.
    shell->view()->runCommand(Command::HelpTopics);
    ASSERT_EQ(messages.warnings.size(), 2u);
    EXPECT_NE(messages.warnings[0].find("no-such-viewer"), std::string::npos);
    EXPECT_NE(messages.warnings[0].find(app->releaseNotesPath()), std::string::npos);
    EXPECT_NE(messages.warnings[1].find(app->helpDocumentPath()), std::string::npos);
}

TEST_F(AppWindow, ClosingSavesTheSettingsAndStopsTheCommsThread) {
    ASSERT_EQ(app->settings().count(), 2) << "a first start offers the demo unit's locations";
    app->settings().append(tcpLocation());
    EXPECT_TRUE(shell->close());
    struct stat info {};
    ASSERT_EQ(stat(settingsPath.c_str(), &info), 0);
    CSettingsFile reread;
    reread.path = settingsPath;
    EXPECT_TRUE(reread.load());
    ASSERT_EQ(reread.count(), 3);
    EXPECT_EQ(reread.getLocation(0)->name, text(kIdsDemoTcpLocationName));
    EXPECT_EQ(reread.getLocation(1)->name, text(kIdsDemoRtuLocationName));
    EXPECT_EQ(reread.getLocation(2)->name, "Plant");

    // A settings file that exists is taken as it stands, even one without locations.
    reread.removeAll();
    ASSERT_TRUE(reread.save());
    CRecordingMessageBox quiet;
    CVantrelApp again(quiet);
    ASSERT_TRUE(again.initInstance());
    EXPECT_EQ(again.settings().count(), 0);
}

TEST_F(AppWindow, ClosingTheMainWindowEndsTheProgramWhileAToolWindowIsOpen) {
    QWidget toolWindow; // a modeless window of its own, as a tool window may be
    toolWindow.show();
    bool guardFired = false;
    QTimer guard; // stops with the test, whichever way it ends
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        guardFired = true;
        QCoreApplication::quit();
    });
    guard.start(5000);
    QTimer::singleShot(0, &frame(), [&] { frame().close(); });
    QCoreApplication::exec();
    EXPECT_FALSE(guardFired) << "the program went on running after its main window closed";
}

TEST_F(AppWindow, ClosingHangsUpAModemCallWhileTheMainWindowIsWhole) {
    CLocation modem(kMediaCodeModem);
    modem.name = "Pump";
    goOnline(modem);
    doc().context().modemConnected = 1;
    QObject* mainWindow = shell->frame();
    bool frameWhole = false;
    dialogs.onHangUp = [&] { frameWhole = qobject_cast<CMainFrame*>(mainWindow) != nullptr; };
    EXPECT_TRUE(shell->close());
    EXPECT_EQ(dialogs.hangUps, 1);
    EXPECT_TRUE(frameWhole) << "the hang-up dialog would have a parent being destroyed";
}

TEST(QtMessageTarget, DeliversOnTheUiThreadAndNothingAfterDestruction) {
    std::vector<std::pair<unsigned, WParam>> received;
    auto target = std::make_unique<CQtMessageTarget>([&](unsigned message, WParam wParam, LParam) {
        received.emplace_back(message, wParam);
        return LParam{7};
    });
    const WindowHandle handle = target->handle();
    ASSERT_TRUE(isWindow(handle));
    EXPECT_EQ(sendMessage(handle, WM_STATUS_REFRESH), 7);
    std::thread poster([handle] { postMessage(handle, WM_TX_ACTIVITY, 42); });
    poster.join();
    EXPECT_EQ(received.size(), 1u) << "a posted message waits for the UI thread's event loop";
    EXPECT_TRUE(waitUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received[1], (std::pair<unsigned, WParam>{WM_TX_ACTIVITY, 42}));

    // A message still queued when the target goes is dropped, and later posts are refused.
    postMessage(handle, WM_RX_ACTIVITY, 1);
    target.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(received.size(), 2u);
    EXPECT_FALSE(isWindow(handle));
    EXPECT_FALSE(postMessage(handle, WM_RX_ACTIVITY, 1));
}

TEST(StartUp, RefusesOldSystemsAndReportsADamagedSettingsFile) {
    for (const int osClass : {0, 1}) {
        CRecordingMessageBox messages;
        CVantrelApp app(messages);
        EXPECT_FALSE(app.initInstance(osClass)) << osClass;
        ASSERT_EQ(messages.warnings.size(), 1u);
        EXPECT_EQ(messages.warnings[0], text(131));
    }
    const CTempFolder folder("tmp-appbad");
    ASSERT_TRUE(folder.valid());
    const std::string path = folder / "VNTLSettings.dat";
    std::ofstream(path, std::ios::binary) << std::string("\x05\x00\x00", 3);
    setenv("VANTREL_SETTINGS", path.c_str(), 1);
    CRecordingMessageBox messages;
    CVantrelApp app(messages);
    EXPECT_TRUE(app.initInstance(2)) << "a later 9x system is accepted";
    unsetenv("VANTREL_SETTINGS");
    ASSERT_EQ(messages.warnings.size(), 1u);
    EXPECT_EQ(messages.warnings[0].rfind("File Error on Read", 0), 0u) << messages.warnings[0];
}

TEST(MessageBox, ShowsTheTextAsPlainTextAndFailuresWithAWarningIcon) {
    CQtMessageBox messageBox;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString shown;
    int polls = 0;
    QTimer answer; // answers the box once it is up; gives up after about five seconds
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr) {
            format = box->textFormat();
            icon = box->icon();
            shown = box->text();
            box->accept();
        } else if (++polls > 500) {
            QApplication::closeAllWindows();
        }
    });
    answer.start(10);
    messageBox.showMessage("Connected to <b>Pump</b>.");
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(shown.toStdString(), "Connected to <b>Pump</b>.");
    polls = 0;
    messageBox.showWarning("CreateProcess failed.");
    EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST(AboutBox, ShowsTheVersionLine) {
    CAboutWindow about(0x00010000, 0);
    EXPECT_EQ(about.versionLine().toStdString(), "Zarnex Modbus Tester - v1.00");
    about.show();
    saveScreenshot(about, "about_box.png");
}

TEST(Splash, OffersOkAfterFiveSeconds) {
    CSplashWindow splash;
    splash.show();
    EXPECT_FALSE(splash.okButton()->isVisible());
    EXPECT_FALSE(splash.okButton()->isEnabled());
    splash.reject();
    EXPECT_TRUE(splash.isVisible()) << "Escape does not close the splash before OK appears";
    const QRect noticePlace = splash.findChild<QPlainTextEdit*>()->geometry();
    EXPECT_TRUE(waitUntil([&] { return splash.okButton()->isEnabled(); }, 10000));
    EXPECT_TRUE(splash.okButton()->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(splash.findChild<QPlainTextEdit*>()->geometry(), noticePlace)
        << "the notice stays put";
    saveScreenshot(splash, "splash.png");
}

} // namespace
