#pragma once

#include "runner/sequence.h"

#include <optional>
#include <string>
#include <string_view>

// Why a sequence file was refused: where, and what is wrong there.
struct SequenceError {
    SourcePosition at;
    std::string text;
};

struct SequenceReadResult {
    std::optional<Sequence> sequence; // empty when refused
    SequenceError error;
};

// Reads a sequence from the text of a TOML file. Every key must be known, of its type and in
// its range; the first fault refuses the whole file.
SequenceReadResult readSequence(std::string_view text);
// Reads the file at `path`; a file that cannot be read is refused at line 0.
SequenceReadResult readSequenceFile(const std::string& path);

// "FILE:LINE:COLUMN: text", the form compilers and editors jump to.
std::string sequenceErrorText(const std::string& path, const SequenceError& error);
