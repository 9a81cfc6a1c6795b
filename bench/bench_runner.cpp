// vantrel-run over a 10 000-step sequence against the demo unit on loopback: steps per second,
// and the run's memory (VmRSS after the first step, half-way and after the last; VmHWM at the
// end), with the text report's log spooled to disk as it goes. The Test window's repeat against
// a unit on loopback is measured by bench_test_dialog; both sit on the engine's floor of about
// two 10 ms waits per exchange.

#include "platform/clock.h"
#include "tests/support/peer_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <regex>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSteps = 10000;
const std::string kBin = VANTREL_BENCH_BINARY_DIR "/app/";

// A child with its standard output on a pipe, read line by line.
struct Child {
    pid_t pid = -1;
    int out = -1;
    std::string pending;

    explicit Child(const std::vector<std::string>& argv) {
        int p[2];
        if (::pipe2(p, O_CLOEXEC) != 0)
            return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(p[1], STDOUT_FILENO);
            execChild(argv);
        }
        ::close(p[1]);
        out = p[0];
    }
    std::string line() {
        while (pending.find('\n') == std::string::npos) {
            char buffer[4096];
            const ssize_t n = ::read(out, buffer, sizeof buffer);
            if (n <= 0)
                return {};
            pending.append(buffer, static_cast<std::size_t>(n));
        }
        const auto end = pending.find('\n');
        std::string text = pending.substr(0, end);
        pending.erase(0, end + 1);
        return text;
    }
};

long statusKb(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::string(field).size() + 1);
    return -1;
}

std::string writeSequence(const std::string& folder) {
    const std::string path = folder + "/bench.toml";
    std::ofstream out(path);
    out << "name = \"bench\"\n";
    for (int i = 0; i < kSteps; ++i)
        out << "[[step]]\nfunction = 3\nregister = " << (i % 100)
            << "\nquantity = 10\nexpect.max_ms = 1000\n";
    return path;
}

} // namespace

int main() {
    char folder[] = "/tmp/bench-runner-XXXXXX";
    if (::mkdtemp(folder) == nullptr)
        return 1;
    const std::string sequence = writeSequence(folder);
    Child demo(
        {kBin + "vantrel-demo-unit", "--tcp-port", "0", "--rtu-tcp-port", "0", "--no-serial"});
    std::smatch m;
    const std::string ready = demo.line();
    if (!std::regex_search(ready, m, std::regex(R"(Modbus/TCP on ([0-9.:]+),)")))
        return 1;
    const std::string report = std::string(folder) + "/report.txt";
    Child run({kBin + "vantrel-run", sequence, "--tcp", m[1], "--report", report});
    using Clock = std::chrono::steady_clock;
    Clock::time_point first;
    long rssFirst = 0;
    long rssHalf = 0;
    long rssLast = 0;
    long hwm = 0;
    for (int done = 1; done <= kSteps; ++done) {
        if (run.line().empty())
            return 1;
        if (done == 1) {
            first = Clock::now();
            rssFirst = statusKb(run.pid, "VmRSS:");
        } else if (done == kSteps / 2) {
            rssHalf = statusKb(run.pid, "VmRSS:");
        } else if (done == kSteps) {
            rssLast = statusKb(run.pid, "VmRSS:");
            hwm = statusKb(run.pid, "VmHWM:");
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - first).count();
    int status = 0;
    ::waitpid(run.pid, &status, 0);
    ::kill(demo.pid, SIGTERM);
    ::waitpid(demo.pid, nullptr, 0);
    std::ifstream reportFile(report, std::ios::ate);
    std::printf("vantrel-run, %d steps (03, 10 registers) against the demo unit on loopback\n",
                kSteps);
    std::printf("  steps/s after the first: %.1f (%.1f s)\n", (kSteps - 1) / seconds, seconds);
    std::printf("  VmRSS kB: after step 1 %ld, step %d %ld, step %d %ld; VmHWM %ld\n", rssFirst,
                kSteps / 2, rssHalf, kSteps, rssLast, hwm);
    std::printf("  exit code %d, report %lld bytes\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                static_cast<long long>(reportFile.tellg()));
    std::remove(report.c_str());
    std::remove(sequence.c_str());
    ::rmdir(folder);
    return 0;
}
