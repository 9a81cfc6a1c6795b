// The demo unit run as a user runs it, spoken to by libmodbus clients over each of its three
// transports.

#include "comms/comms_context.h"
#include "comms/port_map.h"
#include "config/demo_locations.h"
#include "config/settings_file.h"
#include "demo/demo_table.h"
#include "platform/message_queue.h"
#include "tests/support/engine_test_support.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_frames.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kDemoUnit = VANTREL_BINARY_DIR "/app/vantrel-demo-unit";

// Reads what `fd` gives until a newline or `limitMs`.
std::string readLine(int fd, int limitMs) {
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
        pollfd poller{fd, POLLIN, 0};
        if (::poll(&poller, 1, 100) <= 0)
            continue;
        char buffer[256];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    return line;
}

// The demo unit as a child process, with its standard output and error on pipes.
class CDemoProcess {
public:
    explicit CDemoProcess(const std::vector<std::string>& options) {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(kDemoUnit)};
            for (const std::string& option : options)
                argv.push_back(const_cast<char*>(option.c_str()));
            argv.push_back(nullptr);
            ::execv(kDemoUnit, argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        stdout_ = out[0];
        stderr_ = err[0];
    }
    ~CDemoProcess() {
        stop(SIGKILL);
        ::close(stdout_);
        ::close(stderr_);
    }
    CDemoProcess(const CDemoProcess&) = delete;
    CDemoProcess& operator=(const CDemoProcess&) = delete;

    std::string outputLine(int limitMs = 15000) const { return readLine(stdout_, limitMs); }
    std::string errorLine(int limitMs = 15000) const { return readLine(stderr_, limitMs); }

    // Sends `signal` and returns the exit status (-1: did not end within 5 s, then killed).
    int stop(int signal) {
        if (pid_ <= 0)
            return -1;
        ::kill(pid_, signal);
        int status = 0;
        for (int i = 0; i < 500; ++i) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            ::usleep(10000);
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return -1;
    }

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    int stderr_ = -1;
};

int portIn(const std::string& line, const char* what) {
    std::smatch match;
    if (!std::regex_search(line, match,
                           std::regex(std::string(what) + " on 127\\.0\\.0\\.1:(\\d+)")))
        return 0;
    return std::atoi(match[1].str().c_str());
}

// A libmodbus context for RTU frames on a TCP connection to `port`.
modbus_t* rtuOverTcp(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return nullptr;
    }
    modbus_t* context = modbus_new_rtu("/dev/null", 19200, 'N', 8, 1);
    modbus_set_socket(context, fd);
    return context;
}

void closeContext(modbus_t* context) {
    if (context == nullptr)
        return;
    ::close(modbus_get_socket(context));
    modbus_free(context);
}

class DemoUnit : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.valid());
        directory = folder.path();
        unit = std::make_unique<CDemoProcess>(std::vector<std::string>{
            "--tcp-port", "0", "--rtu-tcp-port", "0", "--com", "7", "--ports-dir",
            directory + "/ports", "--write-settings", directory + "/VNTLSettings.dat"});
        ready = unit->outputLine();
        tcpPort = portIn(ready, "Modbus/TCP");
        rtuPort = portIn(ready, "RTU over TCP");
        ASSERT_GT(tcpPort, 0) << ready;
        ASSERT_GT(rtuPort, 0) << ready;
    }
    void TearDown() override {
        unit.reset();
        std::system(("rm -rf '" + directory + "'").c_str());
    }

    modbus_t* tcpClient() const {
        modbus_t* context = modbus_new_tcp("127.0.0.1", tcpPort);
        EXPECT_EQ(modbus_connect(context), 0);
        return context;
    }

    CTempFolder folder{"tmp-demo"};
    std::string directory;
    std::unique_ptr<CDemoProcess> unit;
    std::string ready;
    int tcpPort = 0;
    int rtuPort = 0;
};

TEST_F(DemoUnit, ServesOneTableOnEveryTransportAndEndsCleanly) {
    const std::string link = directory + "/ports/COM7";
    EXPECT_NE(ready.find("COM7"), std::string::npos) << ready;

    modbus_t* tcp = tcpClient();
    std::uint16_t registers[10] = {};
    ASSERT_EQ(modbus_read_registers(tcp, 0, 10, registers), 10);
    for (std::uint16_t n = 0; n < 10; ++n)
        EXPECT_EQ(registers[n], n);
    ASSERT_EQ(modbus_write_register(tcp, 5, 1234), 1);

    // The write is seen over RTU on TCP and on the serial end: one table.
    modbus_t* rtuTcp = rtuOverTcp(rtuPort);
    ASSERT_NE(rtuTcp, nullptr);
    modbus_set_slave(rtuTcp, kDemoModbusId);
    ASSERT_EQ(modbus_read_registers(rtuTcp, 5, 1, registers), 1);
    EXPECT_EQ(registers[0], 1234);
    ASSERT_EQ(modbus_read_input_registers(rtuTcp, 3, 1, registers), 1);
    EXPECT_EQ(registers[0], 10003);
    // 07, which libmodbus leaves to the unit, answered with a good CRC.
    const std::uint8_t readExceptionStatus[] = {kDemoModbusId, 0x07};
    ASSERT_GT(modbus_send_raw_request(rtuTcp, readExceptionStatus, 2), 0);
    std::uint8_t answer[MODBUS_RTU_MAX_ADU_LENGTH];
    ASSERT_EQ(modbus_receive_confirmation(rtuTcp, answer), 5) << modbus_strerror(errno);
    EXPECT_EQ(answer[2], kDemoExceptionStatus);

    modbus_t* serial = modbus_new_rtu(link.c_str(), 19200, 'N', 8, 1);
    modbus_set_slave(serial, kDemoModbusId);
    ASSERT_EQ(modbus_connect(serial), 0) << link;
    std::uint8_t bits[4] = {};
    ASSERT_EQ(modbus_read_bits(serial, 0, 4, bits), 4);
    EXPECT_EQ(std::vector<int>(bits, bits + 4), (std::vector<int>{0, 1, 0, 1}));
    ASSERT_EQ(modbus_read_registers(serial, 5, 1, registers), 1);
    EXPECT_EQ(registers[0], 1234);
    modbus_close(serial);
    modbus_free(serial);
    closeContext(rtuTcp);
    modbus_close(tcp);
    modbus_free(tcp);

    CSettingsFile written;
    written.path = directory + "/VNTLSettings.dat";
    ASSERT_TRUE(written.load());
    ASSERT_EQ(written.count(), 2);
    EXPECT_EQ(written.getLocation(0)->tcpPort, tcpPort) << "the port the unit really listens on";
    EXPECT_EQ(written.getLocation(1)->portName, "COM7");

    EXPECT_EQ(unit->stop(SIGTERM), 0);
    struct stat info {};
    EXPECT_NE(::lstat(link.c_str(), &info), 0) << "the link goes with the unit";
}

