#include "comms/port_enum.h"
#include "comms/port_map.h"
#include "comms/serial_port.h"
#include "tests/support/row_names.h"
#include "tests/support/test_serial_support.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <sys/ioctl.h>

namespace {

using vantrel_test::PrintTo;

constexpr int kPort = 7;

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.valid());
        ports.link("COM7", pty.slavePath());
    }
    void openDefault(CSerialPort& port) {
        port.open(kPort, 9600, Parity::None, 8, StopBits::One, FlowControl::None, true);
        ASSERT_TRUE(port.isOpen());
        port.setTimeouts({kReadIntervalImmediate, 0, 0, 0, 0});
    }
    CPtyPair pty;
    CTempPortsDir ports;
};

TEST_F(SerialPortTest, PortsThatDoNotResolveStayClosedWithoutRaising) {
    for (const int n : {0, 8, 200, 256, -1}) {
        CSerialPort port;
        EXPECT_NO_THROW(
            port.open(n, 9600, Parity::None, 8, StopBits::One, FlowControl::None, true));
        EXPECT_FALSE(port.isOpen()) << n;
    }
    ports.link("COM9", ports.path() + "/missing");
    CSerialPort port;
    port.open(9, 9600, Parity::None, 8, StopBits::One, FlowControl::None, true);
    EXPECT_FALSE(port.isOpen());
}

struct LineSettingsCase {
    const char* name;
    std::uint32_t baud;
    int parity, dataBits, stopBits, flow;
    speed_t speed;
    tcflag_t parityFlags; // of PARENB | PARODD | CMSPAR
    tcflag_t size;
    bool twoStop, crtscts, xon;
    LineControl dtr, rts;
};

class LineSettings : public SerialPortTest,
                     public ::testing::WithParamInterface<LineSettingsCase> {};

