#pragma once

#include "runner/expectations.h"
#include "runner/sequence.h"
#include "runner/step_exchange.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// Exit codes of vantrel-run.
constexpr int kExitPassed = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUnreachable = 2;
constexpr int kExitBadInput = 3;
constexpr int kExitInterrupted = 130;

// How a run ended.
enum class RunEnd {
    Completed,
    Interrupted,
    Unreachable, // not connected, or the transport failed
};

// What a step gave over every pass of the run: counts and times of its sends, the last send as
// it went, and why the first failing send failed.
struct StepResult {
    explicit StepResult(const SequenceStep& sequenceStep) : step(&sequenceStep) {}

    const SequenceStep* step = nullptr;
    int sent = 0;
    int passed = 0;
    int failed = 0;
    int replies = 0; // sends answered by the unit
    std::uint32_t fastestMs = 0;
    std::uint32_t slowestMs = 0;
    std::uint64_t totalMs = 0;
    ExchangeOutcome last;
    std::string firstFailure;
    std::vector<Finding> firstFailureFindings; // the likely causes of the first failure
    bool stepPassed = true;                    // the pass rate of the step's last pass was met
    bool failedOnce = false;

    bool ran() const { return sent > 0; }
    void record(const ExchangeOutcome& outcome, const AttemptVerdict& verdict);
};

struct RunReport {
    std::string sequencePath;
    std::string sequenceName;
    std::string unit;
    std::string location;
    std::time_t started = 0;
    std::time_t finished = 0;
    int passes = 0;
    RunEnd end = RunEnd::Completed;
    std::string endText; // why the run did not complete
    std::vector<StepResult> steps;

    int stepsPassed() const;
    int stepsFailed() const;
    bool passed() const;
    int exitCode() const;
};

// The verdict and the figures the text report begins with.
std::string textVerdict(const RunReport& report);
// The report's parts. The text report is followed by the comms log, which the caller appends.
std::string textReportHead(const RunReport& report);
std::string jsonReport(const RunReport& report);
std::string junitReport(const RunReport& report);

// Every byte as two hexadecimal digits, separated by blanks.
std::string hexBytes(const std::vector<std::uint8_t>& bytes);