// The program's own serial port and engine reach the unit through its COM link, also after the
// port has been closed and opened again, as a reconnect does.
TEST_F(DemoUnit, TheProgramsSerialPortReachesItsComLink) {
    setPortsDirectory(directory + "/ports");
    CCommsContext ctx;
    CModbusMessage& m = ctx.message;
    m.serialLink = 1;
    m.binaryMode = 1;
    m.modbusId = kDemoModbusId;
    m.retries = 0;
    m.time1 = 3000;
    m.time2 = 300;
    m.readPause = 1;
    ASSERT_TRUE(ctx.engine.startThread(ctx));
    Bytes request = rtuFrame({1, 3, 0, 7, 0, 2});
    for (int connection = 0; connection < 2; ++connection) {
        ctx.serialPort.open(7, 9600, Parity::None, 8, StopBits::One, FlowControl::None, true);
        ASSERT_TRUE(ctx.serialPort.isOpen()) << "connection " << connection;
        ctx.serialPort.setTimeouts({kReadIntervalImmediate, 0, 0, 0, 0});
        CSubmitter submitter;
        ASSERT_EQ(submitter.submit(ctx.engine, request), 0);
        const auto result = submitter.result();
        ASSERT_TRUE(result);
        EXPECT_EQ(result->lParam, 0);
        EXPECT_EQ(submitter.received(), rtuFrame({1, 3, 4, 0, 7, 0, 8}));
        ctx.serialPort.close();
    }
    ctx.engine.stopThread(ctx);
    setPortsDirectory({});
}

TEST_F(DemoUnit, ABusyPortIsReportedInOneLine) {
    CDemoProcess second({"--tcp-port", std::to_string(tcpPort), "--no-serial"});
    const std::string line = second.errorLine();
    EXPECT_NE(line.find(std::to_string(tcpPort)), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    EXPECT_EQ(second.stop(0), 1);
}

struct FaultCase {
    const char* name;
    int address;
    int timeoutMs;
    int expectedErrno; // 0: the answer comes
    int minimumMs;
};

void PrintTo(const FaultCase& row, std::ostream* out) {
    *out << row.name;
}

class DemoUnitFaults : public DemoUnit, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DemoUnitFaults, StartAddressChoosesTheFault) {
    const FaultCase& c = GetParam();
    modbus_t* tcp = tcpClient();
    modbus_set_response_timeout(tcp, static_cast<std::uint32_t>(c.timeoutMs / 1000),
                                static_cast<std::uint32_t>(c.timeoutMs % 1000) * 1000);
    std::uint16_t value = 0;
    const auto start = std::chrono::steady_clock::now();
    const int result = modbus_read_registers(tcp, c.address, 1, &value);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    if (c.expectedErrno == 0) {
        EXPECT_EQ(result, 1);
        EXPECT_EQ(value, c.address);
    } else {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(errno, c.expectedErrno) << modbus_strerror(errno);
    }
    EXPECT_GE(elapsed, c.minimumMs);
    modbus_close(tcp);
    modbus_free(tcp);
}

INSTANTIATE_TEST_SUITE_P(Addresses, DemoUnitFaults,
                         ::testing::Values(FaultCase{.name = "Late",
                                                     .address = kDemoLateAnswerAddress,
                                                     .timeoutMs = 4000,
                                                     .expectedErrno = 0,
                                                     .minimumMs = kDemoLateAnswerMs / 2},
                                           FaultCase{.name = "None",
                                                     .address = kDemoNoAnswerAddress,
                                                     .timeoutMs = 500,
                                                     .expectedErrno = ETIMEDOUT,
                                                     .minimumMs = 400},
                                           FaultCase{.name = "Exception",
                                                     .address = kDemoExceptionAnswerAddress,
                                                     .timeoutMs = 2000,
                                                     .expectedErrno = EMBXSFAIL,
                                                     .minimumMs = 0},
                                           FaultCase{.name = "Neighbour",
                                                     .address = kDemoExceptionAnswerAddress + 1,
                                                     .timeoutMs = 2000,
                                                     .expectedErrno = 0,
                                                     .minimumMs = 0}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
