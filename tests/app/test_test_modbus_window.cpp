// The Test Modbus Communications window driven as an operator would, against independent Modbus
// units: pymodbus (Modbus/TCP, RTU and ASCII carried over TCP) and libmodbus (Modbus/TCP, and
// RTU on a pseudo-terminal mapped as a COM port).

#include "app/qt_dialogs.h"
#include "app/test_modbus_dialog.h"
#include "app/vantrel_doc.h"
#include "app/view_dialogs.h"
#include "engine_probe.h"
#include "engine_test_support.h"
#include "peer_process.h"
#include "protocol/data_types.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "test_dialog_connect.h"
#include "test_serial_support.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "test_test_modbus_window";
        static char* argv[] = {name, nullptr};
        application_ = new QApplication(argc, argv);
    }
    void TearDown() override { delete application_; }

private:
    QApplication* application_ = nullptr;
};

const bool environmentRegistered = (::testing::AddGlobalTestEnvironment(new QtEnvironment), true);

bool waitUntil(const std::function<bool()>& done, int limitMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void saveScreenshot(QWidget& widget, const char* name) {
    const QString directory = QStringLiteral(VANTREL_BINARY_DIR "/screenshots");
    QDir().mkpath(directory);
    QCoreApplication::processEvents();
    EXPECT_TRUE(widget.grab().save(directory + "/" + name)) << name;
}

// The window with the message box the operator saw over it.
void saveScreenshotWithMessage(QWidget& widget, const std::string& message, const char* name) {
    QMessageBox box(QMessageBox::Information, QString::fromUtf8(loadString(kIdsMainTitle).data()),
                    QString::fromStdString(message), QMessageBox::Ok, &widget);
    box.setTextFormat(Qt::PlainText);
    box.show();
    QCoreApplication::processEvents();
    QPixmap shot = widget.grab();
    const QPixmap overlay = box.grab();
    QPainter painter(&shot);
    // Over the right of the values box and the check value row, where the frames stay readable.
    const QWidget* anchor = widget.findChild<QWidget*>(QStringLiteral("dataValues"));
    const int top = anchor != nullptr ? anchor->mapTo(&widget, QPoint(0, 0)).y() : 0;
    painter.drawPixmap(shot.width() - overlay.width() - 12, top, overlay);
    painter.end();
    const QString directory = QStringLiteral(VANTREL_BINARY_DIR "/screenshots");
    QDir().mkpath(directory);
    EXPECT_TRUE(shot.save(directory + "/" + name)) << name;
}

std::string text(unsigned id) {
    return std::string(loadString(id));
}

class CRecordingMessageBox : public IMessageBox {
public:
    void showMessage(const std::string& t) override { messages.push_back(t); }
    std::vector<std::string> messages;
};

// socat joining two pseudo-terminals linked as `a` and `b`.
class CSocatLine {
public:
    CSocatLine(const std::string& a, const std::string& b) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const std::string left = "PTY,raw,echo=0,link=" + a;
            const std::string right = "PTY,raw,echo=0,link=" + b;
            ::execl("/usr/bin/socat", "socat", left.c_str(), right.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        struct stat st {};
        for (int i = 0; i < 500 && !(::stat(a.c_str(), &st) == 0 && ::stat(b.c_str(), &st) == 0);
             ++i)
            sleepMs(10);
    }
    ~CSocatLine() {
        if (pid_ > 0)
            ::kill(pid_, SIGTERM);
        reapChild(pid_);
    }
    CSocatLine(const CSocatLine&) = delete;
    CSocatLine& operator=(const CSocatLine&) = delete;

private:
    pid_t pid_ = -1;
};

// The tool windows this build does not have: nothing opens.
class CNoDialogs : public IViewDialogs {
public:
    void showSplash() override {}
    void showAbout() override {}
    bool runLocations(CSettingsFile&) override { return false; }
    void runConnect(CVantrelDoc&, CSettingsFile&) override {}
    void runHangUp(CVantrelDoc&) override {}
    void runTest(CVantrelDoc&, int, ModbusType, int) override {}
    bool runTemporaryComms(MediaType, int&, int&, int&) override { return false; }
    QWidget* createCommsLog(WindowHandle) override { return nullptr; }
    QWidget* createConvertor(WindowHandle) override { return nullptr; }
};

enum class Peer { PymodbusTcp, PymodbusRtu, PymodbusAscii, LibmodbusTcp, LibmodbusRtuSerial };

bool pymodbusPeer(Peer peer) {
    return peer == Peer::PymodbusTcp || peer == Peer::PymodbusRtu || peer == Peer::PymodbusAscii;
}

ModbusType framingOf(Peer peer) {
    switch (peer) {
    case Peer::PymodbusRtu:
    case Peer::LibmodbusRtuSerial:
        return ModbusType::Rtu;
    case Peer::PymodbusAscii:
        return ModbusType::Ascii;
    default:
        return ModbusType::ModbusTcp;
    }
}

// A connected document with the unit of `peer` running, and the window opened on it.
class CSession {
public:
    explicit CSession(Peer peer) : peer_(peer) {
        if (!startUnit())
            return;
        if (!document.onNewDocument(messages))
            return;
        CLocation location(peer == Peer::LibmodbusRtuSerial ? kMediaCodeDirect : kMediaCodeTcpIp);
        location.modbusType = framingOf(peer);
        location.tcpPort = unit_->port();
        location.retries = 0;
        location.time1 = 2000;
        location.time2 = 500;
        location.baudIndex = 6;
        const bool online = peer == Peer::LibmodbusRtuSerial
                                ? connectDocumentSerial(document, location, 5)
                                : connectDocument(document, location);
        if (!online)
            return;
        CTestModbusDlg::Setup setup{location.mediaType, location.modbusType, 1, 0, ","};
        dialog = std::make_unique<CTestModbusDialog>(document, noDialogs, setup, &messages);
        dialog->show();
    }
    ~CSession() {
        if (dialog)
            dialog->reject();
        dialog.reset();
        document.closeSocket();
        document.closeSerialPort();
    }
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    bool ready() const { return dialog != nullptr; }
    // The unit stops: it ends and its connection closes.
    void stopUnit() { unit_.reset(); }

    template <typename T> T* widget(const char* name) {
        T* w = dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void setFunction(int index) { widget<QComboBox>("functionCode")->setCurrentIndex(index); }
    void setType(int type) {
        auto* box = widget<QComboBox>("dataType");
        box->setCurrentIndex(box->findData(type));
    }
    void setAddressing(int index) { widget<QComboBox>("addressing")->setCurrentIndex(index); }
    void setField(const char* name, const char* value) {
        widget<QLineEdit>(name)->setText(QString::fromUtf8(value));
    }
    void setValues(const char* value) {
        widget<QPlainTextEdit>("dataValues")->setPlainText(QString::fromUtf8(value));
    }
    void click(const char* name) { QTest::mouseClick(widget<QPushButton>(name), Qt::LeftButton); }
    // Presses Transmit and waits for the result to be shown.
    bool transmit() {
        click("transmit");
        return waitUntil([this] { return !dialog->logic().waiting(); });
    }
    std::string values() {
        return widget<QPlainTextEdit>("dataValues")->toPlainText().toStdString();
    }
    std::string received() {
        return widget<QPlainTextEdit>("receiveFrame")->toPlainText().toStdString();
    }
    std::string sent() {
        return widget<QPlainTextEdit>("transmitFrame")->toPlainText().toStdString();
    }

    CRecordingMessageBox messages;
    CVantrelDoc document;
    std::unique_ptr<CTestModbusDialog> dialog;

private:
    bool startUnit() {
        const std::string script = VANTREL_SOURCE_DIR "/tests/peers/pymodbus_tcp_unit.py";
        switch (peer_) {
        case Peer::PymodbusTcp:
            unit_ = std::make_unique<CPeerProcess>(
                std::vector<std::string>{"/usr/bin/python3", script, "socket"});
            break;
        case Peer::PymodbusRtu:
            unit_ = std::make_unique<CPeerProcess>(
                std::vector<std::string>{"/usr/bin/python3", script, "rtu"});
            break;
        case Peer::PymodbusAscii:
            unit_ = std::make_unique<CPeerProcess>(
                std::vector<std::string>{"/usr/bin/python3", script, "ascii"});
            break;
        case Peer::LibmodbusTcp:
            unit_ =
                std::make_unique<CPeerProcess>(std::vector<std::string>{VANTREL_LIBMODBUS_UNIT});
            break;
        case Peer::LibmodbusRtuSerial:
            ports_ = std::make_unique<CTempPortsDir>();
            line_ =
                std::make_unique<CSocatLine>(ports_->path() + "/COM5", ports_->path() + "/unit");
            unit_ = std::make_unique<CPeerProcess>(
                std::vector<std::string>{VANTREL_SERIAL_LIBMODBUS_UNIT, ports_->path() + "/unit"});
            break;
        }
        return unit_->port() != 0;
    }

    Peer peer_;
    std::unique_ptr<CTempPortsDir> ports_;
    std::unique_ptr<CSocatLine> line_;
    std::unique_ptr<CPeerProcess> unit_;
    CNoDialogs noDialogs;
};

// One request composed in the window and what it then shows. Writes are read back by the rows
// after them. The units start with coils on where address % 3 == 0, discrete inputs on where the
// address is even, holding registers 3 * address + 1 and input registers 1000 + address.
struct Step {
    const char* name;
    int function;
    int type = 0;
    int addressing = 0;
    const char* start = "0";
    const char* quantity = "1";
    const char* stringSize = "0";
    const char* values = "";
    const char* userFunction = "255";
    const char* modbusId = "1";
    const char* shows = ""; // the data values box afterwards
    unsigned message = 0;   // the one message shown, if any
    bool pymodbusOnly = false;
    const char* receives = nullptr; // part of the receive box
};

const Step kSteps[] = {
    {.name = "01 coils",
     .function = kFnReadCoils,
     .quantity = "10",
     .shows = "1, 0, 0, 1, 0, 0, 1, 0, 0, 1"},
    {.name = "02 inputs",
     .function = kFnReadInputs,
     .quantity = "8",
     .shows = "1, 0, 1, 0, 1, 0, 1, 0"},
    {.name = "03 ten registers",
     .function = kFnReadHolding,
     .type = kDataTypeUInt16,
     .quantity = "10",
     .shows = "1, 4, 7, 10, 13, 16, 19, 22, 25, 28"},
    {.name = "04 input registers",
     .function = kFnReadInput,
     .type = kDataTypeInt16,
     .start = "5",
     .quantity = "2",
     .shows = "1005, 1006"},
    {.name = "05 force coil", .function = kFnForceCoil, .start = "1", .values = "1", .shows = "1"},
    {.name = "01 read back", .function = kFnReadCoils, .quantity = "3", .shows = "1, 1, 0"},
    {.name = "06 unsigned",
     .function = kFnPresetRegister,
     .type = kDataTypeUInt16,
     .start = "10",
     .values = "4660",
     .shows = "4660"},
    {.name = "06 signed",
     .function = kFnPresetRegister,
     .type = kDataTypeInt16,
     .start = "11",
     .values = "-2",
     .shows = "-2"},
    {.name = "03 read back",
     .function = kFnReadHolding,
     .type = kDataTypeInt16,
     .start = "10",
     .quantity = "2",
     .shows = "4660, -2"},
    {.name = "06 hex byte register addressing",
     .function = kFnPresetRegister,
     .type = kDataTypeHex8,
     .addressing = 1,
     .start = "12",
     .values = "fe",
     .shows = "fe"},
    {.name = "06 int8 register addressing",
     .function = kFnPresetRegister,
     .type = kDataTypeInt8,
     .addressing = 1,
     .start = "13",
     .values = "-1",
     .shows = "-1"},
    {.name = "03 int8 read back",
     .function = kFnReadHolding,
     .type = kDataTypeInt8,
     .addressing = 1,
     .start = "12",
     .quantity = "2",
     .shows = "-2, -1"},
    {.name = "03 uint8 read back",
     .function = kFnReadHolding,
     .type = kDataTypeUInt8,
     .addressing = 1,
     .start = "12",
     .quantity = "2",
     .shows = "254, 255"},
    {.name = "16 int32",
     .function = kFnPresetRegisters,
     .type = kDataTypeInt32,
     .addressing = 1,
     .start = "20",
     .quantity = "2",
     .values = "305419896 -1",
     .shows = "305419896 -1"},
    {.name = "03 int32 read back",
     .function = kFnReadHolding,
     .type = kDataTypeInt32,
     .addressing = 1,
     .start = "20",
     .quantity = "2",
     .shows = "305419896, -1"},
    {.name = "03 uint32 read back",
     .function = kFnReadHolding,
     .type = kDataTypeUInt32,
     .addressing = 1,
     .start = "20",
     .quantity = "2",
     .shows = "305419896, 4294967295"},
    {.name = "06 int32 single",
     .function = kFnPresetRegister,
     .type = kDataTypeUInt32,
     .addressing = 1,
     .start = "24",
     .values = "65537",
     .shows = "65537"},
    {.name = "03 int32 single read back",
     .function = kFnReadHolding,
     .type = kDataTypeUInt32,
     .addressing = 1,
     .start = "24",
     .quantity = "1",
     .shows = "65537"},
    {.name = "16 floats modicon",
     .function = kFnPresetRegisters,
     .type = kDataTypeFloat,
     .addressing = 2,
     .start = "31",
     .quantity = "2",
     .values = "1.5,-2",
     .shows = "1.5,-2"},
    {.name = "03 floats modicon",
     .function = kFnReadHolding,
     .type = kDataTypeFloat,
     .addressing = 2,
     .start = "31",
     .quantity = "2",
     .shows = "1.500000, -2.000000"},
    {.name = "06 float single",
     .function = kFnPresetRegister,
     .type = kDataTypeFloat,
     .addressing = 1,
     .start = "36",
     .values = "0.25",
     .shows = "0.25"},
    {.name = "03 float read back",
     .function = kFnReadHolding,
     .type = kDataTypeFloat,
     .addressing = 1,
     .start = "36",
     .quantity = "1",
     .shows = "0.250000"},
    {.name = "16 double",
     .function = kFnPresetRegisters,
     .type = kDataTypeDouble,
     .addressing = 1,
     .start = "40",
     .quantity = "1",
     .values = "2.25",
     .shows = "2.25"},
    {.name = "03 double read back",
     .function = kFnReadHolding,
     .type = kDataTypeDouble,
     .addressing = 1,
     .start = "40",
     .quantity = "1",
     .shows = "2.250000000000000"},
    {.name = "06 double single",
     .function = kFnPresetRegister,
     .type = kDataTypeDouble,
     .addressing = 1,
     .start = "44",
     .values = "-1",
     .shows = "-1"},
    {.name = "04 double",
     .function = kFnReadHolding,
     .type = kDataTypeDouble,
     .addressing = 1,
     .start = "44",
     .quantity = "1",
     .shows = "-1.000000000000000"},
    {.name = "16 strings",
     .function = kFnPresetRegisters,
     .type = kDataTypeString,
     .addressing = 1,
     .start = "50",
     .quantity = "2",
     .stringSize = "4",
     .values = "AB,WXYZ",
     .shows = "AB,WXYZ"},
    {.name = "03 strings read back",
     .function = kFnReadHolding,
     .type = kDataTypeString,
     .addressing = 1,
     .start = "50",
     .quantity = "2",
     .stringSize = "4",
     .shows = "AB  , WXYZ"},
    {.name = "06 string",
     .function = kFnPresetRegister,
     .type = kDataTypeString,
     .addressing = 1,
     .start = "60",
     .stringSize = "2",
     .values = "Q",
     .shows = "Q "},
    {.name = "03 string read back",
     .function = kFnReadHolding,
     .type = kDataTypeString,
     .addressing = 1,
     .start = "60",
     .quantity = "1",
     .stringSize = "2",
     .shows = "Q "},
    {.name = "16 uint16",
     .function = kFnPresetRegisters,
     .type = kDataTypeUInt16,
     .start = "80",
     .quantity = "3",
     .values = "1 2 65535",
     .shows = "1 2 65535"},
    {.name = "16 int8 register addressing",
     .function = kFnPresetRegisters,
     .type = kDataTypeInt8,
     .addressing = 1,
     .start = "83",
     .quantity = "2",
     .values = "-1 5",
     .shows = "-1 5"},
    {.name = "03 read back 16-bit and 8-bit writes",
     .function = kFnReadHolding,
     .type = kDataTypeUInt16,
     .start = "80",
     .quantity = "5",
     .shows = "1, 2, 65535, 255, 5"},
    {.name = "15 coils",
     .function = kFnForceCoils,
     .start = "20",
     .quantity = "3",
     .values = "1 0 1",
     .shows = "1 0 1"},
    {.name = "01 coils read back",
     .function = kFnReadCoils,
     .start = "20",
     .quantity = "3",
     .shows = "1, 0, 1"},
    {.name = "07 exception status",
     .function = kFnReadExceptionStatus,
     .type = kDataTypeHex8,
     .pymodbusOnly = true,
     .receives = "07"},
    {.name = "08 diagnostics echo",
     .function = kFnDiagnostics,
     .start = "0",
     .quantity = "4660",
     .shows = "Pass",
     .pymodbusOnly = true},
    {.name = "user defined read",
     .function = kFnUserDefined,
     .values = "00 0A 00 01",
     .userFunction = "3",
     .shows = "00 0A 00 01",
     .receives = "03 02 12 34"},
    {.name = "exception illegal address",
     .function = kFnReadHolding,
     .type = kDataTypeUInt16,
     .start = "500",
     .quantity = "1",
     .message = 5010},
    {.name = "broadcast write",
     .function = kFnPresetRegister,
     .type = kDataTypeUInt16,
     .start = "70",
     .values = "7",
     .modbusId = "0",
     .shows = "7",
     .receives = "Broadcast"},
};

// Fills in the form in the window's field order.
void compose(CSession& s, const Step& step) {
    s.setAddressing(step.addressing);
    s.widget<QSpinBox>("modbusId")->setValue(std::atoi(step.modbusId));
    s.setFunction(step.function);
    s.setField("userFunction", step.userFunction);
    if (step.type != 0)
        s.setType(step.type);
    s.setField("startAddress", step.start);
    if (s.widget<QLineEdit>("quantity")->isEnabled())
        s.setField("quantity", step.quantity);
    s.setField("stringSize", step.stringSize);
    s.setValues(step.values);
}

class TestWindowPeers : public ::testing::TestWithParam<Peer> {};

bool peerAvailable(Peer peer, std::string& why) {
    struct stat st {};
    if (pymodbusPeer(peer) && ::stat("/usr/lib/python3/dist-packages/pymodbus", &st) != 0)
        why = "pymodbus is not installed";
    else if (!pymodbusPeer(peer) && std::string(VANTREL_LIBMODBUS_UNIT).empty())
        why = "libmodbus-dev is not installed";
    else if (peer == Peer::LibmodbusRtuSerial && ::access("/usr/bin/socat", X_OK) != 0)
        why = "socat is not installed";
    return why.empty();
}

TEST_P(TestWindowPeers, EveryFunctionAndTypeThroughTheWindow) {
    std::string why;
    if (!peerAvailable(GetParam(), why))
        GTEST_SKIP() << why;
    CSession s(GetParam());
    ASSERT_TRUE(s.ready());
    const bool ascii = framingOf(GetParam()) == ModbusType::Ascii;
    for (const Step& step : kSteps) {
        if (step.pymodbusOnly && !pymodbusPeer(GetParam()))
            continue;
        SCOPED_TRACE(step.name);
        s.messages.messages.clear();
        compose(s, step);
        ASSERT_TRUE(s.transmit());
        if (step.message != 0)
            EXPECT_EQ(s.messages.messages, std::vector<std::string>{text(step.message)});
        else
            EXPECT_TRUE(s.messages.messages.empty()) << s.messages.messages[0];
        if (step.function != kFnReadExceptionStatus) {
            EXPECT_EQ(s.values(), step.shows);
        }
        if (step.receives != nullptr && !(ascii && step.receives[0] != 'B')) {
            EXPECT_NE(s.received().find(step.receives), std::string::npos) << s.received();
        }
        EXPECT_TRUE(s.widget<QPushButton>("transmit")->isEnabled());
        if (GetParam() == Peer::PymodbusTcp && std::string(step.name) == "03 ten registers")
            saveScreenshot(*s.dialog, "test_dialog_read10.png");
        if (GetParam() == Peer::PymodbusAscii && std::string(step.name) == "03 ten registers")
            saveScreenshot(*s.dialog, "test_dialog_ascii.png");
        if (GetParam() == Peer::PymodbusTcp && step.message == 5010)
            saveScreenshotWithMessage(*s.dialog, text(step.message), "test_dialog_exception.png");
    }
}

std::string peerName(const ::testing::TestParamInfo<Peer>& row) {
    static const char* const kNames[] = {"pymodbus_tcp", "pymodbus_rtu_over_tcp",
                                         "pymodbus_ascii_over_tcp", "libmodbus_tcp",
                                         "libmodbus_rtu_serial"};
    return kNames[static_cast<int>(row.param)];
}

INSTANTIATE_TEST_SUITE_P(Units, TestWindowPeers,
                         ::testing::Values(Peer::PymodbusTcp, Peer::PymodbusRtu,
                                           Peer::PymodbusAscii, Peer::LibmodbusTcp,
                                           Peer::LibmodbusRtuSerial),
                         peerName);

TEST(TestWindow, RepeatRunsHundredsOfExchangesUntilTheUnitStops) {
    std::string why;
    if (!peerAvailable(Peer::LibmodbusTcp, why))
        GTEST_SKIP() << why;
    CSession s(Peer::LibmodbusTcp);
    ASSERT_TRUE(s.ready());
    s.setField("quantity", "10");
    s.click("repeat");
    EXPECT_EQ(s.widget<QPushButton>("repeat")->text().toStdString(), text(kIdsTestStop));
    EXPECT_FALSE(s.widget<QPushButton>("transmit")->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return s.dialog->logic().statistics().sent >= 300; }, 60000));
    EXPECT_EQ(s.dialog->logic().statistics().failed, 0);
    saveScreenshot(*s.dialog, "test_dialog_repeat.png");
    s.stopUnit();
    ASSERT_TRUE(waitUntil([&] { return !s.dialog->logic().repeating(); }, 20000));
    EXPECT_EQ(s.messages.messages.size(), 1u);
    EXPECT_EQ(s.dialog->logic().statistics().failed, 1);
    EXPECT_EQ(s.widget<QPushButton>("repeat")->text().toStdString(), text(kIdsTestRepeat));
    EXPECT_TRUE(s.widget<QPushButton>("transmit")->isEnabled());
    const std::string line = s.widget<QLabel>("statistics")->text().toStdString();
    EXPECT_NE(line.find("Failed: 1"), std::string::npos) << line;
}

