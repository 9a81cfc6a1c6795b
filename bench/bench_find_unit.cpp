// The finder's full default serial sweep on a pseudo-terminal where no unit answers: every probe
// waits its whole time-out. Prints the sweep length the window announces (probes × time-out)
// beside the measured one, and what each probe costs above its time-out (opening the port anew at
// each setting, the comms thread's idle wait before it takes a job, the result's way back).
//
// The default sweep takes some four minutes; `--benchmark_filter=/10` runs it at 10 ms a probe.

#include "platform/clock.h"
#include "platform/message_queue.h"
#include "tests/support/test_serial_support.h"
#include "windows/find_unit_dlg.h"
#include "windows/vantrel_doc.h"

#include <benchmark/benchmark.h>
#include <chrono>

namespace {

class CBenchView : public IFindUnitView {
public:
    void sweepChanged() override {}
    void messageBox(const std::string&) override {}
    void startConnectTicks() override {}
    void stopConnectTicks() override {}
};

void BM_DefaultSerialSweep(benchmark::State& state) {
    CPtyPair line;
    CTempPortsDir ports;
    ports.link("COM3", line.slavePath());
    const auto timeoutMs = static_cast<int>(state.range(0));
    int probes = 0;
    double measuredMs = 0;
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        CVantrelDoc document;
        CMessageQueue notify;
        CBenchView view;
        CFindUnitDlg finder(document, view, notify.handle());
        finder.form.portName = "COM3";
        finder.form.timeoutText = std::to_string(timeoutMs);
        if (!finder.start().accepted) {
            state.SkipWithError("the default form was refused");
            return;
        }
        while (finder.state() == FindState::Running) {
            const auto message = notify.waitFor(WM_COMMS_RESULT, 10000);
            if (!message) {
                state.SkipWithError("a probe got no result");
                return;
            }
            finder.onCommsResult(message->wParam, message->lParam);
        }
        probes = finder.probesDone();
        measuredMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count();
    }
    const double announcedMs = double(probes) * timeoutMs;
    state.counters["probes"] = probes;
    state.counters["announced_s"] = announcedMs / 1000.0;
    state.counters["measured_s"] = measuredMs / 1000.0;
    state.counters["overhead_ms_per_probe"] = probes > 0 ? (measuredMs - announcedMs) / probes : 0;
}

BENCHMARK(BM_DefaultSerialSweep)
    ->Arg(kFindDefaultTimeoutMs)
    ->Arg(10)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
