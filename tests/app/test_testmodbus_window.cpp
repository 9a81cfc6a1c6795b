// The Test Modbus Communications window driven as an operator would, against independent Modbus
// units: pymodbus (Modbus/TCP, RTU and ASCII carried over TCP) and libmodbus (Modbus/TCP, and
// RTU on a pseudo-terminal mapped as a COM port), and units written here that answer as a test
// needs. Each session connects from Online > Connect... through the Connect dialog, and the view
// then opens the window as it does after any connect.

#include "app/comms_log_window.h"
#include "app/likely_cause_line.h"
#include "app/number_convertor_window.h"
#include "app/qt_text.h"
#include "app/qt_view_dialogs.h"
#include "app/register_table_window.h"
#include "app/register_trend_window.h"
#include "app/temp_comms_window.h"
#include "app/testmodbus_window.h"
#include "commslog/comms_log_text.h"
#include "diagnosis/diagnose.h"
#include "protocol/data_types.h"
#include "protocol/value_codecs.h"
#include "resources/string_ids.h"
#include "runner/run_main.h"
#include "tests/support/engine_probe.h"
#include "tests/support/row_names.h"
#include "tests/support/temp_folder.h"
#include "window_test_support.h"
#include "windows/vantrel_doc.h"

#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <thread>

namespace {

using vantrel_test::PrintTo;

const bool environmentRegistered =
    (::testing::AddGlobalTestEnvironment(new CQtTestEnvironment("test_test_modbus_window")), true);

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
    EXPECT_TRUE(shot.save(screenshotDirectory() + "/" + name)) << name;
}

// The view's dialogs, except that the Test dialog the view opens stays modeless, with its
// messages recorded, so that the test can drive it between events.
class CSessionDialogs : public CQtViewDialogs {
public:
    CSessionDialogs(std::unique_ptr<CTestModbusWindow>& dialog, IMessageBox& messages)
        : CQtViewDialogs(0, 0), dialog_(dialog), messages_(messages) {}
    void runTest(CVantrelDoc& document, int modbusId, ModbusType modbusType,
                 int addressingMode) override {
        dialog_ = std::make_unique<CTestModbusWindow>(
            document, *this, testDialogSetup(document, modbusId, modbusType, addressingMode),
            &messages_);
        dialog_->show();
        // The operator works in it: it is the active window, so focus and shortcuts apply.
        dialog_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog_.get()));
    }

private:
    std::unique_ptr<CTestModbusWindow>& dialog_;
    IMessageBox& messages_;
};

// A document connected from the menu to the unit of `unit` (or to `location`), and the window
// the view opened on it.
class CSession {
public:
    explicit CSession(Unit unit) : unit_(std::in_place, unit) {
        if (!unit_->started())
            return;
        CLocation location = unit_->location("Unit");
        location.retries = 0;
        location.time1 = 2000;
        location.time2 = 500;
        connect(location);
    }
    explicit CSession(const CLocation& location) { connect(location); }
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
    void stopUnit() { unit_->stop(); }

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
    std::unique_ptr<CTestModbusWindow> dialog;

private:
    void connect(const CLocation& location) {
        if (!settings_.valid() || !document.onNewDocument(messages))
            return;
        dialogs_.setDocument(&document);
        settings_.file.append(location);
        EXPECT_TRUE(connectFromMenu(document, settings_.file, dialogs_, messages));
    }