TEST(TestWindow, UserDefinedCrcGoesOutAndTheUnitIgnoresTheFrame) {
    std::string why;
    if (!peerAvailable(Peer::PymodbusRtu, why))
        GTEST_SKIP() << why;
    CSession s(Peer::PymodbusRtu);
    ASSERT_TRUE(s.ready());
    s.document.message().time1 = 300;
    s.setField("quantity", "2");
    s.widget<QComboBox>("checkMode")->setCurrentIndex(kCheckUserDefined);
    EXPECT_TRUE(s.widget<QLineEdit>("checkValue")->isVisible());
    s.setField("checkValue", "12 34");
    ASSERT_TRUE(s.transmit());
    EXPECT_EQ(s.sent(), "01 03 00 00 00 02 12 34 ");
    EXPECT_EQ(s.messages.messages, std::vector<std::string>{text(5006)});
    saveScreenshotWithMessage(*s.dialog, text(5006), "test_dialog_rtu_user_crc.png");
}

TEST(TestWindow, EnterTransmitsOnlyWhileTransmitIsEnabled) {
    std::string why;
    if (!peerAvailable(Peer::LibmodbusTcp, why))
        GTEST_SKIP() << why;
    CSession s(Peer::LibmodbusTcp);
    ASSERT_TRUE(s.ready());
    s.setField("quantity", "1");
    QTest::keyClick(s.dialog.get(), Qt::Key_Return);
    EXPECT_TRUE(s.dialog->logic().waiting());
    QTest::keyClick(s.dialog.get(), Qt::Key_Return); // outstanding: does nothing
    ASSERT_TRUE(waitUntil([&] { return !s.dialog->logic().waiting(); }));
    EXPECT_EQ(s.dialog->logic().statistics().sent, 1);
    EXPECT_EQ(s.values(), "1");
}

