#pragma once

#include "runner/sequence.h"

#include <string>

struct TestStepEntries;

// The step Save Step records: the request on screen, with the values last received as its
// expected values.
SequenceStep stepOfEntries(const TestStepEntries& entries, const std::string& name);

// The TOML text of one [[step]] table, as readSequence reads it back.
std::string stepText(const SequenceStep& step);

// Appends the step to the sequence file at `path`, which is created with a header when it does
// not exist. Returns 0, or the errno of the failure.
int appendStepToFile(const std::string& path, const SequenceStep& step);
