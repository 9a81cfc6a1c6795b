#include "app/register_table_window.h"
#include "windows/register_table_dlg.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

// Updating the Register Table from a 125-register result, every register changed: the logic
// alone, and the real window (offscreen) with its model, status line and orders grid, painted.
namespace {

constexpr int kRegisters = 125;
constexpr int kRounds = 2000;

// CPU time of this thread: what a step costs, whatever else the machine is doing.
double cpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

ReadOutcome result(int round) {
    ReadOutcome outcome;
    outcome.passed = true;
    outcome.read.function = 3;
    outcome.read.data.resize(2 * kRegisters);
    for (std::size_t i = 0; i < outcome.read.data.size(); ++i)
        outcome.read.data[i] = static_cast<std::uint8_t>(static_cast<int>(i) + round);
    outcome.at = utcNow();
    return outcome;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::vector<ReadOutcome> results;
    for (int round = 0; round < kRounds; ++round)
        results.push_back(result(round));

    CReadFeed feed;
    // Every other row pinned, so that the minimum and maximum follow a wide value.
    for (int row = 0; row < kRegisters; row += 2)
        feed.pins[row] = RowPin{WideType::Float32, WordOrder::CDAB};
    CRegisterTableDlg logic(feed);
    double start = cpuSeconds();
    for (int round = 0; round < kRounds; ++round)
        logic.onResult(results[static_cast<std::size_t>(round)], static_cast<std::uint32_t>(round));
    const double logicSeconds = cpuSeconds() - start;

    CRegisterTableWindow window(feed);
    window.show();
    QApplication::processEvents();
    double worst = 0;
    double updateSeconds = 0;
    start = cpuSeconds();
    for (int round = 0; round < kRounds; ++round) {
        const double before = cpuSeconds();
        feed.publish(results[static_cast<std::size_t>(round)]);
        const double updated = cpuSeconds();
        updateSeconds += updated - before;
        window.repaint();
        worst = std::max(worst, cpuSeconds() - before);
    }
    const double windowSeconds = cpuSeconds() - start;
    std::printf("logic update, %d registers: %.4f ms\n", kRegisters, logicSeconds * 1000 / kRounds);
    std::printf("window update, %d registers: %.3f ms mean\n", kRegisters,
                updateSeconds * 1000 / kRounds);
    std::printf("window update and paint, %d registers: %.3f ms mean, %.3f ms worst\n", kRegisters,
                windowSeconds * 1000 / kRounds, worst * 1000);
    return 0;
}