TEST(TestWindow, CancelDropsTheQueuedJobAndItsResultIsNeverShown) {
    // A silent unit keeps another window's job in progress, so the dialog's job waits in the
    // queue behind it.
    CFakeUnit silent([](CUnitLink& link) { link.linger(20000); });
    CRecordingMessageBox messages;
    CVantrelDoc document;
    ASSERT_TRUE(document.onNewDocument(messages));
    CLocation location(kMediaCodeTcpIp);
    location.modbusType = ModbusType::ModbusTcp;
    location.tcpPort = silent.port();
    location.retries = 0;
    location.time1 = 8000;
    ASSERT_TRUE(connectDocument(document, location));
    CSubmitter other;
    const Bytes request{0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1};
    ASSERT_EQ(other.submit(document.context().engine, request), 0);
    sleepMs(100);

    CNoDialogs noDialogs;
    auto dialog = std::make_unique<CTestModbusDialog>(
        document, noDialogs,
        CTestModbusDlg::Setup{MediaType::TcpIp, ModbusType::ModbusTcp, 1, 0, ","}, &messages);
    dialog->show();
    dialog->findChild<QLineEdit*>(QStringLiteral("quantity"))->setText(QStringLiteral("1"));
    dialog->findChild<QPushButton*>(QStringLiteral("transmit"))->click();
    ASSERT_TRUE(dialog->logic().waiting());
    ASSERT_EQ(CCommsEngineProbe::queuedJobs(document.context().engine), 2u);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->logic().closing());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_LE(CCommsEngineProbe::queuedJobs(document.context().engine), 1u);
    waitUntil([] { return false; }, 300);
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_TRUE(dialog->findChild<QPlainTextEdit*>(QStringLiteral("receiveFrame"))
                    ->toPlainText()
                    .isEmpty());
    dialog.reset();
    document.closeSocket();
}

