#pragma once

#include "runner/run_report.h"
#include "runner/sequence.h"

#include <atomic>
#include <cstdio>

class CStepExchange;
class CLogSpool;
class CCommsLogStore;

// One line per step on the terminal; a bar redrawn in place while a long repeat runs on a
// terminal. Quiet prints nothing.
class CProgressPrinter {
public:
    CProgressPrinter(std::FILE* out, bool terminal, bool quiet)
        : out_(out), terminal_(terminal), quiet_(quiet) {}
    void repeatProgress(const SequenceStep& step, int done);
    void stepDone(int pass, std::size_t number, std::size_t count, const StepResult& result,
                  bool passed);

private:
    std::FILE* out_;
    bool terminal_;
    bool quiet_;
    bool barShown_ = false;
};

// How long a run goes on: passes over the sequence, or seconds (0: not limited by time).
struct RunLimits {
    int passes = 1;
    int durationSeconds = 0;
};

// Runs the steps in order, pass after pass, judging every send and draining the comms log
// after each step. Stops at an interrupt (after the send in progress) and at a transport
// failure.
class CSequenceRun {
public:
    CSequenceRun(const Sequence& sequence, CStepExchange& exchange, CLogSpool& spool,
                 CCommsLogStore& log, CProgressPrinter& progress)
        : sequence_(sequence), exchange_(exchange), spool_(spool), log_(log), progress_(progress) {}

    void run(RunReport& report, const RunLimits& limits, const std::atomic<bool>& interrupt);

private:
    // Sends the step `repeat` times; false when the run must stop.
    bool runStep(RunReport& report, StepResult& result, const std::atomic<bool>& interrupt);
    bool timeIsUp(const RunLimits& limits, std::time_t started) const;

    const Sequence& sequence_;
    CStepExchange& exchange_;
    CLogSpool& spool_;
    CCommsLogStore& log_;
    CProgressPrinter& progress_;
    int pass_ = 0;
    std::size_t stepNumber_ = 0;
};

// True when a result code means the link to the unit failed, rather than the unit's answer.
bool isTransportFailure(int resultCode);