    std::optional<CRunningUnit> unit_;
    CTempSettings settings_;
    CSessionDialogs dialogs_{dialog, messages};
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

class TestWindowPeers : public ::testing::TestWithParam<Unit> {};

TEST_P(TestWindowPeers, EveryFunctionAndTypeThroughTheWindow) {
    if (const std::string missing = missingForUnit(GetParam()); !missing.empty())
        GTEST_SKIP() << missing;
    CSession s(GetParam());
    ASSERT_TRUE(s.ready());
    const bool ascii = framingOf(GetParam()) == ModbusType::Ascii;
    for (const Step& step : kSteps) {
        if (step.pymodbusOnly && !isPymodbus(GetParam()))
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
        if (GetParam() == Unit::PymodbusTcp && std::string(step.name) == "03 ten registers")
            saveScreenshot(*s.dialog, "test_dialog_read10.png");
        if (GetParam() == Unit::PymodbusAscii && std::string(step.name) == "03 ten registers")
            saveScreenshot(*s.dialog, "test_dialog_ascii.png");
        if (GetParam() == Unit::PymodbusTcp && step.message == 5010)
            saveScreenshotWithMessage(*s.dialog, text(step.message), "test_dialog_exception.png");
    }
}

std::string unitName(const ::testing::TestParamInfo<Unit>& row) {
    static const char* const kNames[] = {"pymodbus_tcp", "pymodbus_rtu_over_tcp",
                                         "pymodbus_ascii_over_tcp", "libmodbus_tcp",
                                         "libmodbus_rtu_serial"};
    return kNames[static_cast<int>(row.param)];
}

// Save Step after each exchange of the table that passes, then the sequence replayed by
// vantrel-run against a fresh unit of the same kind.
TEST(TestWindow, SavedStepsReplayWithExitCodeZero) {
    if (const std::string missing = missingForUnit(Unit::PymodbusTcp); !missing.empty())
        GTEST_SKIP() << missing;
    CTempFolder folder;
    const std::string path = folder / "recorded.toml";
    {
        CSession s(Unit::PymodbusTcp);
        ASSERT_TRUE(s.ready());
        for (const Step& step : kSteps) {
            if (step.message != 0)
                continue;
            SCOPED_TRACE(step.name);
            compose(s, step);
            ASSERT_TRUE(s.transmit());
            ASSERT_TRUE(s.dialog->saveStepTo(path));
        }
        saveScreenshot(*s.dialog, "test_dialog_save_step.png");
    }
    const CRunningUnit fresh(Unit::PymodbusTcp);
    ASSERT_TRUE(fresh.started());
    const std::string tcp = "127.0.0.1:" + std::to_string(fresh.port());
    const char* const argv[] = {"vantrel-run", path.c_str(), "--tcp", tcp.c_str(), "--quiet"};
    EXPECT_EQ(runVantrelRun(5, argv), 0);
}

INSTANTIATE_TEST_SUITE_P(Units, TestWindowPeers,
                         ::testing::Values(Unit::PymodbusTcp, Unit::PymodbusRtu,
                                           Unit::PymodbusAscii, Unit::LibmodbusTcp,
                                           Unit::LibmodbusRtuSerial),
                         unitName);

TEST(TestWindow, RepeatRunsHundredsOfExchangesUntilTheUnitStops) {
    if (const std::string missing = missingForUnit(Unit::LibmodbusTcp); !missing.empty())
        GTEST_SKIP() << missing;
    CSession s(Unit::LibmodbusTcp);
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
    if (const std::string missing = missingForUnit(Unit::PymodbusRtu); !missing.empty())
        GTEST_SKIP() << missing;
    CSession s(Unit::PymodbusRtu);
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
    if (const std::string missing = missingForUnit(Unit::LibmodbusTcp); !missing.empty())
        GTEST_SKIP() << missing;
    CSession s(Unit::LibmodbusTcp);
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
    CFakeUnit silent([](CUnitLink& link) {
        link.readRequest();
        link.linger(20000);
    });
    CSubmitter other; // outlives the session, whose engine holds its buffers until it stops
    CLocation location = tcpLocation("Silent", silent.port());
    location.retries = 0;
    location.time1 = 8000;
    CSession s(location);
    ASSERT_TRUE(s.ready());
    CCommsEngine& engine = s.document.context().engine;
    const Bytes request{0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1};
    ASSERT_EQ(other.submit(engine, request), 0);
    ASSERT_TRUE(waitUntil([&] { return silent.requests() == 1; }));

    s.setField("quantity", "1");
    s.widget<QPushButton>("transmit")->click();
    ASSERT_TRUE(s.dialog->logic().waiting());
    ASSERT_EQ(CCommsEngineProbe::queuedJobs(engine), 2u);
    QTest::keyClick(s.dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(s.dialog->logic().closing());
    EXPECT_FALSE(s.dialog->isVisible());
    EXPECT_LE(CCommsEngineProbe::queuedJobs(engine), 1u);
    waitUntil([] { return false; }, 300);
    EXPECT_TRUE(s.messages.messages.empty());
    EXPECT_TRUE(s.received().empty());
}

// Frames as the frame boxes show them: two hexadecimal digits and a space per byte.
std::string hexText(const Bytes& bytes) {
    std::string text;
    char hex[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X ", b);
        text += hex;
    }
    return text;
}

std::string hexText(const CCommsLogRecord& record) {
    return hexText(Bytes(record.data.get(), record.data.get() + record.size));
}

// The last log record of `type`; null when there is none.
const CCommsLogRecord* lastRecord(CVantrelDoc& document, CommsLogType type) {
    const CCommsLogStore& log = document.context().engine.logRecords;
    for (int i = log.count() - 1; i >= 0; --i)
        if (log.record(i)->type == static_cast<std::uint16_t>(type))
            return log.record(i);
    return nullptr;
}

// A Modbus/TCP unit whose registers hold 42: it answers every read of one register with the
// request's transaction identifier, and keeps the last request and reply as they crossed the wire.
struct CWire {
    std::mutex lock;
    Bytes request;
    Bytes reply;
};

CFakeUnit::Script answersReads(CWire& wire) {
    return [&wire](CUnitLink& link) {
        for (Bytes request = link.readRequest(); request.size() >= 8;
             request = link.readRequest()) {
            const Bytes reply{request[0], request[1], 0, 0, 0, 5, request[6], 3, 2, 0, 42};
            {
                std::lock_guard guard(wire.lock);
                wire.request = request;
                wire.reply = reply;
            }
            link.send(reply);
        }
    };
}

CLocation quickLocation(std::uint16_t port, ModbusType type) {
    CLocation location = tcpLocation("Unit", port);
    location.modbusType = type;
    location.retries = 0;
    location.time1 = 600;
    location.time2 = 200;
    return location;
}

TEST(TestWindow, TheFrameBoxesShowTheFramesOnTheWire) {
    CWire wire;
    CFakeUnit unit(answersReads(wire));
    CSession s(quickLocation(unit.port(), ModbusType::ModbusTcp));
    ASSERT_TRUE(s.ready());
    s.setField("quantity", "1");
    std::vector<Bytes> requests;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(s.transmit());
        ASSERT_TRUE(s.messages.messages.empty()) << s.messages.messages[0];
        std::lock_guard guard(wire.lock);
        EXPECT_EQ(s.sent(), hexText(wire.request));
        EXPECT_EQ(s.received(), hexText(wire.reply));
        const CCommsLogRecord* tx = lastRecord(s.document, CommsLogType::Tx);
        const CCommsLogRecord* rx = lastRecord(s.document, CommsLogType::Rx);
        ASSERT_TRUE(tx != nullptr && rx != nullptr);
        EXPECT_EQ(s.sent(), hexText(*tx));
        EXPECT_EQ(s.received(), hexText(*rx));
        EXPECT_EQ(s.values(), "42");
        requests.push_back(wire.request);
    }
    // Each request carries its own transaction identifier.
    EXPECT_NE(Bytes(requests[0].begin(), requests[0].begin() + 2),
              Bytes(requests[1].begin(), requests[1].begin() + 2));
}

// A read answered well, then by a reply the dialog rejects: the values go and the Receive box
// shows the rejected reply as it arrived.
struct RejectedRow {
    const char* name;
    Bytes reply; // to a read of two registers from unit 1, RTU
    unsigned message;
};

class RejectedReply : public ::testing::TestWithParam<RejectedRow> {};

TEST_P(RejectedReply, ClearsTheValuesAndShowsTheBytesReceived) {
    const Bytes good = rtuFrame({1, 3, 4, 0, 7, 0, 9});
    const Bytes bad = GetParam().reply;
    CFakeUnit unit([&](CUnitLink& link) {
        for (const Bytes& reply : {good, bad})
            if (!link.readRequest().empty())
                link.send(reply);
        link.linger(5000);
    });
    CSession s(quickLocation(unit.port(), ModbusType::Rtu));
    ASSERT_TRUE(s.ready());
    s.setField("quantity", "2");
    ASSERT_TRUE(s.transmit());
    ASSERT_EQ(s.values(), "7, 9");
    ASSERT_TRUE(s.transmit());
    EXPECT_EQ(s.values(), "");
    EXPECT_EQ(s.received(), hexText(bad));
    EXPECT_EQ(s.messages.messages, std::vector<std::string>{text(GetParam().message)});
    saveScreenshotWithMessage(
        *s.dialog, text(GetParam().message),
        (std::string("test_dialog_failed_read_") + GetParam().name + ".png").c_str());
}

Bytes withBadCrc(Bytes frame) {
    frame.back() ^= 0xFF;
    return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, RejectedReply,
    ::testing::Values(RejectedRow{"bad_crc", withBadCrc(rtuFrame({1, 3, 4, 0, 8, 0, 8})), 5008},
                      RejectedRow{"other_unit", rtuFrame({2, 3, 4, 0, 8, 0, 8}), 5007},
                      RejectedRow{"short_byte_count", rtuFrame({1, 3, 2, 0, 8}), 5005}),
    [](const auto& row) { return std::string(row.param.name); });

// A unit that plants one cause, and the "Likely cause" line the window then shows below the
// statistics, without growing; the cause's FINDING record follows the exchange's records.
struct CauseRow {
    const char* name;
    bool serial; // a direct line on a pseudo-terminal, else Modbus/TCP on loopback
    int retries;
    const char* start;                              // the start address entered
    std::function<Bytes(const Bytes&, int)> answer; // to the nth request; empty: no answer
    Cause cause;
};

class LikelyCause : public ::testing::TestWithParam<CauseRow> {};

TEST_P(LikelyCause, ShowsTheLineBelowTheStatisticsWithoutGrowing) {
    const CauseRow& row = GetParam();
    CTempPortsDir ports;
    CPtyPair line;
    std::optional<CFakeUnit> unit;
    std::atomic<bool> stop{false};
    std::thread serialUnit;
    CLocation location;
    if (row.serial) {
        ports.link(kUnitComPort, line.slavePath());
        location = serialLocation(kMediaCodeDirect, "Unit", kUnitComPort);
        location.time1 = 300;
        serialUnit = std::thread([&] {
            for (int n = 0; !stop; ++n) {
                Bytes request = line.receive(1, 50);
                if (request.empty()) {
                    --n;
                    continue;
                }
                for (Bytes more = line.receive(1, 15); !more.empty(); more = line.receive(1, 15))
                    request.insert(request.end(), more.begin(), more.end());
                line.send(row.answer(request, n));
            }
        });
    } else {
        unit.emplace([&row](CUnitLink& link) {
            int n = 0;
            for (Bytes r = link.readRequest(); !r.empty(); r = link.readRequest()) {
                const Bytes reply = row.answer(r, n++);
                if (!reply.empty())
                    link.send(reply);
            }
        });
        location = quickLocation(unit->port(), ModbusType::ModbusTcp);
    }
    location.retries = row.retries;
    {
        CSession s(location);
        ASSERT_TRUE(s.ready());
        s.setField("startAddress", row.start);
        s.setField("quantity", "2");
        const QSize before = s.dialog->size();
        ASSERT_TRUE(s.transmit());
        const std::string expected =
            substituteArgs(loadString(kIdsDiagLikelyCause), {loadString(causeTextId(row.cause))});
        auto* lineWidget = s.dialog->findChild<CLikelyCauseLine*>(QStringLiteral("likelyCause"));
        ASSERT_NE(lineWidget, nullptr);
        EXPECT_EQ(lineWidget->lineText().toStdString(), expected);
        EXPECT_EQ(s.dialog->size(), before);
        const CCommsLogRecord* finding = lastRecord(s.document, CommsLogType::Finding);
        ASSERT_NE(finding, nullptr);
        EXPECT_EQ(CCommsLogText::errorCode(*finding), causeTextId(row.cause));
        QWidget* details = lineWidget->openDetails();
        ASSERT_NE(details, nullptr);
        EXPECT_TRUE(details->grab().save(screenshotDirectory() + "/test_dialog_likely_cause_" +
                                         qText(row.name) + "_details.png"));
        details->close();
        const std::string message = s.messages.messages.empty() ? "" : s.messages.messages[0];
        const std::string shot = std::string("test_dialog_likely_cause_") + row.name + ".png";
        if (message.empty())
            EXPECT_TRUE(s.dialog->grab().save(screenshotDirectory() + "/" + qText(shot)));
        else
            saveScreenshotWithMessage(*s.dialog, message, shot.c_str());
    }
    stop = true;
    if (serialUnit.joinable())
        serialUnit.join();
}

Bytes rtuTwoRegisters(std::uint8_t unitId) {
    return rtuFrame({unitId, 3, 4, 0, 7, 0, 9});
}

INSTANTIATE_TEST_SUITE_P(
    Causes, LikelyCause,
    ::testing::Values(CauseRow{"echo", true, 0, "0",
                               [](const Bytes& r, int) {
                                   Bytes echoed = r;
                                   const Bytes reply = rtuTwoRegisters(1);
                                   echoed.insert(echoed.end(), reply.begin(), reply.end());
                                   return echoed;
                               },
                               Cause::EchoNotRemoved},
                      CauseRow{"wrong_id", true, 0, "0",
                               [](const Bytes&, int) { return rtuTwoRegisters(7); },
                               Cause::WrongUnitId},
                      CauseRow{"off_by_one", false, 0, "100",
                               [](const Bytes& r, int) {
                                   return tcpAnswer(r, {0x83, 2});
                               },
                               Cause::AddressOffByOne},
                      CauseRow{"late_answer", false, 2, "0",
                               [](const Bytes& r, int n) {
                                   // The first request is answered after the wait for it has
                                   // ended, while a retry waits; the retries not at all.
                                   if (n == 0)
                                       sleepMs(300);
                                   return n == 0 ? tcpAnswer(r, {3, 4, 0, 7, 0, 9}) : Bytes{};
                               },
                               Cause::LateAnswer}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TestWindow, ARefusedWriteSendsNothingAndKeepsTheEntry) {
    CWire wire;
    CFakeUnit unit(answersReads(wire));
    CSession s(quickLocation(unit.port(), ModbusType::ModbusTcp));
    ASSERT_TRUE(s.ready());
    s.setFunction(kFnPresetRegisters);
    s.setField("quantity", "3");
    s.setValues("70000 -5 1");
    s.click("transmit");
    const std::string refusal =
        "Value 1, \"70000\", is outside the range 0 to 65535. Nothing was sent.";
    EXPECT_EQ(s.messages.messages, std::vector<std::string>{refusal});
    EXPECT_TRUE(s.widget<QPlainTextEdit>("dataValues")->hasFocus());
    EXPECT_EQ(s.values(), "70000 -5 1");
    EXPECT_EQ(s.sent(), "");
    EXPECT_TRUE(s.widget<QPushButton>("transmit")->isEnabled());
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(unit.requests(), 0);
    EXPECT_EQ(lastRecord(s.document, CommsLogType::Tx), nullptr);
    saveScreenshotWithMessage(*s.dialog, refusal, "test_dialog_refused_write.png");
}

TEST(TestWindow, EnterOrSpaceOnStopEndsRepeat) {
    CWire wire;
    CFakeUnit unit(answersReads(wire));
    CSession s(quickLocation(unit.port(), ModbusType::ModbusTcp));
    ASSERT_TRUE(s.ready());
    s.setField("quantity", "1");
    auto* repeat = s.widget<QPushButton>("repeat");
    auto* transmit = s.widget<QPushButton>("transmit");
    const CTestModbusDlg& logic = s.dialog->logic();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        SCOPED_TRACE(key == Qt::Key_Return ? "Enter" : "Space");
        QTest::keyClick(s.dialog.get(), Qt::Key_P, Qt::AltModifier); // "Re&peat"
        ASSERT_TRUE(waitUntil([&] { return logic.repeating() && logic.statistics().sent >= 3; }));
        EXPECT_EQ(QApplication::focusWidget(), repeat);
        QTest::keyClick(QApplication::focusWidget(), key);
        EXPECT_FALSE(logic.repeating());
        EXPECT_EQ(repeat->text().toStdString(), text(kIdsTestRepeat));
        ASSERT_TRUE(waitUntil([&] { return transmit->isEnabled(); }));
        EXPECT_EQ(QApplication::focusWidget(), transmit);
        const int sent = logic.statistics().sent;
        waitUntil([] { return false; }, 100);
        EXPECT_EQ(logic.statistics().sent, sent);
    }
    EXPECT_TRUE(s.messages.messages.empty());
}

TEST(TestWindow, FormsOfFunctions07_08AndUserDefined) {
    CRecordingMessageBox messages;
    CVantrelDoc document;
    CQtViewDialogs dialogs(0, 0);
    CTestModbusWindow dialog(document, dialogs, {MediaType::Direct, ModbusType::Rtu, 1, 0, ","},
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

QPushButton* button(QWidget& window, const char* name) {
    return window.findChild<QPushButton*>(QString::fromLatin1(name));
}

// The program's own dialogs throughout: after the connect the view runs the Test dialog modally;
// its Convertor and Comms Log buttons open the real windows, once however often they are
// pressed, and Cancel closes them with the dialog.
TEST(TestWindow, ToolWindowsOpenOnceAndCloseWithTheWindow) {
    CFakeUnit unit([](CUnitLink& link) { link.linger(20000); });
    CTempSettings settings;
    ASSERT_TRUE(settings.valid());
    settings.file.append(tcpLocation("Plant", unit.port()));
    CRecordingMessageBox messages;
    CVantrelDoc document;
    ASSERT_TRUE(document.onNewDocument(messages));
    CQtViewDialogs dialogs(0, 0);
    dialogs.setDocument(&document);
    std::vector<QPointer<QWidget>> convertors;
    std::vector<QPointer<QWidget>> logs;
    bool used = false;
    const auto user = [&](QWidget& window) {
        if (auto* temporary = qobject_cast<CTempCommsWindow*>(&window)) {
            control<QLineEdit>(*temporary, "retries")->setText("5");
            control<QLineEdit>(*temporary, "time1")->setText("1500");
            control<QLineEdit>(*temporary, "time2")->setText("150");
            temporary->accept();
        } else if (dynamic_cast<CTestModbusWindow*>(&window) == nullptr) {
            window.close();
        } else if (!used) {
            used = true;
            for (const char* name : {"convertor", "convertor", "commsLog", "commsLog"})
                button(window, name)->click();
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (qobject_cast<CNumberConvertorWindow*>(top) != nullptr && top->isVisible())
                    convertors.emplace_back(top);
                if (qobject_cast<CCommsLogWindow*>(top) != nullptr && top->isVisible())
                    logs.emplace_back(top);
            }
            button(window, "temporarySettings")->click(); // answered above
            button(window, "cancel")->click();
        }
    };
    ASSERT_TRUE(connectFromMenu(document, settings.file, dialogs, messages, user));
    ASSERT_TRUE(used);
    EXPECT_EQ(convertors.size(), 1u);
    EXPECT_EQ(logs.size(), 1u);
    EXPECT_EQ(document.message().retries, 5);
    EXPECT_EQ(document.message().time1, 1500);
    EXPECT_EQ(document.message().time2, 150);
    const auto closed = [](const QPointer<QWidget>& window) { return window.isNull(); };
    const auto allClosed = [&] {
        return std::all_of(convertors.begin(), convertors.end(), closed) &&
               std::all_of(logs.begin(), logs.end(), closed);
    };
    EXPECT_TRUE(waitUntil(allClosed, 2000));
    document.closeSocket();
}

TEST(TestWindow, TestCommsOpensTheWindowModalOnTheConnectedLocation) {
    CVantrelDoc document;
    document.currentLocation = CLocation(kMediaCodeTcpIp);
    document.currentLocation.modbusType = ModbusType::ModbusTcp;
    CQtViewDialogs dialogs(0, 0);
    std::string title;
    bool modiconSelected = false;
    CModalUser user([&](QWidget& modal) {
        title = modal.windowTitle().toStdString();
        modiconSelected =
            modal.findChild<QComboBox*>(QStringLiteral("addressing"))->currentIndex() == 2;
        QTest::keyClick(&modal, Qt::Key_Escape);
    });
    dialogs.runTest(document, 7, ModbusType::ModbusTcp, 2);
    EXPECT_EQ(title, text(kIdsTestTitle));
    EXPECT_TRUE(modiconSelected);
    EXPECT_EQ(document.message().modbusId, 7);
}

// The Register Table over the Test window: the window it opens and the reads it follows.

CRegisterTableWindow* openRegisterTable(CSession& s) {
    s.click("registers");
    s.click("registers"); // once however often it is pressed
    const auto tables = s.dialog->findChildren<CRegisterTableWindow*>();
    EXPECT_EQ(tables.size(), 1);
    return tables.empty() ? nullptr : tables.front();
}

// A Float, a 32-bit and a 64-bit integer, each laid out in the four orders one after the other.
struct Layout {
    WideType type;
    Bytes motorola;
    const char* text;
};
const Layout kLayouts[] = {{WideType::Float32, {0x43, 0x66, 0xB3, 0x33}, "230.7"},
                           {WideType::Int32, {0, 0, 0, 0xC8}, "200"},
                           {WideType::Int64, {0, 0, 0, 0, 0, 0, 0, 0x2A}, "42"}};

class RegisterTablePeers : public ::testing::TestWithParam<Unit> {};

TEST_P(RegisterTablePeers, ShowsEveryOrderAndMarksTheOneTheValueWasLaidOutIn) {
    if (const std::string missing = missingForUnit(GetParam()); !missing.empty())
        GTEST_SKIP() << missing;
    CSession s(GetParam());
    ASSERT_TRUE(s.ready());
    std::string values;
    for (const Layout& layout : kLayouts) {
        for (const WordOrder order : kWordOrders) {
            Bytes laid = layout.motorola;
            toMotorolaOrder(laid, order);
            for (std::size_t i = 0; i < laid.size(); i += 2)
                values += std::to_string(getUInt16(&laid[i])) + " ";
        }
    }
    s.setFunction(kFnPresetRegisters);
    s.setType(kDataTypeUInt16);
    s.setField("startAddress", "30");
    s.setField("quantity", "32");
    s.setValues(values.c_str());
    ASSERT_TRUE(s.transmit());
    CRegisterTableWindow* table = openRegisterTable(s);
    ASSERT_NE(table, nullptr);
    s.setFunction(kFnReadHolding);
    s.setType(kDataTypeUInt16);
    ASSERT_TRUE(s.transmit());
    ASSERT_TRUE(s.messages.messages.empty()) << s.messages.messages[0];
    const CRegisterTableDlg& logic = table->logic();
    ASSERT_EQ(logic.rowCount(), 32u);
    std::size_t row = 0;
    for (const Layout& layout : kLayouts) {
        for (std::size_t i = 0; i < kWordOrders.size(); ++i, row += layout.motorola.size() / 2) {
            EXPECT_EQ(logic.wideText(row, layout.type, kWordOrders[i]), layout.text) << row;
            std::array<bool, 4> only{};
            only[i] = true;
            EXPECT_EQ(logic.plausible(row, layout.type), only) << row;
        }
    }
    // What the operator sees: the grid of the selected row, its plausible order shaded.
    table->findChild<QTableView*>(QStringLiteral("table"))->selectRow(2);
    auto* orders = table->findChild<QTableWidget*>(QStringLiteral("orders"));
    EXPECT_EQ(orders->item(0, 1)->text().toStdString(), "230.7");
    EXPECT_EQ(orders->item(0, 1)->toolTip().toStdString(), text(kIdsRegTablePlausible));
    EXPECT_TRUE(orders->item(0, 0)->toolTip().isEmpty());
    if (GetParam() == Unit::PymodbusTcp)
        saveScreenshot(*table, "register_table.png");
}

INSTANTIATE_TEST_SUITE_P(Units, RegisterTablePeers,
                         ::testing::Values(Unit::PymodbusTcp, Unit::LibmodbusTcp), unitName);

// Python's own CSV reader on `path`: the number of rows, then the given row's fields, one a line.
std::string readCsvWithPython(const std::string& path, int row) {
    const std::string command = "/usr/bin/python3 -c \"import csv,sys; rows=list(csv.reader("
                                "open(sys.argv[1], newline=''))); print(len(rows)); "
                                "print('\\n'.join(rows[int(sys.argv[2])]))\" '" +
                                path + "' " + std::to_string(row);
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            out += buffer;
        ::pclose(pipe);
    }
    return out;
}

// A unit whose register 0 counts its requests and that refuses every fourth with exception 02.
Bytes countingAnswer(const Bytes& request, int& served) {
    ++served;
    const auto quantity = static_cast<std::uint8_t>(request[11]);
    if (served % 4 == 0)
        return {request[0], request[1], 0, 0, 0, 3, request[6], 0x83, 2};
    Bytes reply{request[0], request[1], 0,
                0,          0,          static_cast<std::uint8_t>(3 + 2 * quantity),
                request[6], 3,          static_cast<std::uint8_t>(2 * quantity)};
    for (std::uint8_t i = 0; i < quantity; ++i) {
        reply.push_back(0);
        reply.push_back(i == 0 ? static_cast<std::uint8_t>(served) : i);
    }
    return reply;
}

TEST(TestWindow, RegisterTableFollowsARepeatThatKeepsGoingThroughFailures) {
    CFakeUnit unit([](CUnitLink& link) {
        int served = 0;
        link.answerEach([&](const Bytes& request) { return countingAnswer(request, served); });
    });
    CTempFolder folder("register-table");
    CSession s(tcpLocation("Counting", unit.port()));
    ASSERT_TRUE(s.ready());
    CRegisterTableWindow* table = openRegisterTable(s);
    ASSERT_NE(table, nullptr);
    std::vector<std::pair<bool, bool>> passedAndStale;
    const int watch = s.document.readFeed.subscribe([&](const ReadOutcome& outcome) {
        passedAndStale.emplace_back(outcome.passed, table->logic().stale());
    });
    table->setFileChoice([&] { return QString::fromStdString(folder / "series.csv"); });
    table->findChild<QPushButton*>(QStringLiteral("series"))->click();

    s.setField("quantity", "3");
    s.transmit(); // the rows to plot come from a first read
    auto* rows = table->findChild<QTableView*>(QStringLiteral("table"));
    rows->selectionModel()->select(rows->model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->findChild<QPushButton*>(QStringLiteral("trend"))->click();
    ASSERT_NE(table->trendWindow(), nullptr);
    s.widget<QSpinBox>("repeatInterval")->setValue(5);
    s.widget<QCheckBox>("keepRepeating")->setChecked(true);
    s.click("repeat");
    ASSERT_TRUE(waitUntil([&] { return s.dialog->logic().statistics().failed >= 3; }, 20000));
    s.click("repeat");
    ASSERT_TRUE(waitUntil([&] { return !s.dialog->logic().waiting(); }));
    s.document.readFeed.unsubscribe(watch);

    EXPECT_TRUE(s.messages.messages.empty());
    for (const auto& [passed, stale] : passedAndStale)
        EXPECT_EQ(stale, !passed);
    EXPECT_EQ(s.dialog->logic().failuresByResult().begin()->first, 5010);
    const std::string tip = s.widget<QLabel>("statistics")->toolTip().toStdString();
    EXPECT_NE(tip.find(text(5010)), std::string::npos) << tip;
    const int passes = s.dialog->logic().statistics().passed;
    EXPECT_EQ(table->logic().cellText(0, CRegisterTableDlg::kColChanges),
              std::to_string(passes - 1));
    EXPECT_EQ(table->logic().cellText(1, CRegisterTableDlg::kColChanges), "0");
    saveScreenshot(*s.dialog, "test_dialog_soak.png");
    CRegisterTrendWindow* trend = table->trendWindow();
    trend->redraw();
    EXPECT_EQ(trend->trend().plotted(0, CRegisterTrendWindow::kPlotPoints).size(),
              static_cast<std::size_t>(passes));
    saveScreenshot(*trend, "register_trend.png");

    // The series: its header, the single read's line and one per passing read of the repeat, as
    // Python's CSV reader reads them.
    table->findChild<QPushButton*>(QStringLiteral("series"))->click();
    const std::string series = readCsvWithPython(folder / "series.csv", 0);
    EXPECT_EQ(series, std::to_string(passes + 2) + "\nTime (UTC)\n0\n1\n2\n");
    table->setFileChoice([&] { return QString::fromStdString(folder / "table.csv"); });
    table->findChild<QPushButton*>(QStringLiteral("export"))->click();
    const std::string exported = readCsvWithPython(folder / "table.csv", 5);
    EXPECT_EQ(exported.substr(0, exported.find('\n')), std::to_string(1 + 3 * (5 + 24)));
    EXPECT_NE(exported.find("\nASCII\n"), std::string::npos) << exported;
}

// A series recorded while the columns change (another read, a pin): every line stands under a
// header that names its values.
TEST(RegisterTableWindow, ASeriesNamesItsColumnsAgainWhenTheyChange) {
    CTempFolder folder("register-series");
    CReadFeed feed;
    auto* table = new CRegisterTableWindow(feed);
    table->setFileChoice([&] { return QString::fromStdString(folder / "series.csv"); });
    table->findChild<QPushButton*>(QStringLiteral("series"))->click();
    ReadOutcome outcome;
    outcome.passed = true;
    outcome.read = {3, 0, 0, {0, 1, 0, 2}};
    feed.publish(outcome);
    outcome.read = {3, 10, 10, {0, 3, 0, 4, 0, 5}};
    feed.publish(outcome);
    feed.publish(outcome);
    table->findChild<QPushButton*>(QStringLiteral("series"))->click();
    delete table;
    EXPECT_EQ(readCsvWithPython(folder / "series.csv", 2), "5\nTime (UTC)\n10\n11\n12\n");
}

// A trend whose rows come to hold other registers (another read) starts again under their names.
TEST(RegisterTableWindow, ATrendStartsAgainWhenItsRowsHoldOtherRegisters) {
    CReadFeed feed;
    auto* table = new CRegisterTableWindow(feed);
    ReadOutcome outcome;
    outcome.passed = true;
    outcome.read = {3, 0, 0, {0, 1, 0, 2}};
    feed.publish(outcome);
    table->openTrend();
    feed.publish(outcome);
    outcome.read = {3, 10, 10, {0, 3, 0, 4}};
    feed.publish(outcome);
    const std::vector<TrendPoint> points =
        table->trendWindow()->trend().plotted(0, CRegisterTrendWindow::kPlotPoints);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].value, 3);
    auto* chart = table->trendWindow()->findChild<QChartView*>(QStringLiteral("chart"));
    EXPECT_EQ(chart->chart()->series().front()->name().toStdString(), "10 Unsigned");
    delete table;
}

} // namespace
