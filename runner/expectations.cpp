#include "runner/expectations.h"

#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::optional<double> numberOf(const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::string numberText(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string say(unsigned id, std::initializer_list<std::string_view> args) {
    return substituteArgs(loadString(id), args);
}

// Equal values: finite numbers within the tolerance, other texts exactly. An infinity or a NaN
// is matched by its text: the difference of two is NaN, which is within no tolerance.
bool sameValue(const std::string& got, const std::string& want, double tolerance) {
    const auto gotNumber = numberOf(got);
    const auto wantNumber = numberOf(want);
    if (gotNumber && wantNumber && std::isfinite(*gotNumber) && std::isfinite(*wantNumber))
        return std::fabs(*gotNumber - *wantNumber) <= tolerance;
    return got == want;
}

std::string checkValues(const StepExpectation& expect, const std::vector<std::string>& got) {
    if (got.size() != expect.values.size())
        return say(kIdsSeqValueCount,
                   {std::to_string(got.size()), std::to_string(expect.values.size())});
    for (std::size_t i = 0; i < got.size(); ++i)
        if (!sameValue(got[i], expect.values[i], expect.tolerance.value_or(0.0)))
            return say(kIdsSeqValueDiffers, {std::to_string(i + 1), got[i], expect.values[i]});
    return {};
}

std::string checkRange(const StepExpectation& expect, const std::vector<std::string>& got) {
    for (std::size_t i = 0; i < got.size(); ++i) {
        const auto value = numberOf(got[i]);
        const std::string place = std::to_string(i + 1);
        // NaN compares false with every bound: it would pass any range.
        if (!value || std::isnan(*value))
            return say(kIdsSeqValueNotNumber, {place, got[i]});
        if (expect.minimum && *value < *expect.minimum)
            return say(kIdsSeqValueBelow, {place, got[i], numberText(*expect.minimum)});
        if (expect.maximum && *value > *expect.maximum)
            return say(kIdsSeqValueAbove, {place, got[i], numberText(*expect.maximum)});
    }
    return {};
}

std::string checkException(const StepExpectation& expect, const ExchangeOutcome& outcome) {
    const std::string want = std::to_string(*expect.exception);
    if (outcome.exceptionCode == expect.exception)
        return {};
    if (outcome.exceptionCode)
        return say(kIdsSeqOtherException, {want, std::to_string(*outcome.exceptionCode)});
    const std::string got = outcome.failureText.empty()
                                ? std::string(loadString(kIdsSeqNormalReply))
                                : outcome.failureText;
    return say(kIdsSeqNoException, {want, got});
}

std::string checkReply(const StepExpectation& expect, const ExchangeOutcome& outcome) {
    if (!outcome.windowPassed)
        return outcome.failureText.empty()
                   ? std::string(loadString(static_cast<unsigned>(outcome.engineResult)))
                   : outcome.failureText;
    const std::vector<std::string> got = splitValues(outcome.values);
    std::string reason;
    if (!expect.values.empty())
        reason = checkValues(expect, got);
    if (reason.empty() && (expect.minimum || expect.maximum))
        reason = checkRange(expect, got);
    if (reason.empty() && expect.byteCount && outcome.byteCount != expect.byteCount)
        reason =
            say(kIdsSeqByteCount, {outcome.byteCount ? std::to_string(*outcome.byteCount) : "-",
                                   std::to_string(*expect.byteCount)});
    return reason;
}

} // namespace

std::vector<std::string> splitValues(const std::string& text) {
    std::vector<std::string> values;
    std::size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        values.push_back(trimmed(std::string_view(text).substr(start, end - start)));
        start = end + 1;
    }
    return values;
}

AttemptVerdict judgeAttempt(const StepExpectation& expect, const ExchangeOutcome& outcome) {
    std::string reason =
        expect.exception ? checkException(expect, outcome) : checkReply(expect, outcome);
    if (reason.empty() && expect.maxMs &&
        outcome.elapsedMs >= static_cast<std::uint32_t>(*expect.maxMs))
        reason =
            say(kIdsSeqTooSlow, {std::to_string(outcome.elapsedMs), std::to_string(*expect.maxMs)});
    return {reason.empty(), reason};
}
