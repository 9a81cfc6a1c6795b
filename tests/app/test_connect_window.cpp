// The Connect dialog, the modem hang-up dialog and the temporary parameters dialog as the user
// meets them: real windows and timers, with Modbus units from pymodbus and libmodbus, and a modem
// written in the tests, on the far side.

#include "app/connect_window.h"
#include "app/modem_hang_up_window.h"
#include "app/qt_view_dialogs.h"
#include "app/temp_comms_window.h"
#include "app/vantrel_app.h"
#include "comms/comms_context.h"
#include "config/settings_file.h"
#include "platform/message_queue.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "tests/support/fake_modem.h"
#include "tests/support/loopback.h"
#include "tests/support/row_names.h"
#include "tests/support/test_frames.h"
#include "window_test_support.h"
#include "windows/vantrel_doc.h"
#include "windows/view_commands.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace {

using vantrel_test::PrintTo;

const bool environmentRegistered =
    (::testing::AddGlobalTestEnvironment(new CQtTestEnvironment("test_connect_window")), true);

class ConnectWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(settingsFolder.valid());
        decimalSeparator = ".";
        ASSERT_TRUE(document.onNewDocument(messages));
    }
    void TearDown() override {
        dialog.reset();
        document.closeSocket();
        document.closeSerialPort();
    }

    bool open() {
        dialog = std::make_unique<CConnectWindow>(document, settings, &messages);
        dialog->show();
        return dialog->initialise();
    }
    void connectRow(int row) {
        locationList()->setCurrentItem(locationList()->topLevelItem(row));
        QTest::mouseClick(button("connect"), Qt::LeftButton);
    }
    QTreeWidget* locationList() const { return control<QTreeWidget>(*dialog, "locationList"); }
    QPushButton* button(const char* name) const { return control<QPushButton>(*dialog, name); }
    std::string shown(const char* name) const {
        return control<QLabel>(*dialog, name)->text().toStdString();
    }
    // Waits until the connect operation has ended, one way or the other.
    bool finished(int limitMs = 15000) {
        return waitUntil([&] { return !dialog->logic().connecting(); }, limitMs);
    }
    // A failure leaves the dialog open and usable, offline.
    void expectUsableAfter(const std::string& message) {
        ASSERT_FALSE(messages.messages.empty());
        EXPECT_EQ(messages.messages.back(), message);
        EXPECT_EQ(shown("status").rfind(message, 0), 0u);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(button("connect")->isEnabled());
        EXPECT_TRUE(button("cancel")->isEnabled());
        EXPECT_FALSE(button("abort")->isVisible());
        EXPECT_EQ(document.online, 0);
    }
    // Reads holding register 0 of the unit through the engine; returns the response frame.
    Bytes readThroughEngine() {
        const CModbusMessage& message = document.message();
        const std::uint8_t unit = message.modbusId;
        Bytes request = message.tcpMode ? Bytes{0, 1, 0, 0, 0, 6, unit, 3, 0, 0, 0, 1}
                                        : rtuFrame({unit, 3, 0, 0, 0, 1});
        CSubmitter submitter;
        if (submitter.submit(document.context().engine, request) != 0)
            return {};
        const auto result = submitter.result();
        EXPECT_TRUE(result);
        if (!result || result->lParam != 0) {
            ADD_FAILURE() << "read failed: " << (result ? result->lParam : -1);
            return {};
        }
        return submitter.received();
    }

    CRecordingMessageBox messages;
    CTempSettings settingsFolder;
    CSettingsFile& settings = settingsFolder.file;
    CVantrelDoc document;
    std::unique_ptr<CConnectWindow> dialog;
};