TEST(TestWindow, FormsOfFunctions07_08AndUserDefined) {
    CRecordingMessageBox messages;
    CVantrelDoc document;
    CNoDialogs noDialogs;
    CTestModbusDialog dialog(document, noDialogs, {MediaType::Direct, ModbusType::Rtu, 1, 0, ","},
                             &messages);
    dialog.show();
    auto* function = dialog.findChild<QComboBox*>(QStringLiteral("functionCode"));
    const struct {
        int index;
        const char* shot;
    } forms[] = {{kFnReadExceptionStatus, "test_dialog_fn07.png"},
                 {kFnDiagnostics, "test_dialog_fn08.png"},
                 {kFnUserDefined, "test_dialog_user_defined.png"}};
    for (const auto& form : forms) {
        function->setCurrentIndex(form.index);
        saveScreenshot(dialog, form.shot);
    }
    EXPECT_TRUE(dialog.findChild<QLineEdit*>(QStringLiteral("userFunction"))->isVisible());
    EXPECT_FALSE(dialog.findChild<QLineEdit*>(QStringLiteral("startAddress"))->isVisible());
    dialog.findChild<QPushButton*>(QStringLiteral("transmit"))->click();
    EXPECT_EQ(messages.messages, std::vector<std::string>{text(7013)});
    EXPECT_TRUE(dialog.findChild<QLineEdit*>(QStringLiteral("userFunction"))->hasFocus());
}

