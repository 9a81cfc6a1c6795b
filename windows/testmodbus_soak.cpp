// Repeat as a soak test: the pause between requests, counting failures instead of ending the run,
// and the read data the register tables follow.

#include "platform/clock.h"
#include "protocol/value_codecs.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "windows/testmodbus_dlg.h"

#include <algorithm>

namespace {

constexpr int kLastReadFunction = 4;

bool isReadFunction(int functionIndex) {
    const int code = functionCodeOfIndex(functionIndex);
    return code >= 1 && code <= kLastReadFunction;
}

} // namespace

void CTestModbusDlg::repeatNext() {
    if (runIntervalMs_ > 0 && host_.startRepeatTimer(static_cast<std::uint32_t>(runIntervalMs_))) {
        repeatTimerPending_ = true;
        return;
    }
    onTransmit();
}

void CTestModbusDlg::onRepeatTimer() {
    if (!repeatTimerPending_ || !repeating_ || closing_)
        return;
    repeatTimerPending_ = false;
    onTransmit();
}

bool CTestModbusDlg::keepsRepeatingAfter(int code) const {
    return code != kResultOk && repeating_ && runKeepsGoing_ && !closing_;
}

void CTestModbusDlg::countFailure(int code) {
    ++failuresByResult_[code];
    // A read's values box has nothing to show after a failure: it names this failure and the
    // most frequent one. A write's box keeps the operator's values.
    if (!isReadFunction(sent_.functionIndex))
        return;
    const auto mostFrequent =
        std::max_element(failuresByResult_.begin(), failuresByResult_.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    form.dataValues =
        messageText(code) + "\n" +
        substituteArgs(loadString(kIdsTestSoakFailures),
                       {std::to_string(mostFrequent->second), std::to_string(statistics_.failed),
                        messageText(mostFrequent->first)});
}

std::string testFailureBreakdown(const std::map<int, int>& failures) {
    std::string text;
    for (const auto& [code, count] : failures) {
        if (!text.empty())
            text += '\n';
        text += substituteArgs(loadString(kIdsTestSoakFailureEntry),
                               {std::to_string(count), loadString(static_cast<unsigned>(code))});
    }
    return text;
}

void CTestModbusDlg::recordReadOutcome(int check) {
    if (!isReadFunction(sent_.functionIndex)) {
        readOutcome_.reset();
        return;
    }
    ReadOutcome outcome;
    outcome.passed = check == kResultOk;
    outcome.at = utcNow();
    outcome.responseMs = statistics_.lastMs;
    outcome.run = run_;
    if (outcome.passed)
        outcome.read = readData();
    readOutcome_ = std::move(outcome);
}

RegisterRead CTestModbusDlg::readData() const {
    // Called after a passing check, which has turned an ASCII frame into binary in place.
    const int offset = message_.frameOffset();
    RegisterRead read;
    read.function = functionCodeOfIndex(sent_.functionIndex);
    read.enteredStart = sent_.startAddress;
    read.wireStart = getUInt16(&request_[offset + 2]);
    const std::size_t count = response_[offset + 2];
    const std::uint8_t* data = &response_[offset + 3];
    if (read.function <= 2) {
        const std::size_t points = std::min<std::size_t>(sent_.quantity, count * 8);
        for (std::size_t i = 0; i < points; ++i)
            read.data.push_back(static_cast<std::uint8_t>((data[i / 8] >> (i % 8)) & 1U));
    } else {
        read.data.assign(data, data + count);
    }
    return read;
}