TEST_F(ConnectWindow, ListsTheLocationsAndSelectsTheLastOneUsed) {
    settings.append(tcpLocation("Plant", 502));
    CLocation direct = serialLocation(kMediaCodeDirect, "Bench", "COM1");
    direct.number.clear();
    settings.append(direct);
    settings.append(serialLocation(kMediaCodeModem, "Pump station", "COM2"));
    settings.append(serialLocation(kMediaCodeSatellite, "Reservoir", "COM3"));
    settings.lastLocationName = "Pump station";
    ASSERT_TRUE(open());
    QTreeWidget* list = locationList();
    ASSERT_EQ(list->topLevelItemCount(), 4);
    EXPECT_EQ(dialog->logic().selectedRow, 2);
    EXPECT_EQ(list->currentItem(), list->topLevelItem(2));
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Connect to unit");
    EXPECT_EQ(list->headerItem()->text(2).toStdString(), "Media");
    EXPECT_EQ(list->topLevelItem(0)->text(1).toStdString(), "IP 127.0.0.1  TCP 502");
    EXPECT_EQ(list->topLevelItem(3)->text(2).toStdString(), "Satellite");
    EXPECT_EQ(list->topLevelItem(1)->text(3).toStdString(), "ID 1  COM1,19200,8,1,N  1000,150,1");
    const int width = list->viewport()->width();
    EXPECT_EQ(list->columnWidth(0), width / 4);
    EXPECT_EQ(list->columnWidth(3), width * 3 / 8);
    EXPECT_FALSE(button("abort")->isVisible());
    saveScreenshot(*dialog, "connect_dialog.png");

    // The name must match exactly: otherwise the first row is selected.
    settings.lastLocationName = "pump station";
    ASSERT_TRUE(open());
    EXPECT_EQ(dialog->logic().selectedRow, 0);
}

TEST_F(ConnectWindow, WithoutLocationsSaysSoAndCloses) {
    EXPECT_FALSE(open());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0], text(7002));
}

class ConnectTcpPeer : public ConnectWindow, public ::testing::WithParamInterface<Unit> {};

TEST_P(ConnectTcpPeer, ConnectsLoadsTheLocationAndReadsARegister) {
    if (const std::string missing = missingForUnit(GetParam()); !missing.empty())
        GTEST_SKIP() << missing;
    CRunningUnit unit(GetParam());
    ASSERT_TRUE(unit.started());
    CLocation location = tcpLocation("Plant", unit.port());
    location.modiconCompatible = 1;
    settings.append(serialLocation(kMediaCodeDirect, "Bench", "COM1"));
    settings.append(location);
    ASSERT_TRUE(open());
    connectRow(1);
    ASSERT_TRUE(finished());
    EXPECT_TRUE(messages.messages.empty()) << messages.messages.front();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(document.online, 1);
    EXPECT_EQ(document.currentLocation, location);
    EXPECT_EQ(shown("status"), "Connected to Plant.");
    const CModbusMessage& message = document.message();
    EXPECT_EQ(message.serialLink.load(), 0);
    EXPECT_EQ(message.time1.load(), 3000);
    EXPECT_EQ(message.retries.load(), 1);
    EXPECT_EQ(message.tcpMode, 1);
    EXPECT_EQ(message.modiconCompatible, 1);
    CSettingsFile saved;
    saved.path = settings.path;
    ASSERT_TRUE(saved.load());
    EXPECT_EQ(saved.lastLocationName, "Plant");

    EXPECT_EQ(readThroughEngine(), (Bytes{0, 1, 0, 0, 0, 5, 1, 3, 2, 0, 1}));
}

INSTANTIATE_TEST_SUITE_P(Units, ConnectTcpPeer,
                         ::testing::Values(Unit::PymodbusTcp, Unit::LibmodbusTcp),
                         [](const ::testing::TestParamInfo<Unit>& unit) {
                             return isPymodbus(unit.param) ? "Pymodbus" : "Libmodbus";
                         });

// The menu commands as a user drives them: Connect..., Temporarily Change Comms Setup...,
// Disconnect and Connect... again, which puts the location's values back in force.
TEST_F(ConnectWindow, MenuCommandsConnectChangeTheParametersAndConnectAgain) {
    CLoopbackListener listener;
    ASSERT_TRUE(listener.valid());
    settings.append(tcpLocation("Plant", listener.port()));
    CQtViewDialogs dialogs(0, 0);
    int refreshes = 0;
    CViewCommands commands(document, settings, dialogs, messages, [&] { ++refreshes; });
    CModalUser user([&](QWidget& window) {
        if (auto* connect = qobject_cast<CConnectWindow*>(&window)) {
            if (control<QPushButton>(*connect, "connect")->isEnabled())
                QTest::mouseClick(control<QPushButton>(*connect, "connect"), Qt::LeftButton);
        } else if (auto* temporary = qobject_cast<CTempCommsWindow*>(&window)) {
            control<QLineEdit>(*temporary, "retries")->setText("0");
            control<QLineEdit>(*temporary, "time1")->setText("4321");
            temporary->accept();
        } else {
            window.close();
        }
    });

    commands.connect();
    ASSERT_EQ(document.online, 1);
    commands.temporaryCommsSetup();
    EXPECT_EQ(document.message().retries.load(), 0);
    EXPECT_EQ(document.message().time1.load(), 4321);
    EXPECT_EQ(document.message().time2.load(), 500);
    EXPECT_EQ(refreshes, 2) << "after connecting and after the change";
    commands.disconnect();
    EXPECT_EQ(document.online, 0);
    commands.connect();
    EXPECT_EQ(document.online, 1);
    EXPECT_EQ(document.message().retries.load(), 1);
    EXPECT_EQ(document.message().time1.load(), 3000);
}

