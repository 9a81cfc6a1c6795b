#pragma once

#include "runner/sequence.h"
#include "runner/step_exchange.h"

#include <string>
#include <vector>

// The values of the data values box, one text per value.
std::vector<std::string> splitValues(const std::string& text);

// Whether one send met the step's expectations; `reason` says why not.
struct AttemptVerdict {
    bool passed = false;
    std::string reason;
};

AttemptVerdict judgeAttempt(const StepExpectation& expect, const ExchangeOutcome& outcome);