// Tool windows that exist: each opens once, and the Test window closes those it opened.
class CToolDialogs : public CNoDialogs {
public:
    bool runTemporaryComms(MediaType, int& retries, int& time1, int& time2) override {
        retries = 5;
        time1 = 1500;
        time2 = 150;
        return true;
    }
    QWidget* createCommsLog(WindowHandle) override { return open(logs); }
    QWidget* createConvertor(WindowHandle) override { return open(convertors); }
    QWidget* open(int& count) {
        ++count;
        auto* window = new QWidget;
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        windows.push_back(window);
        return window;
    }
    int logs = 0;
    int convertors = 0;
    std::vector<QPointer<QWidget>> windows;
};

TEST(TestWindow, ToolWindowsOpenOnceAndCloseWithTheWindow) {
    CRecordingMessageBox messages;
    CVantrelDoc document;
    CToolDialogs dialogs;
    {
        CTestModbusDialog dialog(document, dialogs, {MediaType::Direct, ModbusType::Rtu, 1, 0, ","},
                                 &messages);
        for (const char* button : {"convertor", "convertor", "commsLog", "commsLog"})
            dialog.findChild<QPushButton*>(QString::fromLatin1(button))->click();
        EXPECT_EQ(dialogs.convertors, 1);
        EXPECT_EQ(dialogs.logs, 1);
        dialog.findChild<QPushButton*>(QStringLiteral("temporarySettings"))->click();
        EXPECT_EQ(document.message().retries, 5);
        EXPECT_EQ(document.message().time1, 1500);
        EXPECT_EQ(document.message().time2, 150);
    }
    waitUntil([&] { return dialogs.windows[0].isNull() && dialogs.windows[1].isNull(); }, 2000);
    EXPECT_TRUE(dialogs.windows[0].isNull());
    EXPECT_TRUE(dialogs.windows[1].isNull());
}

TEST(TestWindow, TestCommsOpensTheWindowModalOnTheConnectedLocation) {
    CVantrelDoc document;
    document.currentLocation = CLocation(kMediaCodeTcpIp);
    document.currentLocation.modbusType = ModbusType::ModbusTcp;
    CQtViewDialogs dialogs(0, 0);
    std::string title;
    bool modiconSelected = false;
    QTimer::singleShot(200, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            return;
        title = modal->windowTitle().toStdString();
        modiconSelected =
            modal->findChild<QComboBox*>(QStringLiteral("addressing"))->currentIndex() == 2;
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    dialogs.runTest(document, 7, ModbusType::ModbusTcp, 2);
    EXPECT_EQ(title, text(kIdsTestTitle));
    EXPECT_TRUE(modiconSelected);
    EXPECT_EQ(document.message().modbusId, 7);
}

} // namespace