TEST_F(ConnectWindow, RefusedConnectionShowsTheReasonAndAReconnectSaysSo) {
    settings.append(tcpLocation("Plant", closedLoopbackPort()));
    ASSERT_TRUE(open());
    connectRow(0);
    ASSERT_TRUE(finished());
    expectUsableAfter("Unable to connect via TCP/IP.  " + text(5507));

    // The watchdog's reconnect connects at once and leaves the dialog open when it fails.
    messages.messages.clear();
    settings.lastLocationName = "Plant";
    document.reconnecting = 1;
    ASSERT_TRUE(open());
    EXPECT_TRUE(dialog->logic().connecting() || !messages.messages.empty());
    ASSERT_TRUE(finished());
    document.reconnecting = 0;
    expectUsableAfter("Attempt to reconnect via TCP/IP failed.  " + text(5507));
}

TEST_F(ConnectWindow, AConnectThatNeverCompletesEndsAtTheTimeLimit) {
    CFullListener listener;
    CLocation location = tcpLocation("Plant", listener.port());
    location.time1 = 2000;
    settings.append(location);
    ASSERT_TRUE(open());
    const auto start = std::chrono::steady_clock::now();
    connectRow(0);
    std::vector<std::string> counts;
    waitUntil(
        [&] {
            const std::string status = shown("status");
            if (status.rfind("Waiting for Connect", 0) == 0 &&
                (counts.empty() || counts.back() != status))
                counts.push_back(status);
            return !dialog->logic().connecting();
        },
        15000);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(2000));
    EXPECT_EQ(counts,
              (std::vector<std::string>{"Waiting for Connect - time elapsed 1 seconds...",
                                        "Waiting for Connect - time elapsed 2 seconds..."}));
    expectUsableAfter("Unable to connect via TCP/IP.  " + text(5502));
    EXPECT_FALSE(document.context().socket.isOpen());
}

TEST_F(ConnectWindow, DirectLineOpensThePortAndReadsTheLibmodbusUnit) {
    if (const std::string missing = missingForUnit(Unit::LibmodbusRtuSerial); !missing.empty())
        GTEST_SKIP() << missing;
    CRunningUnit unit(Unit::LibmodbusRtuSerial);
    ASSERT_TRUE(unit.started());
    settings.append(unit.location("Bench"));

    ASSERT_TRUE(open());
    connectRow(0);
    // Direct: connected as soon as the port is open.
    EXPECT_FALSE(dialog->logic().connecting());
    EXPECT_EQ(document.online, 1);
    EXPECT_FALSE(dialog->isVisible());
    const CSerialPort& port = document.context().serialPort;
    ASSERT_TRUE(port.isOpen());
    EXPECT_EQ(port.modemLines(), TIOCM_DTR | TIOCM_RTS);
    EXPECT_EQ(port.receiveQueueSize(), 640u);
    EXPECT_EQ(port.getTimeouts().readInterval, kReadIntervalImmediate);
    EXPECT_EQ(port.requestedSettings().baudRate, 19200u);
    EXPECT_EQ(document.message().serialLink.load(), 1);
    EXPECT_EQ(document.message().readPause.load(), readPauseForBaudIndex(6));

    EXPECT_EQ(readThroughEngine(), rtuFrame({1, 3, 2, 0, 1}));
}

struct SerialFailure {
    const char* name;
    const char* portName;
    unsigned message;
    std::int32_t parityIndex = kParityNone;
};

