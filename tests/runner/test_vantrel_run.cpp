// vantrel-run run as a user runs it, against the demo unit and the independent peers, over
// Modbus/TCP, RTU over TCP and RTU on a pseudo-terminal; its reports are read back by Python.

#include "tests/support/peer_process.h"
#include "tests/support/row_names.h"
#include "tests/support/temp_folder.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using vantrel_test::PrintTo;

const std::string kRun = VANTREL_BINARY_DIR "/app/vantrel-run";
const std::string kDemo = VANTREL_BINARY_DIR "/app/vantrel-demo-unit";
const std::string kSequences = VANTREL_SOURCE_DIR "/tests/runner/sequences/";
const std::string kExamples = VANTREL_SOURCE_DIR "/docs/examples/";
const std::string kChecker = VANTREL_SOURCE_DIR "/tests/runner/check_reports.py";
constexpr int kRunLimitMs = 60000;

// A child process with its standard output on a pipe and its standard error in a file.
class CChild {
public:
    CChild(const std::vector<std::string>& argv, const std::string& errorFile) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(err, STDERR_FILENO);
            execChild(argv);
        }
        ::close(out[1]);
        out_ = out[0];
    }
    ~CChild() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGTERM);
            reapChild(pid_);
        }
        ::close(out_);
    }
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    // The next line of output, waiting up to `limitMs`; empty at the end or on time-out.
    std::string readLine(int limitMs) {
        const std::uint32_t start = tickCount();
        while (pending_.find('\n') == std::string::npos &&
               tickCount() - start < static_cast<std::uint32_t>(limitMs)) {
            pollfd fd{out_, POLLIN, 0};
            if (::poll(&fd, 1, 100) <= 0)
                continue;
            char buffer[512];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            pending_.append(buffer, static_cast<std::size_t>(n));
        }
        const auto end = pending_.find('\n');
        if (end == std::string::npos)
            return {};
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
    }
    void signal(int number) const { ::kill(pid_, number); }
    // The exit code, or -1 when it does not end in time.
    int wait(int limitMs) {
        const std::uint32_t start = tickCount();
        int status = 0;
        while (tickCount() - start < static_cast<std::uint32_t>(limitMs)) {
            readLine(0); // keeps the pipe from filling
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            sleepMs(10);
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool reaped_ = false;
    std::string pending_;
};

// The demo unit on kernel-chosen ports, with its serial end linked in a folder of the test's.
struct DemoUnit {
    CTempFolder ports{"vantrel-run-ports"};
    std::unique_ptr<CChild> child;
    std::string tcp;
    std::string rtuTcp;
    std::string serialLink;

    explicit DemoUnit(const std::string& errorFile) {
        child = std::make_unique<CChild>(
            std::vector<std::string>{kDemo, "--tcp-port", "0", "--rtu-tcp-port", "0", "--com", "7",
                                     "--ports-dir", ports.path(), "--write-settings", settings()},
            errorFile);
        std::string ready = child->readLine(15000);
        while (!ready.empty() && ready.find("ready") == std::string::npos)
            ready = child->readLine(15000);
        std::smatch m;
        if (std::regex_search(
                ready, m, std::regex(R"(Modbus/TCP on ([0-9.:]+), RTU over TCP on ([0-9.:]+))"))) {
            tcp = m[1];
            rtuTcp = m[2];
        }
        serialLink = ports / "COM7";
    }
    // The settings file holding the demo unit's locations.
    std::string settings() const { return ports / "settings.dat"; }
};

bool pymodbusInstalled() {
    struct stat st {};
    return ::stat("/usr/lib/python3/dist-packages/pymodbus", &st) == 0;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

enum class Target {
    DemoTcp,
    DemoLocation,
    DemoRtuTcp,
    DemoPty,
    PymodbusTcp,
    PymodbusRtuTcp,
    LibmodbusTcp,
    Closed
};

struct RunRow {
    const char* name;
    Target target;
    const char*
        sequence; // under tests/runner/sequences/, or docs/examples/ when it starts with "docs:"
    int exitCode;
    int passed;
    int failed;
    int notRun;
};

const RunRow kRunRows[] = {
    {"demo_example_over_tcp", Target::DemoTcp, "docs:demo_read.toml", 0, 4, 0, 0},
    {"demo_location_of_the_settings_file", Target::DemoLocation, "docs:demo_read.toml", 0, 4, 0, 0},
    {"demo_example_rtu_over_tcp", Target::DemoRtuTcp, "docs:demo_read.toml", 0, 4, 0, 0},
    {"demo_example_rtu_on_pty", Target::DemoPty, "docs:demo_read.toml", 0, 4, 0, 0},
    {"demo_write_example", Target::DemoTcp, "docs:demo_write.toml", 0, 4, 0, 0},
    {"each_failed_expectation", Target::DemoTcp, "demo_failures.toml", 1, 2, 6, 0},
    {"pymodbus_over_tcp", Target::PymodbusTcp, "peer_pass.toml", 0, 5, 0, 0},
    {"pymodbus_rtu_over_tcp", Target::PymodbusRtuTcp, "peer_pass.toml", 0, 5, 0, 0},
    {"libmodbus_over_tcp", Target::LibmodbusTcp, "peer_pass.toml", 0, 5, 0, 0},
    {"unreachable_unit", Target::Closed, "peer_pass.toml", 2, 0, 0, 5},
};

class VantrelRun : public ::testing::TestWithParam<RunRow> {
protected:
    CTempFolder folder{"vantrel-run"};

    std::vector<std::string> command(const RunRow& row,
                                     const std::vector<std::string>& where) const {
        const std::string sequence = std::string(row.sequence).starts_with("docs:")
                                         ? kExamples + (row.sequence + 5)
                                         : kSequences + row.sequence;
        std::vector<std::string> argv{kRun,       sequence,
                                      "--report", folder / "report.txt",
                                      "--json",   folder / "report.json",
                                      "--junit",  folder / "report.xml"};
        argv.insert(argv.end(), where.begin(), where.end());
        return argv;
    }

    void checkReports(const RunRow& row) const {
        CChild checker({"/usr/bin/python3", kChecker, folder / "report.json", folder / "report.xml",
                        std::to_string(row.exitCode), std::to_string(row.passed),
                        std::to_string(row.failed), std::to_string(row.notRun)},
                       folder / "checker.err");
        const std::string verdict = checker.readLine(kRunLimitMs);
        EXPECT_EQ(checker.wait(kRunLimitMs), 0) << verdict;
        const std::string text = readAll(folder / "report.txt");
        EXPECT_TRUE(text.starts_with(row.exitCode == 0 ? "PASS\r\n" : "FAIL\r\n"))
            << text.substr(0, 200);
    }
};

// Where the row's unit is, once started; the unit lives as long as `peer` or `demo`.
std::vector<std::string> startTarget(Target target, std::unique_ptr<DemoUnit>& demo,
                                     std::unique_ptr<CPeerProcess>& peer,
                                     const std::string& errorFile) {
    const std::string pymodbus = VANTREL_SOURCE_DIR "/tests/peers/pymodbus_tcp_unit.py";
    const std::string here = "127.0.0.1:";
    switch (target) {
    case Target::DemoTcp:
    case Target::DemoLocation:
    case Target::DemoRtuTcp:
    case Target::DemoPty:
        demo = std::make_unique<DemoUnit>(errorFile);
        if (target == Target::DemoLocation)
            return {"--location", "Demo unit (Modbus/TCP)", "--settings", demo->settings()};
        if (target == Target::DemoTcp)
            return {"--tcp", demo->tcp};
        if (target == Target::DemoRtuTcp)
            return {"--tcp", demo->rtuTcp, "--framing", "rtu"};
        return {"--serial", demo->serialLink, "--baud", "9600"};
    case Target::PymodbusTcp:
    case Target::PymodbusRtuTcp:
        peer = std::make_unique<CPeerProcess>(std::vector<std::string>{
            "/usr/bin/python3", pymodbus, target == Target::PymodbusTcp ? "socket" : "rtu"});
        if (target == Target::PymodbusTcp)
            return {"--tcp", here + std::to_string(peer->port())};
        return {"--tcp", here + std::to_string(peer->port()), "--framing", "rtu"};
    case Target::LibmodbusTcp:
        peer = std::make_unique<CPeerProcess>(std::vector<std::string>{VANTREL_LIBMODBUS_UNIT});
        return {"--tcp", here + std::to_string(peer->port())};
    case Target::Closed:
        // A port that was just free: nothing listens there.
        return {"--tcp", here + "1"};
    }
    return {};
}

TEST_P(VantrelRun, ExitCodeAndReports) {
    const RunRow& row = GetParam();
    const bool python = row.target == Target::PymodbusTcp || row.target == Target::PymodbusRtuTcp;
    if (python && !pymodbusInstalled())
        GTEST_SKIP() << "python3-pymodbus is not installed";
    if (row.target == Target::LibmodbusTcp && std::string(VANTREL_LIBMODBUS_UNIT).empty())
        GTEST_SKIP() << "libmodbus-dev is not installed";
    std::unique_ptr<DemoUnit> demo;
    std::unique_ptr<CPeerProcess> peer;
    const auto where = startTarget(row.target, demo, peer, folder / "unit.err");
    CChild run(command(row, where), folder / "run.err");
    EXPECT_EQ(run.wait(kRunLimitMs), row.exitCode) << readAll(folder / "run.err");
    checkReports(row);
}

INSTANTIATE_TEST_SUITE_P(Runs, VantrelRun, ::testing::ValuesIn(kRunRows),
                         [](const auto& row) { return std::string(row.param.name); });

// Ctrl+C ends the step in progress and writes the reports so far.
TEST_F(VantrelRun, InterruptWritesTheReportsSoFar) {
    DemoUnit demo(folder / "unit.err");
    const RunRow row{"interrupted", Target::DemoTcp, "demo_stall.toml", 130, 1, 0, 1};
    CChild run(command(row, {"--tcp", demo.tcp}), folder / "run.err");
    // The first step's line says the unit is answering; the second step never is.
    EXPECT_NE(run.readLine(kRunLimitMs).find("Quick"), std::string::npos);
    run.signal(SIGINT);
    EXPECT_EQ(run.wait(kRunLimitMs), 130) << readAll(folder / "run.err");
    checkReports(row);
    EXPECT_NE(readAll(folder / "report.txt").find("Comms Log"), std::string::npos);
}

struct RefusedRow {
    const char* name;
    const char* text;  // the sequence file
    const char* where; // the place the message names
};

// Refused before anything is sent: the unit named does not exist, so a file taken would exit 2.
const RefusedRow kRefusedRows[] = {
    {"syntax", "name = \"x\"\n[[step]]\nfunction = = 3\n", ":3:"},
    {"unknown_key", "[[step]]\nfunction = 3\nregsiter = 4\n", ":3:1:"},
    {"wrong_type", "[[step]]\nfunction = \"3\"\n", ":2:1:"},
    {"out_of_range", "[[step]]\nfunction = 3\nquantity = 70000\n", ":3:1:"},
    {"refused_by_the_window", "[[step]]\nfunction = 16\nregister = 0\nquantity = 2\nvalues = [1]\n",
     ":5:1: This write needs exactly 2"},
    {"type_not_offered", "[[step]]\nfunction = 1\ntype = \"float\"\n", ":3:1:"},
};

class VantrelRunRefuses : public ::testing::TestWithParam<RefusedRow> {};

} // namespace

TEST_P(VantrelRunRefuses, BadFileWithLineAndColumn) {
    CTempFolder folder{"vantrel-run"};
    const std::string path = folder / "bad.toml";
    std::ofstream(path) << GetParam().text;
    CChild run({kRun, path, "--tcp", "127.0.0.1:1"}, folder / "run.err");
    EXPECT_EQ(run.wait(kRunLimitMs), 3);
    const std::string error = readAll(folder / "run.err");
    EXPECT_NE(error.find(path + GetParam().where), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Files, VantrelRunRefuses, ::testing::ValuesIn(kRefusedRows),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(VantrelRunOptions, BadOptionsAreExitCodeThree) {
    CTempFolder folder{"vantrel-run"};
    for (const auto& argv : std::vector<std::vector<std::string>>{
             {kRun, kExamples + "demo_read.toml"},
             {kRun, kExamples + "demo_read.toml", "--tcp", "127.0.0.1:1", "--location", "x"},
             {kRun, kExamples + "demo_read.toml", "--tcp", "127.0.0.1:1", "--repeat", "0"},
             {kRun, kExamples + "demo_read.toml", "--serial", "COM3", "--baud", "1234"}}) {
        CChild run(argv, folder / "run.err");
        EXPECT_EQ(run.wait(kRunLimitMs), 3) << argv.back();
    }
}
