#include "runner/sequence_run.h"

#include "comms/client_socket.h"
#include "comms/comms_engine.h"
#include "protocol/result_codes.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "runner/expectations.h"
#include "runner/log_spool.h"
#include "runner/step_exchange.h"

#include <ctime>

namespace {

// A repeat this long shows a bar on a terminal; shorter ones only their line.
constexpr int kBarFromRepeats = 20;
constexpr int kBarWidth = 30;
constexpr double kPercent = 100.0;
// The socket layer's result codes.
constexpr int kFirstSocketResult = 5500;
constexpr int kLastSocketResult = 5534;

bool metPassRate(int passed, int sent, double percent) {
    return sent > 0 &&
           static_cast<double>(passed) * kPercent >= percent * static_cast<double>(sent);
}

} // namespace

bool isTransportFailure(int resultCode) {
    return resultCode == kResultUnknownPortError ||
           (resultCode >= kFirstSocketResult && resultCode <= kLastSocketResult);
}

void CProgressPrinter::repeatProgress(const SequenceStep& step, int done) {
    if (quiet_ || !terminal_ || step.repeat < kBarFromRepeats)
        return;
    const int filled = static_cast<int>(static_cast<long long>(done) * kBarWidth / step.repeat);
    std::fprintf(
        out_, "\r  [%s%s] %d/%d", std::string(static_cast<std::size_t>(filled), '#').c_str(),
        std::string(static_cast<std::size_t>(kBarWidth - filled), '.').c_str(), done, step.repeat);
    std::fflush(out_);
    barShown_ = true;
}

void CProgressPrinter::stepDone(int pass, std::size_t number, std::size_t count,
                                const StepResult& result, bool passed) {
    if (quiet_)
        return;
    if (barShown_)
        std::fputs("\r\x1b[K", out_);
    barShown_ = false;
    const std::string line =
        substituteArgs(loadString(kIdsRunProgressLine),
                       {std::to_string(pass), std::to_string(number), std::to_string(count),
                        loadString(passed ? kIdsRepPass : kIdsRepFail), result.step->name,
                        std::to_string(result.last.elapsedMs),
                        passed ? std::string() : "  " + result.firstFailure});
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

void CSequenceRun::run(RunReport& report, const RunLimits& limits,
                       const std::atomic<bool>& interrupt) {
    report.steps.clear();
    for (const SequenceStep& step : sequence_.steps)
        report.steps.emplace_back(step);
    const std::time_t started = std::time(nullptr);
    for (pass_ = 1;; ++pass_) {
        if (limits.durationSeconds == 0 && pass_ > limits.passes)
            break;
        report.passes = pass_;
        for (stepNumber_ = 0; stepNumber_ < report.steps.size(); ++stepNumber_)
            if (!runStep(report, report.steps[stepNumber_], interrupt))
                return;
        if (limits.durationSeconds > 0 && timeIsUp(limits, started))
            break;
    }
}

bool CSequenceRun::timeIsUp(const RunLimits& limits, std::time_t started) const {
    return std::time(nullptr) - started >= limits.durationSeconds;
}

bool CSequenceRun::runStep(RunReport& report, StepResult& result,
                           const std::atomic<bool>& interrupt) {
    const SequenceStep& step = *result.step;
    const int passedBefore = result.passed;
    const int sentBefore = result.sent;
    bool transportFailed = false;
    for (int i = 0; i < step.repeat && !interrupt.load() && !transportFailed; ++i) {
        const ExchangeOutcome outcome = exchange_.send(step.request, interrupt);
        if (outcome.interrupted)
            break;
        result.record(outcome, judgeAttempt(step.expect, outcome));
        transportFailed = isTransportFailure(outcome.engineResult);
        progress_.repeatProgress(step, i + 1);
    }
    spool_.drain(log_);
    const int sent = result.sent - sentBefore;
    if (sent > 0) {
        const bool met =
            metPassRate(result.passed - passedBefore, sent, step.expect.passRatePercent);
        result.failedOnce = result.failedOnce || !met;
        result.stepPassed = !result.failedOnce;
        progress_.stepDone(pass_, stepNumber_ + 1, report.steps.size(), result, met);
    }
    if (transportFailed) {
        report.end = RunEnd::Unreachable;
        // The send that lost the link says why; an earlier failure of the step may not be it.
        const ExchangeOutcome& lost = result.last;
        report.endText = lost.failureText.empty()
                             ? std::string(loadString(static_cast<unsigned>(lost.engineResult)))
                             : lost.failureText;
        return false;
    }
    if (interrupt.load()) {
        report.end = RunEnd::Interrupted;
        report.endText = std::string(loadString(kIdsRunInterrupted));
        return false;
    }
    return true;
}