class ConnectSerialFailure : public ConnectWindow,
                             public ::testing::WithParamInterface<SerialFailure> {};

TEST_P(ConnectSerialFailure, ReportsAndStaysUsable) {
    CTempPortsDir ports;
    CPtyPair line;
    ports.link("COM8", line.slavePath());
    ports.link("COM9", ports.path() + "/no-such-device");
    CLocation location = serialLocation(kMediaCodeDirect, "Bench", GetParam().portName);
    location.parityIndex = GetParam().parityIndex;
    settings.append(location);
    ASSERT_TRUE(open());
    connectRow(0);
    expectUsableAfter(text(GetParam().message));
    EXPECT_FALSE(document.context().serialPort.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ConnectSerialFailure,
    ::testing::Values(SerialFailure{.name = "NoNumber", .portName = "COM", .message = 7001},
                      SerialFailure{.name = "MissingDevice", .portName = "COM9", .message = 5028},
                      SerialFailure{.name = "Unmapped", .portName = "COM200", .message = 5028},
                      // A damaged parity index never opens the line with settings nobody chose.
                      SerialFailure{.name = "DamagedParity",
                                    .portName = "COM8",
                                    .message = 5028,
                                    .parityIndex = 3}),
    [](const ::testing::TestParamInfo<SerialFailure>& row) { return std::string(row.param.name); });

// Modem and Satellite calls through the fake modem, on the dialog's own timers.
class ModemWindow : public ConnectWindow {
protected:
    void SetUp() override {
        ConnectWindow::SetUp();
        ASSERT_TRUE(line.valid());
        ports.link("COM4", line.slavePath());
    }
    void openAndDial(const CLocation& location) {
        settings.append(location);
        ASSERT_TRUE(open());
        dialog->logic().setConnectSettleMs(0);
        connectRow(0);
    }

    CPtyPair line;
    CTempPortsDir ports;
};

struct ModemRow {
    const char* name;
    std::string dialAnswer;
    // A call that does not connect is hung up.
    bool connects;
};

class ModemCall : public ModemWindow, public ::testing::WithParamInterface<ModemRow> {};

TEST_P(ModemCall, EndsConnectedOrStoppedAndHungUp) {
    const ModemRow& row = GetParam();
    CFakeModem modem(line, {.carriesData = true, .dialAnswers = {row.dialAnswer}});
    CLocation location = serialLocation(kMediaCodeModem, "Pump", "COM4");
    location.retries = 2;
    openAndDial(location);
    ASSERT_TRUE(finished(30000));
    EXPECT_EQ(modem.dials(), 1);
    EXPECT_TRUE(messages.messages.empty()) << messages.messages.front();
    const std::vector<std::string> commands = modem.commands();
    const bool hungUp =
        commands.size() >= 2 && commands[commands.size() - 2] == "+++" && commands.back() == "ATH";
    EXPECT_EQ(hungUp, !row.connects);
    if (!row.connects) {
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(button("connect")->isEnabled());
        EXPECT_FALSE(document.context().serialPort.isOpen());
        EXPECT_EQ(document.online, 0);
        EXPECT_FALSE(document.modemConnected());
        return;
    }
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(document.online, 1);
    EXPECT_TRUE(document.modemConnected());
    EXPECT_EQ(document.modemIdleLimitMs, 15 * 60000);
    EXPECT_EQ(document.message().time1.load(), location.time1);
    EXPECT_EQ(readThroughEngine(), rtuFrame({1, 3, 2, 0, 1}));
}

// Through the window's own timers and the modal hang-up window; every outcome of a call is a row
// of the logic's ModemOnTicks table, on ticks the test gives.
INSTANTIATE_TEST_SUITE_P(
    Rows, ModemCall,
    ::testing::Values(ModemRow{.name = "Connects", .dialAnswer = "CONNECT 9600", .connects = true},
                      ModemRow{.name = "NoCarrier", .dialAnswer = "NO CARRIER", .connects = false}),
    [](const ::testing::TestParamInfo<ModemRow>& row) { return std::string(row.param.name); });

TEST_F(ModemWindow, AbortDuringTheDialHangsUp) {
    CFakeModem modem(line, {.carriesData = true, .dialAnswers = {""}});
    CLocation location = serialLocation(kMediaCodeModem, "Pump", "COM4");
    location.connectTimeout = 30;
    openAndDial(location);
    ASSERT_TRUE(waitUntil([&] { return button("abort")->isVisible(); }));
    EXPECT_EQ(shown("status"), "Dialing 5551234...");
    EXPECT_EQ(shown("location"), "Pump");
    EXPECT_TRUE(control<QTimer>(*dialog, "dialingTimer")->isActive());
    EXPECT_FALSE(button("connect")->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return shown("status").rfind("Waiting for Connect", 0) == 0; }));
    saveScreenshot(*dialog, "connect_dialing.png");
    // A double click on the list while a call is being made starts no second one.
    QTreeWidget* list = locationList();
    Q_EMIT list->itemDoubleClicked(list->topLevelItem(0), 0);
    EXPECT_EQ(dialog->logic().dialer().dialState, DialConnectWait);

    QTest::mouseClick(button("abort"), Qt::LeftButton);
    EXPECT_FALSE(dialog->logic().connecting());
    EXPECT_EQ(shown("status"), "Modem is disconnected.");
    EXPECT_FALSE(control<QTimer>(*dialog, "dialingTimer")->isActive());
    EXPECT_FALSE(document.context().serialPort.isOpen());
    const std::vector<std::string> commands = modem.commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands.back(), "ATH");
    EXPECT_TRUE(button("connect")->isEnabled());
}