TEST_P(LineSettings, OpenRequestsThem) {
    const LineSettingsCase& c = GetParam();
    CSerialPort port;
    port.open(kPort, c.baud, c.parity, c.dataBits, c.stopBits, c.flow, true);
    ASSERT_TRUE(port.isOpen());
    const SerialSettings& s = port.requestedSettings();
    EXPECT_EQ(cfgetospeed(&s.tty), c.speed);
    EXPECT_EQ(s.tty.c_cflag & (PARENB | PARODD | CMSPAR), c.parityFlags);
    EXPECT_EQ(s.tty.c_cflag & CSIZE, c.size);
    EXPECT_EQ((s.tty.c_cflag & CSTOPB) != 0, c.twoStop);
    EXPECT_EQ((s.tty.c_cflag & CRTSCTS) != 0, c.crtscts);
    EXPECT_EQ((s.tty.c_iflag & IXON) != 0, c.xon);
    EXPECT_EQ((s.tty.c_iflag & IXOFF) != 0, c.xon);
    EXPECT_EQ(s.dtrControl, c.dtr);
    EXPECT_EQ(s.rtsControl, c.rts);
    EXPECT_FALSE(s.dsrSensitivity);
    // Raw binary line whatever was asked.
    EXPECT_EQ(s.tty.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(s.tty.c_oflag & OPOST, 0u);
    if (c.flow == FlowControl::XonXoff) {
        EXPECT_EQ(s.tty.c_cc[VSTART], 0x11);
        EXPECT_EQ(s.tty.c_cc[VSTOP], 0x13);
        EXPECT_EQ(s.xonLimit, 100);
        EXPECT_EQ(s.xoffLimit, 100);
    }
    if (c.flow == FlowControl::None) {
        EXPECT_EQ(port.modemLines() & (TIOCM_DTR | TIOCM_RTS), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(SerialPort, LineSettings,
                         ::testing::Values(LineSettingsCase{.name = "NoParityNoFlowControl",
                                                            .baud = 9600,
                                                            .parity = Parity::None,
                                                            .dataBits = 8,
                                                            .stopBits = StopBits::One,
                                                            .flow = FlowControl::None,
                                                            .speed = B9600,
                                                            .parityFlags = 0,
                                                            .size = CS8,
                                                            .twoStop = false,
                                                            .crtscts = false,
                                                            .xon = false,
                                                            .dtr = LineControl::Disable,
                                                            .rts = LineControl::Disable},
                                           LineSettingsCase{.name = "EvenSevenDataBitsTwoStop",
                                                            .baud = 19200,
                                                            .parity = Parity::Even,
                                                            .dataBits = 7,
                                                            .stopBits = StopBits::Two,
                                                            .flow = FlowControl::None,
                                                            .speed = B19200,
                                                            .parityFlags = PARENB,
                                                            .size = CS7,
                                                            .twoStop = true,
                                                            .crtscts = false,
                                                            .xon = false,
                                                            .dtr = LineControl::Disable,
                                                            .rts = LineControl::Disable},
                                           LineSettingsCase{.name = "OddWithCtsRts",
                                                            .baud = 300,
                                                            .parity = Parity::Odd,
                                                            .dataBits = 8,
                                                            .stopBits = StopBits::One,
                                                            .flow = FlowControl::CtsRts,
                                                            .speed = B300,
                                                            .parityFlags = PARENB | PARODD,
                                                            .size = CS8,
                                                            .twoStop = false,
                                                            .crtscts = true,
                                                            .xon = false,
                                                            .dtr = LineControl::Enable,
                                                            .rts = LineControl::Handshake},
                                           LineSettingsCase{.name = "MarkOneAndAHalfStopWithCtsDtr",
                                                            .baud = 115200,
                                                            .parity = Parity::Mark,
                                                            .dataBits = 8,
                                                            .stopBits = StopBits::OneAndHalf,
                                                            .flow = FlowControl::CtsDtr,
                                                            .speed = B115200,
                                                            .parityFlags = PARENB | PARODD | CMSPAR,
                                                            .size = CS8,
                                                            .twoStop = true,
                                                            .crtscts = true,
                                                            .xon = false,
                                                            .dtr = LineControl::Handshake,
                                                            .rts = LineControl::Enable},
                                           LineSettingsCase{.name = "SpaceWithDsrRts",
                                                            .baud = 4800,
                                                            .parity = Parity::Space,
                                                            .dataBits = 8,
                                                            .stopBits = StopBits::One,
                                                            .flow = FlowControl::DsrRts,
                                                            .speed = B4800,
                                                            .parityFlags = PARENB | CMSPAR,
                                                            .size = CS8,
                                                            .twoStop = false,
                                                            .crtscts = false,
                                                            .xon = false,
                                                            .dtr = LineControl::Enable,
                                                            .rts = LineControl::Handshake},
                                           LineSettingsCase{.name = "XonXoff",
                                                            .baud = 2400,
                                                            .parity = Parity::None,
                                                            .dataBits = 8,
                                                            .stopBits = StopBits::One,
                                                            .flow = FlowControl::XonXoff,
                                                            .speed = B2400,
                                                            .parityFlags = 0,
                                                            .size = CS8,
                                                            .twoStop = false,
                                                            .crtscts = false,
                                                            .xon = true,
                                                            .dtr = LineControl::Enable,
                                                            .rts = LineControl::Enable}),
                         [](const ::testing::TestParamInfo<LineSettingsCase>& row) {
                             return std::string(row.param.name);
                         });

struct LackingSettingsCase {
    const char* name;
    std::uint32_t baud;
    int dataBits;
    int parity;
};

class LackingSettings : public SerialPortTest,
                        public ::testing::WithParamInterface<LackingSettingsCase> {};

TEST_P(LackingSettings, RaiseAndLeaveThePortClosed) {
    const LackingSettingsCase& c = GetParam();
    CSerialPort port;
    try {
        port.open(kPort, c.baud, c.parity, c.dataBits, StopBits::One, FlowControl::None, true);
        ADD_FAILURE() << "no exception";
    } catch (const CSerialException& e) {
        EXPECT_EQ(e.errorCode, static_cast<std::uint32_t>(EINVAL));
    }
    EXPECT_FALSE(port.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    SerialPort, LackingSettings,
    ::testing::Values(
        LackingSettingsCase{
            .name = "UnknownBaudRate", .baud = 12345, .dataBits = 8, .parity = Parity::None},
        LackingSettingsCase{
            .name = "NineDataBits", .baud = 9600, .dataBits = 9, .parity = Parity::None},
        LackingSettingsCase{.name = "UnknownParityCode", .baud = 9600, .dataBits = 8, .parity = 7}),
    [](const ::testing::TestParamInfo<LackingSettingsCase>& row) {
        return std::string(row.param.name);
    });

TEST_F(SerialPortTest, CloseRestoresTheStateFoundAtTheFirstOpen) {
    termios before{};
    ASSERT_EQ(tcgetattr(pty.slave(), &before), 0);
    before.c_lflag |= ICANON | ECHO;
    before.c_iflag |= ICRNL;
    cfsetspeed(&before, B1200);
    ASSERT_EQ(tcsetattr(pty.slave(), TCSANOW, &before), 0);
    ASSERT_EQ(tcgetattr(pty.slave(), &before), 0);

    CSerialPort port;
    openDefault(port);
    // Reopening saves what the device had before the first open, not the first open's settings.
    port.open(kPort, 19200, Parity::Even, 7, StopBits::Two, FlowControl::XonXoff, true);
    ASSERT_TRUE(port.isOpen());
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_NO_THROW(port.close());

    termios after{};
    ASSERT_EQ(tcgetattr(pty.slave(), &after), 0);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
    EXPECT_EQ(0, std::memcmp(after.c_cc, before.c_cc, sizeof after.c_cc));
}

TEST_F(SerialPortTest, APortIsNotShared) {
    CSerialPort first;
    openDefault(first);
    CSerialPort second;
    second.open(kPort, 9600, Parity::None, 8, StopBits::One, FlowControl::None, true);
    EXPECT_FALSE(second.isOpen());
    first.close();
    second.open(kPort, 9600, Parity::None, 8, StopBits::One, FlowControl::None, true);
    EXPECT_TRUE(second.isOpen());
}

TEST_F(SerialPortTest, ReadsHonourTheTimeoutRecord) {
    CSerialPort port;
    openDefault(port);
    std::uint8_t buffer[640] = {};
    std::uint32_t got = 99;
    SerialOverlapped ov;
    // Immediate return: nothing there is a completed read of 0 bytes.
    EXPECT_TRUE(port.read(buffer, 10, &ov, &got));
    EXPECT_EQ(got, 0u);

    pty.send(std::string("abc"));
    ASSERT_TRUE(port.waitForChar(2000));
    EXPECT_EQ(port.bytesWaiting(), 3u);
    EXPECT_TRUE(port.read(buffer, 10, &ov, &got));
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "abc");

    // A total time-out: a short read is pending and completes with what came in time.
    port.setTimeouts({0, 0, 100, 0, 0});
    pty.send(std::string("xy"));
    ASSERT_TRUE(port.waitForChar(2000));
    const std::uint32_t start = tickCount();
    EXPECT_FALSE(port.read(buffer, 5, &ov, &got));
    EXPECT_FALSE(port.getOverlappedResult(ov, &got, false));
    EXPECT_TRUE(port.getOverlappedResult(ov, &got, true));
    EXPECT_EQ(got, 2u);
    EXPECT_GE(tickCount() - start, 90u);
    EXPECT_LT(tickCount() - start, 3000u);

    // The same read completes early once every requested byte is there.
    EXPECT_FALSE(port.read(buffer, 4, &ov, &got));
    pty.send(std::string("1234"));
    EXPECT_TRUE(port.getOverlappedResult(ov, &got, true));
    EXPECT_EQ(got, 4u);
}

TEST_F(SerialPortTest, WriteReachesTheFarEnd) {
    CSerialPort port;
    openDefault(port);
    const std::uint8_t frame[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
    std::uint32_t written = 0;
    SerialOverlapped ov;
    if (!port.write(frame, sizeof frame, &ov, &written)) {
        EXPECT_TRUE(port.getOverlappedResult(ov, &written, true));
    }
    EXPECT_EQ(written, sizeof frame);
    EXPECT_EQ(pty.receive(sizeof frame, 2000), std::vector<std::uint8_t>(frame, frame + 8));
}

TEST_F(SerialPortTest, WaitForCharKeepsTheEventMask) {
    CSerialPort port;
    openDefault(port);
    port.setEventMask(0x0004);
    const std::uint32_t start = tickCount();
    EXPECT_FALSE(port.waitForChar(20));
    EXPECT_GE(tickCount() - start, 15u);
    EXPECT_EQ(port.getEventMask(), 0x0004u);

    std::uint32_t events = 0;
    port.setEventMask(EV_RXCHAR);
    EXPECT_FALSE(port.waitEvent(&events));
    pty.send(std::string("z"));
    EXPECT_TRUE(port.waitForChar(2000));
    EXPECT_TRUE(port.waitEvent(&events));
    EXPECT_EQ(events, EV_RXCHAR);
    port.purge(PURGE_RXABORT | PURGE_RXCLEAR);
    EXPECT_EQ(port.bytesWaiting(), 0u);
}

TEST_F(SerialPortTest, APseudoTerminalAcceptsControlLinesAndHasNoLineErrors) {
    CSerialPort port;
    openDefault(port);
    port.raiseDtr();
    port.raiseRts();
    EXPECT_EQ(port.modemLines() & (TIOCM_DTR | TIOCM_RTS), TIOCM_DTR | TIOCM_RTS);
    port.setQueueSizes(640, 640);
    EXPECT_EQ(port.receiveQueueSize(), 640u);
    EXPECT_EQ(port.clearError(), 0u);
    EXPECT_THROW(port.escapeFunction(42), CSerialException);
}

TEST_F(SerialPortTest, CallsOnAClosedPortRaise) {
    CSerialPort port;
    std::uint8_t b[4];
    EXPECT_THROW(port.read(b, 4, nullptr, nullptr), CSerialException);
    EXPECT_THROW(port.bytesWaiting(), CSerialException);
    EXPECT_THROW(port.purge(PURGE_RXCLEAR), CSerialException);
}

TEST_F(SerialPortTest, AReadAfterTheFarEndHungUpRaises) {
    CSerialPort port;
    openDefault(port);
    pty.closeMaster();
    std::uint8_t b[4];
    std::uint32_t got = 0;
    EXPECT_THROW(port.read(b, 4, nullptr, &got), CSerialException);
}

TEST(SerialException, CarriesErrnoAndItsSystemText) {
    char buffer[64];
    const CSerialException known(ENOENT);
    EXPECT_TRUE(known.getErrorMessage(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "No such file or directory");
    EXPECT_TRUE(known.getErrorMessage(buffer, 6));
    EXPECT_STREQ(buffer, "No su");
    const CSerialException unknown(99999);
    EXPECT_FALSE(unknown.getErrorMessage(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    errno = EACCES;
    EXPECT_EQ(CSerialException().errorCode, static_cast<std::uint32_t>(EACCES));
}

TEST(PortNames, OnlyComFollowedByDigitsInRange) {
    std::vector<int> numbers{42};
    appendComNumbers({"COM3", "COM10", "COMX", "COM", "COM1A", "com5", "XCOM2", "COM0", "COM256",
                      "COM255", "Com07"},
                     numbers);
    EXPECT_EQ(numbers, (std::vector<int>{42, 3, 10, 5, 255, 7}));
}

struct PortNameRow {
    const char* name;
    const char* portName;
    std::optional<int> number;
};

class ComPortNumberRow : public ::testing::TestWithParam<PortNameRow> {};

TEST_P(ComPortNumberRow, ReadsTheNumberAfterCom) {
    EXPECT_EQ(readComNumber(GetParam().portName, ComNaming::PortName), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ComPortNumberRow,
    ::testing::Values(PortNameRow{.name = "TwoDigits", .portName = "COM12", .number = 12},
                      PortNameRow{.name = "DevicePrefix", .portName = "\\\\.\\COM3", .number = 3},
                      PortNameRow{.name = "LowerCase", .portName = "com3", .number = std::nullopt},
                      PortNameRow{.name = "OtherName", .portName = "Port3", .number = std::nullopt},
                      PortNameRow{.name = "NoDigits", .portName = "COMx", .number = std::nullopt},
                      PortNameRow{.name = "Empty", .portName = "", .number = std::nullopt},
                      // Out of range: the port map finds nothing and the open reports 5028.
                      PortNameRow{.name = "Huge", .portName = "COM99999999999", .number = INT_MAX}),
    [](const ::testing::TestParamInfo<PortNameRow>& row) { return std::string(row.param.name); });

struct EnumerationCase {
    const char* name;
    int osClass;
    bool listsDanglingLinks; // the routine reads names only and never looks at the device
};

class PortEnumeration : public SerialPortTest,
                        public ::testing::WithParamInterface<EnumerationCase> {};

TEST_P(PortEnumeration, ListsLinkedPortsOnlyInRange) {
    CPtyPair second;
    ASSERT_TRUE(second.valid());
    ports.link("COM12", second.slavePath());
    ports.link("COM300", second.slavePath());
    ports.link("COMX", second.slavePath());
    ports.link("COM20", ports.path() + "/missing");
    CSerialPort busy;
    openDefault(busy);

    std::vector<int> list{1000};
    ASSERT_TRUE(enumeratePorts(GetParam().osClass, list));
    EXPECT_EQ(std::count(list.begin(), list.end(), kPort), 1);
    EXPECT_EQ(std::count(list.begin(), list.end(), 12), 1);
    for (const int n : list) {
        EXPECT_GE(n, 1);
        EXPECT_LE(n, kMaxComPort);
    }
    EXPECT_EQ(std::count(list.begin(), list.end(), 20), GetParam().listsDanglingLinks ? 1 : 0);
    EXPECT_EQ(resolveComPort(12), ports.path() + "/COM12");
}

INSTANTIATE_TEST_SUITE_P(
    OsClasses, PortEnumeration,
    ::testing::Values(
        EnumerationCase{.name = "ByOpening", .osClass = 1, .listsDanglingLinks = false},
        EnumerationCase{.name = "ByDosDevices", .osClass = 5, .listsDanglingLinks = true},
        EnumerationCase{.name = "ByCommConfig", .osClass = 99, .listsDanglingLinks = false}),
    [](const ::testing::TestParamInfo<EnumerationCase>& row) {
        return std::string(row.param.name);
    });

} // namespace
