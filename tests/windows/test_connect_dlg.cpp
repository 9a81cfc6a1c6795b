#include "comms/comms_context.h"
#include "comms/serial_port.h"
#include "config/settings_file.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "tests/support/row_names.h"
#include "tests/support/test_serial_support.h"
#include "windows/connect_dlg.h"
#include "windows/port_line_settings.h"
#include "windows/vantrel_doc.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using vantrel_test::PrintTo;

std::string text5028() {
    return std::string(loadString(5028));
}

struct LineRow {
    const char* name;
    std::int32_t baudIndex = 5;
    std::int32_t parityIndex = kParityNone;
    std::int32_t dataBitsIndex = 1;
    std::int32_t stopBitsIndex = 0;
    // Expected port codes; baudRate 0: the mapping refuses the location.
    std::uint32_t baudRate = 9600;
    int parity = Parity::None;
    int dataBits = 8;
    int stopBits = StopBits::One;
};

class PortLineSettingsRow : public ::testing::TestWithParam<LineRow> {};

TEST_P(PortLineSettingsRow, MapsTheLocationToThePortCodes) {
    const LineRow& row = GetParam();
    CLocation location;
    location.baudIndex = row.baudIndex;
    location.parityIndex = row.parityIndex;
    location.dataBitsIndex = row.dataBitsIndex;
    location.stopBitsIndex = row.stopBitsIndex;
    const std::optional<PortLineSettings> settings = portLineSettings(location);
    if (row.baudRate == 0) {
        EXPECT_FALSE(settings);
        return;
    }
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->baudRate, row.baudRate);
    EXPECT_EQ(settings->parity, row.parity);
    EXPECT_EQ(settings->dataBits, row.dataBits);
    EXPECT_EQ(settings->stopBits, row.stopBits);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PortLineSettingsRow,
    ::testing::Values(LineRow{.name = "Even", .parityIndex = kParityEven, .parity = Parity::Even},
                      // The port's code 1 is Mark: Odd must come out as its 3.
                      LineRow{.name = "Odd", .parityIndex = kParityOdd, .parity = Parity::Odd},
                      LineRow{.name = "None", .parityIndex = kParityNone, .parity = Parity::None},
                      LineRow{.name = "SevenDataBits", .dataBitsIndex = 0, .dataBits = 7},
                      LineRow{.name = "TwoStopBits", .stopBitsIndex = 1, .stopBits = StopBits::Two},
                      LineRow{.name = "Slowest", .baudIndex = 0, .baudRate = 300},
                      LineRow{.name = "Fastest", .baudIndex = 9, .baudRate = 115200},
                      LineRow{.name = "DamagedParity", .parityIndex = 3, .baudRate = 0},
                      LineRow{.name = "DamagedStopBits", .stopBitsIndex = 2, .baudRate = 0},
                      LineRow{.name = "DamagedDataBits", .dataBitsIndex = -1, .baudRate = 0},
                      LineRow{.name = "DamagedBaud", .baudIndex = 10, .baudRate = 0}),
    [](const ::testing::TestParamInfo<LineRow>& row) { return std::string(row.param.name); });

TEST(ConnectColumns, ShareTheListWidth) {
    EXPECT_EQ(connectColumnWidths(800), (std::array<int, 4>{200, 240, 80, 300}));
}

// Records what the logic shows; a logic test needs no widgets.
class CRecordingWindow : public IConnectWindow {
public:
    void setLocationText(const std::string&) override {}
    void setStatusText(const std::string& text) override { status = text; }
    void setModemResponse(const std::string&) override {}
    void enableButtons(bool) override {}
    void showAbort(bool) override {}
    void messageBox(const std::string& text) override { boxes.push_back(text); }
    void startTimer(int) override {}
    void stopTimer(int) override {}
    void runHangUp() override {}
    void closeDialog() override {}
    std::string status;
    std::vector<std::string> boxes;
};

// The user may not open the device: the status line says how to get it, the box stays as it is.
TEST(ConnectSerial, APortThatRefusesTheUserGetsTheGroupHint) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "taking an ordinary user's place needs root";
    CPtyPair line;
    ASSERT_TRUE(line.valid());
    CTempPortsDir ports;
    ASSERT_EQ(::chmod(ports.path().c_str(), 0755), 0);
    ports.link("COM7", line.slavePath());
    ASSERT_EQ(::chmod(line.slavePath().c_str(), 0660), 0);
    struct stat info {};
    ASSERT_EQ(::stat(line.slavePath().c_str(), &info), 0);
    const group* owner = ::getgrgid(info.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string groupName = owner->gr_name;
    const std::string expected = text5028() + "  " +
                                 formatString(kIdsSerialPermissionHint, resolveComPort(7).c_str(),
                                              groupName.c_str(), groupName.c_str());

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // As an ordinary user (nobody), who is in no group.
        std::string report = "no privileges to drop";
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
            CVantrelDoc document;
            CSettingsFile settings;
            CLocation location;
            location.name = "Bench";
            location.portName = "COM7";
            settings.append(location);
            CRecordingWindow window;
            CEngineModemJobs jobs(document.context().engine);
            CConnectDlg logic(document, settings, window, jobs, 0, ".");
            logic.initialise();
            logic.connect();
            report = window.status + "\n" + (window.boxes.empty() ? "" : window.boxes.back());
        }
        const ssize_t written = ::write(pipeFds[1], report.data(), report.size());
        ::_exit(written < 0 ? 1 : 0);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(report, expected + "\n" + text5028());
}

} // namespace