TEST_F(ModemWindow, DisconnectHangsUpTheCall) {
    CFakeModem modem(line, {.carriesData = true});
    openAndDial(serialLocation(kMediaCodeModem, "Pump", "COM4"));
    ASSERT_TRUE(finished(15000));
    ASSERT_EQ(document.online, 1);

    CQtViewDialogs dialogs(0, 0);
    CViewCommands commands(document, settings, dialogs, messages, [] {});
    bool shot = false;
    QString firstStatus;
    CModalUser user([&](QWidget& window) { // photographs the hang-up dialog once it is up
        auto* hangUp = qobject_cast<CModemHangUpWindow*>(&window);
        if (hangUp != nullptr && !shot) {
            firstStatus = hangUp->statusText();
            saveScreenshot(*hangUp, "modem_hang_up.png");
            QTest::keyClick(hangUp, Qt::Key_Escape);
            QTest::keyClick(hangUp, Qt::Key_Return);
            EXPECT_TRUE(hangUp->isVisible()) << "Enter and Escape are ignored";
            shot = true;
        }
    });
    commands.disconnect();
    EXPECT_TRUE(shot);
    EXPECT_EQ(firstStatus.toStdString(), "Hanging up...");
    EXPECT_FALSE(document.modemConnected());
    EXPECT_FALSE(document.context().serialPort.isOpen());
    const std::vector<std::string> sent = modem.commands();
    EXPECT_EQ(std::vector<std::string>(sent.end() - 2, sent.end()),
              (std::vector<std::string>{"+++", "ATH"}));
}

TEST(TempCommsWindow, LabelsFollowTheMediaAndOkChecksTheFields) {
    CRecordingMessageBox messages;
    CTempCommsWindow tcp(MediaType::TcpIp, 2, 3000, 500, &messages);
    tcp.show();
    EXPECT_EQ(tcp.windowTitle().toStdString(), "Change Communications Parameters");
    EXPECT_EQ(tcp.time1Label().toStdString(), "Connection Timeout:");
    EXPECT_EQ(tcp.time2Label().toStdString(), "Message Timeout:");
    saveScreenshot(tcp, "temp_comms_tcp.png");

    CTempCommsWindow serial(MediaType::Satellite, 2, 1000, 150, &messages);
    serial.show();
    EXPECT_EQ(serial.time1Label().toStdString(), "Initial Character Delay:");
    EXPECT_EQ(serial.time2Label().toStdString(), "Character Delay:");
    saveScreenshot(serial, "temp_comms_serial.png");

    // The field that does not read gets the focus; the dialog stays open.
    control<QLineEdit>(serial, "time2")->setText("");
    serial.accept();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0], "Please enter an integer.");
    EXPECT_TRUE(serial.isVisible());
    EXPECT_EQ(serial.focusWidget(), control<QLineEdit>(serial, "time2"));
}

} // namespace
