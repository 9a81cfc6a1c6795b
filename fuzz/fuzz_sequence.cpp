#include "runner/sequence_reader.h"
#include "runner/sequence_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

// Any text as a sequence file: no crash, a refusal always has a position inside the text, and
// every step that reads writes back to a step that reads the same request.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SequenceReadResult read = readSequence(text);
    if (!read.sequence) {
        if (read.error.text.empty() || read.error.at.line < 0 || read.error.at.column < 0)
            std::abort();
        return 0;
    }
    for (const SequenceStep& step : read.sequence->steps) {
        const SequenceReadResult back = readSequence(stepText(step));
        if (!back.sequence || back.sequence->steps.size() != 1)
            std::abort();
        const StepRequest& a = step.request;
        const StepRequest& b = back.sequence->steps[0].request;
        if (a.functionIndex != b.functionIndex || a.address != b.address ||
            a.quantity != b.quantity || a.values != b.values || a.modbusId != b.modbusId)
            std::abort();
    }
    return 0;
}
