// A long repeat with Log Communications on, through the real Test Modbus Communications window
// (offscreen) against vantrel-demo-unit over Modbus/TCP: the resident memory at the start and at
// each milestone, every exchange's result, and the saved Communications Log report, which must
// hold every record once, those sent to the journal included.
//
// Usage: bench_log_soak [EXCHANGES [MEMORY_BOUND]]   (default 100000 and the program's bound)

#include "app/testmodbus_window.h"
#include "bench_app_support.h"
#include "comms/comms_context.h"
#include "commslog/comms_log_journal.h"
#include "platform/clock.h"
#include "tests/support/temp_folder.h"
#include "windows/comms_log_dlg.h"
#include "windows/vantrel_doc.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

// vantrel-demo-unit on a port the kernel chooses, read from its ready line.
class CDemoUnit {
public:
    CDemoUnit() {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            // The unit ends with the benchmark, however it ends.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::dup2(out[1], STDOUT_FILENO);
            ::execl(VANTREL_DEMO_UNIT, VANTREL_DEMO_UNIT, "--tcp-port", "0", "--rtu-tcp-port", "0",
                    "--no-serial", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        std::string line;
        pollfd fd{out[0], POLLIN, 0};
        char buffer[256];
        while (line.find('\n') == std::string::npos && ::poll(&fd, 1, 15000) > 0) {
            const ssize_t n = ::read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        const std::size_t at = line.find("127.0.0.1:");
        if (at != std::string::npos)
            port_ = static_cast<std::uint16_t>(std::atoi(line.c_str() + at + 10));
    }
    ~CDemoUnit() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    CDemoUnit(const CDemoUnit&) = delete;
    CDemoUnit& operator=(const CDemoUnit&) = delete;
    std::uint16_t port() const { return port_; }

private:
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
};

class CPrintingMessageBox : public IMessageBox {
public:
    void showMessage(const std::string& text) override {
        std::printf("message: %s\n", text.c_str());
    }
};

// The log window's answers for Save to File: list everything first, save to `path`, no viewer.
class CSavingLogWindow final : public ICommsLogWindow {
public:
    explicit CSavingLogWindow(std::string path) : path_(std::move(path)) {}
    void beginAddRows(int, int) override {}
    void endAddRows() override {}
    void beginResetRows() override {}
    void endResetRows() override {}
    void beginRemoveRows(int, int) override {}
    void endRemoveRows() override {}
    void showJournalNote(const std::string& text) override { note = text; }
    void showStatus(const std::string&) override {}
    void hideStatus() override {}
    void enableButtons(bool) override {}
    void startBatchTimer() override {}
    void stopBatchTimer() override {}
    bool askRefreshBeforeSave() override { return true; }
    std::string askReportPath(const std::string&) override { return path_; }
    void showMessage(const std::string& text) override {
        std::printf("message: %s\n", text.c_str());
    }
    bool startViewer(const std::string&) override { return false; }
    bool showsLastRow() const override { return false; }
    void showLastRow() override {}
    std::string note;

private:
    std::string path_;
};

// The report's entries are the lines that start with an index; the rest are page headers and
// the continuations of long messages. Returns how many indexes 0..count-1 appear exactly once,
// or -1 when any other index or a repeat appears.
long reportedOnce(const std::string& path, int count) {
    std::ifstream report(path, std::ios::binary);
    std::vector<unsigned char> seen(static_cast<std::size_t>(count), 0);
    std::string line;
    long once = 0;
    while (std::getline(report, line)) {
        std::size_t at = line.find_first_not_of(" \f");
        if (at > 3 || line.size() < at + 2 || std::isdigit(line[at]) == 0)
            continue;
        const long index = std::atol(line.c_str() + at);
        if (index < 0 || index >= count || seen[static_cast<std::size_t>(index)]++ != 0)
            return -1;
        ++once;
    }
    return once;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const int exchanges = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int bound = argc > 2 ? std::atoi(argv[2]) : kLogMemoryRecords;
    int qtArgc = 1;
    char name[] = "bench_log_soak";
    char* qtArgv[] = {name, nullptr};
    QApplication app(qtArgc, qtArgv);
    CTempFolder folder("vantrel-soak");
    CDemoUnit unit;
    CVantrelDoc document;
    CPrintingMessageBox messages;
    CNoDialogs dialogs;
    CCommsLogStore& log = document.context().engine.logRecords;
    log.setMemoryBound(bound);
    log.setJournalPath(journalPathBeside(folder / "VNTLSettings.dat"));
    document.setLogComms(1);
    if (unit.port() == 0 || !document.onNewDocument(messages) ||
        !connectDocument(document, unit.port())) {
        std::printf("could not start or reach the demo unit\n");
        return 1;
    }
    const TestStatistics* stats = nullptr;
    {
        CTestModbusWindow window(document, dialogs,
                                 {MediaType::TcpIp, ModbusType::ModbusTcp, 1, 0, ","}, &messages);
        window.show();
        window.findChild<QLineEdit*>(QStringLiteral("quantity"))->setText(QStringLiteral("10"));
        QCoreApplication::processEvents();
        std::printf("%d exchanges of 10 holding registers with vantrel-demo-unit, memory bound %d "
                    "records\n",
                    exchanges, log.memoryBound());
        std::printf("%8s %10s %10s %10s %9s\n", "exchanges", "records", "in journal", "VmRSS kB",
                    "seconds");
        const auto start = Clock::now();
        const auto milestone = [&](int done) {
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            std::printf("%8d %10d %10d %10ld %9.0f\n", done, log.count(), log.firstInMemory(),
                        residentKilobytes(), seconds);
            std::fflush(stdout);
        };
        milestone(0);
        window.findChild<QPushButton*>(QStringLiteral("repeat"))->click();
        stats = &window.logic().statistics();
        int next = exchanges / 10;
        while (stats->passed + stats->failed < exchanges && window.logic().repeating()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            if (stats->passed + stats->failed >= next) {
                milestone(next);
                next += exchanges / 10;
            }
        }
        window.findChild<QPushButton*>(QStringLiteral("repeat"))->click();
        QCoreApplication::processEvents();
        std::printf("results: %d passed, %d failed\n", stats->passed, stats->failed);
        if (stats->passed != exchanges || stats->failed != 0)
            return 1;
        window.reject();
    }
    document.setLogComms(0);
    document.closeSocket();

    std::atomic<std::int32_t>& enabled = document.context().engine.logEnabled;
    const std::string reportPath = folder / "VantrelLog";
    CSavingLogWindow logWindow(reportPath);
    CCommsLogStoreRecords records(log);
    CCommsLogDlg logDlg(records, enabled, logWindow, {}, folder / "VNTLSettings.dat");
    const auto saveStart = Clock::now();
    logDlg.onSaveToFile();
    const double saveSeconds = std::chrono::duration<double>(Clock::now() - saveStart).count();
    const long once = reportedOnce(reportPath, log.count());
    std::printf("note: %s\n", logWindow.note.c_str());
    std::printf(
        "report: %ld of %d records, each once, saved in %.1f s; VmRSS after saving %ld kB\n", once,
        log.count(), saveSeconds, residentKilobytes());
    return once == log.count() ? 0 : 1;
}
