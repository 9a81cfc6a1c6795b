#include "app/comms_log_window.h"
#include "windows/comms_log_dlg.h"

#include <QApplication>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRecords = 1000000;

long long heapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU time of this thread: what a step costs, whatever else the machine is doing.
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A session's mix: TX requests, RX responses of 5 to 25 bytes, errors, flushes and events.
void fill(CCommsLogStore& store) {
    std::vector<std::uint8_t> bytes(32);
    for (int i = 0; i < kRecords; ++i) {
        for (std::size_t k = 0; k < bytes.size(); ++k)
            bytes[k] = static_cast<std::uint8_t>(i * 31 + static_cast<int>(k) * 7);
        switch (i % 10) {
        case 0:
            store.addLogRecord(5, 4, "\x8E\x13\0\0");
            break;
        case 1:
            store.addLogRecord(7, 0, nullptr);
            break;
        case 2:
            store.addLogRecord(1 + static_cast<unsigned>(i % 7), 0, nullptr);
            break;
        default:
            store.addLogRecord(i % 2 == 0 ? 2 : 3, 5 + static_cast<unsigned>(i % 21), bytes.data());
            break;
        }
    }
}

// Lists every record in batches as the timer would, returning the slowest batch in ms.
double listAll(CCommsLogWindow& window, int& batches, double& totalSeconds) {
    double slowest = 0;
    batches = 0;
    const auto start = Clock::now();
    double lastAdd = 0;
    double lastPaint = 0;
    double slowestCpu = 0;
    const double cpuStart = cpuSeconds();
    while (window.logic().nextRecord < kRecords) {
        const auto batchStart = Clock::now();
        const double batchCpu = cpuSeconds();
        window.logic().onTimer();
        lastAdd = (cpuSeconds() - batchCpu) * 1000;
        const double paintCpu = cpuSeconds();
        QCoreApplication::processEvents(); // the list repaints the rows it shows
        lastPaint = (cpuSeconds() - paintCpu) * 1000;
        slowest = std::max(slowest, secondsSince(batchStart) * 1000);
        slowestCpu = std::max(slowestCpu, (cpuSeconds() - batchCpu) * 1000);
        ++batches;
    }
    std::printf("batch CPU: mean %.3f ms, slowest %.3f ms; last batch: adding %.3f ms, "
                "painting %.3f ms\n",
                (cpuSeconds() - cpuStart) * 1000 / batches, slowestCpu, lastAdd, lastPaint);
    totalSeconds = secondsSince(start);
    return slowest;
}

} // namespace

// Lists, sorts and saves 1 000 000 log records in the real window (offscreen) and prints the
// cost of a batch on the user-interface thread, the memory each row adds, and the times of the
// sorts and of the report.
int main(int argc, char* argv[]) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    auto* store = new CCommsLogStore;
    fill(*store);
    std::atomic<std::int32_t> logEnabled{1};

    const long long heapBefore = heapBytes();
    auto* window = new CCommsLogWindow(*store, logEnabled, 0, {":", "%I:%M:%S %p", "%m/%d/%Y"},
                                       "/tmp/VNTLSettings.dat");
    window->show();
    QCoreApplication::processEvents();
    int batches = 0;
    double listSeconds = 0;
    const double slowest = listAll(*window, batches, listSeconds);
    const long long heapAfter = heapBytes();
    std::printf("listing %d records: %d batches, %.3f s in all, mean %.3f ms, slowest %.3f ms\n",
                kRecords, batches, listSeconds, listSeconds * 1000 / batches, slowest);
    std::printf("heap added by the list (window, model, view): %.1f bytes/row\n",
                static_cast<double>(heapAfter - heapBefore) / kRecords);

    const char* names[] = {"Index", "Time", "Type", "Size", "Message"};
    for (int column = 0; column < 5; ++column) {
        for (int click = 0; click < 2; ++click) {
            const auto start = Clock::now();
            const double cpu = cpuSeconds();
            window->logic().onColumnClick(column);
            QCoreApplication::processEvents();
            std::printf("sort by %-7s %s: %.3f s (CPU %.3f s)\n", names[column],
                        CCommsLogDlg::lastSort.ascending ? "ascending " : "descending",
                        secondsSince(start), cpuSeconds() - cpu);
        }
    }

    const std::string path = "/tmp/vantrel_bench_report.txt";
    const auto saveStart = Clock::now();
    const double saveCpu = cpuSeconds();
    const std::string failure = window->logic().saveReport(path);
    const double saveSeconds = secondsSince(saveStart);
    std::printf("report CPU: %.3f s\n", cpuSeconds() - saveCpu);
    std::FILE* report = std::fopen(path.c_str(), "rb");
    long size = 0;
    if (report != nullptr) {
        std::fseek(report, 0, SEEK_END);
        size = std::ftell(report);
        std::fclose(report);
    }
    std::printf("report of every row: %.3f s, %.1f MB%s%s\n", saveSeconds,
                static_cast<double>(size) / 1e6,
                failure.empty() ? "" : ", failed: ", failure.c_str());
    std::remove(path.c_str());
    delete window;
    delete store;
    return 0;
}
