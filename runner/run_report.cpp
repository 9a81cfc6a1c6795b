#include "runner/run_report.h"

#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string say(unsigned id, std::initializer_list<std::string_view> args) {
    return substituteArgs(loadString(id), args);
}

std::string utcText(std::time_t time) {
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::string isoText(std::time_t time) {
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

struct Times {
    int replies = 0;
    std::uint32_t fastest = 0;
    std::uint32_t slowest = 0;
    std::uint64_t total = 0;
    std::uint64_t mean() const {
        return replies > 0 ? total / static_cast<std::uint64_t>(replies) : 0;
    }
};

Times runTimes(const RunReport& report) {
    Times t;
    for (const StepResult& s : report.steps) {
        if (s.replies == 0)
            continue;
        t.fastest = t.replies == 0 ? s.fastestMs : std::min(t.fastest, s.fastestMs);
        t.slowest = std::max(t.slowest, s.slowestMs);
        t.total += s.totalMs;
        t.replies += s.replies;
    }
    return t;
}

std::string_view verdictText(const StepResult& s) {
    if (!s.ran())
        return loadString(kIdsRepNotRun);
    return loadString(s.stepPassed ? kIdsRepPass : kIdsRepFail);
}

void appendLine(std::string& out, const std::string& line) {
    out += line;
    out += "\r\n";
}

void appendStep(std::string& out, std::size_t number, const StepResult& s) {
    appendLine(out,
               say(kIdsRepStepLine, {std::to_string(number), verdictText(s), s.step->name,
                                     std::to_string(s.sent), std::to_string(s.passed),
                                     std::to_string(s.failed), std::to_string(s.last.elapsedMs)}));
    if (!s.ran())
        return;
    appendLine(out, say(kIdsRepRequest, {hexBytes(s.last.request)}));
    appendLine(out, say(kIdsRepReply, {hexBytes(s.last.response)}));
    if (!s.last.values.empty())
        appendLine(out, say(kIdsRepValues, {s.last.values}));
    if (!s.firstFailure.empty())
        appendLine(out, say(kIdsRepWhy, {s.firstFailure}));
    for (const Finding& finding : s.firstFailureFindings) {
        appendLine(out, say(kIdsRepCause, {finding.statement}));
        appendLine(out, say(kIdsRepNextCheck, {finding.nextCheck}));
    }
}

// JSON text of a string: quotes, backslashes and control characters escaped.
std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(byte));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string jsonValues(const std::vector<std::string>& values) {
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i > 0 ? ", " : "") + quoted(values[i]);
    return out + "]";
}

std::string jsonFindings(const std::vector<Finding>& findings) {
    std::string out = "[";
    for (std::size_t i = 0; i < findings.size(); ++i)
        out += std::string(i > 0 ? ", " : "") + "{\"statement\": " + quoted(findings[i].statement) +
               ", \"evidence\": " + quoted(findings[i].evidence) +
               ", \"next_check\": " + quoted(findings[i].nextCheck) + "}";
    return out + "]";
}

std::string jsonStep(std::size_t number, const StepResult& s) {
    const std::string verdict = !s.ran() ? "not run" : (s.stepPassed ? "pass" : "fail");
    const std::uint64_t mean =
        s.replies > 0 ? s.totalMs / static_cast<std::uint64_t>(s.replies) : 0;
    std::string out =
        "    {\"number\": " + std::to_string(number) + ", \"name\": " + quoted(s.step->name);
    out += ", \"line\": " + std::to_string(s.step->at.line);
    out += ", \"verdict\": " + quoted(verdict);
    out += ", \"sent\": " + std::to_string(s.sent) + ", \"passed\": " + std::to_string(s.passed);
    out += ", \"failed\": " + std::to_string(s.failed);
    out += ",\n     \"request\": " + quoted(hexBytes(s.last.request));
    out += ", \"response\": " + quoted(hexBytes(s.last.response));
    out += ",\n     \"values\": " + jsonValues(splitValues(s.last.values));
    out += ", \"result_code\": " + std::to_string(s.last.engineResult);
    out += ", \"exception\": " +
           (s.last.exceptionCode ? std::to_string(*s.last.exceptionCode) : std::string("null"));
    out += ",\n     \"times_ms\": {\"last\": " + std::to_string(s.last.elapsedMs) +
           ", \"fastest\": " + std::to_string(s.fastestMs) + ", \"mean\": " + std::to_string(mean) +
           ", \"slowest\": " + std::to_string(s.slowestMs) + "}";
    out +=
        ", \"failure\": " + (s.firstFailure.empty() ? std::string("null") : quoted(s.firstFailure));
    out += ",\n     \"findings\": " + jsonFindings(s.firstFailureFindings);
    return out + "}";
}

// XML text: the five characters XML reserves escaped, control characters dropped.
std::string xmlText(std::string_view text);

// The likely causes after the failure's bytes, a line each, for a CI server's failure view.
std::string junitFindings(const std::vector<Finding>& findings) {
    std::string out;
    for (const Finding& finding : findings)
        out += "\n" + xmlText(say(kIdsRepCause, {finding.statement})) + "\n" +
               xmlText(say(kIdsRepNextCheck, {finding.nextCheck}));
    return out;
}

// XML text: the five characters XML reserves escaped, control characters dropped.
std::string xmlText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\t')
                out += c;
        }
    }
    return out;
}

std::string secondsText(std::uint64_t milliseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(milliseconds) / 1000.0);
    return text;
}

} // namespace

void StepResult::record(const ExchangeOutcome& outcome, const AttemptVerdict& verdict) {
    ++sent;
    (verdict.passed ? passed : failed) += 1;
    if (!verdict.passed && firstFailure.empty()) {
        firstFailure = verdict.reason;
        firstFailureFindings = outcome.findings;
    }
    if (!outcome.response.empty()) {
        fastestMs = replies == 0 ? outcome.elapsedMs : std::min(fastestMs, outcome.elapsedMs);
        slowestMs = std::max(slowestMs, outcome.elapsedMs);
        totalMs += outcome.elapsedMs;
        ++replies;
    }
    last = outcome;
}

int RunReport::stepsPassed() const {
    return static_cast<int>(std::count_if(
        steps.begin(), steps.end(), [](const StepResult& s) { return s.ran() && s.stepPassed; }));
}

int RunReport::stepsFailed() const {
    return static_cast<int>(std::count_if(
        steps.begin(), steps.end(), [](const StepResult& s) { return s.ran() && !s.stepPassed; }));
}

bool RunReport::passed() const {
    return end == RunEnd::Completed && stepsFailed() == 0;
}

int RunReport::exitCode() const {
    switch (end) {
    case RunEnd::Interrupted:
        return kExitInterrupted;
    case RunEnd::Unreachable:
        return kExitUnreachable;
    default:
        return stepsFailed() == 0 ? kExitPassed : kExitFailed;
    }
}

std::string hexBytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char hex[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += hex;
    }
    return text;
}

std::string textVerdict(const RunReport& report) {
    std::string out;
    appendLine(out, std::string(loadString(report.passed() ? kIdsRepPass : kIdsRepFail)));
    appendLine(out, say(kIdsRepSequence, {report.sequenceName, report.sequencePath}));
    appendLine(out, say(kIdsRepUnit, {report.unit}));
    appendLine(out, say(kIdsRepLocation, {report.location}));
    appendLine(out, say(kIdsRepStarted, {utcText(report.started)}));
    appendLine(out, say(kIdsRepFinished, {utcText(report.finished)}));
    const int notRun =
        static_cast<int>(report.steps.size()) - report.stepsPassed() - report.stepsFailed();
    appendLine(out, say(kIdsRepSteps,
                        {std::to_string(report.stepsPassed()), std::to_string(report.stepsFailed()),
                         std::to_string(notRun), std::to_string(report.passes)}));
    const Times t = runTimes(report);
    appendLine(out, say(kIdsRepTimes, {std::to_string(t.replies), std::to_string(t.fastest),
                                       std::to_string(t.mean()), std::to_string(t.slowest)}));
    if (!report.endText.empty())
        appendLine(out, say(kIdsRepEnded, {report.endText}));
    return out;
}

std::string textReportHead(const RunReport& report) {
    std::string out = textVerdict(report);
    appendLine(out, {});
    appendLine(out, std::string(loadString(kIdsRepStepsTitle)));
    for (std::size_t i = 0; i < report.steps.size(); ++i)
        appendStep(out, i + 1, report.steps[i]);
    appendLine(out, {});
    return out;
}

std::string jsonReport(const RunReport& report) {
    const Times t = runTimes(report);
    std::string out = "{\n";
    out += "  \"verdict\": " + quoted(report.passed() ? "pass" : "fail") + ",\n";
    out += "  \"exit_code\": " + std::to_string(report.exitCode()) + ",\n";
    out += "  \"sequence\": " + quoted(report.sequenceName) +
           ", \"file\": " + quoted(report.sequencePath) + ",\n";
    out +=
        "  \"unit\": " + quoted(report.unit) + ", \"location\": " + quoted(report.location) + ",\n";
    out += "  \"started\": " + quoted(isoText(report.started)) +
           ", \"finished\": " + quoted(isoText(report.finished)) + ",\n";
    out += "  \"passes\": " + std::to_string(report.passes) + ",\n";
    out += "  \"steps_passed\": " + std::to_string(report.stepsPassed()) +
           ", \"steps_failed\": " + std::to_string(report.stepsFailed()) + ",\n";
    out += "  \"times_ms\": {\"replies\": " + std::to_string(t.replies) +
           ", \"fastest\": " + std::to_string(t.fastest) +
           ", \"mean\": " + std::to_string(t.mean()) +
           ", \"slowest\": " + std::to_string(t.slowest) + "},\n";
    out +=
        "  \"ended\": " + (report.endText.empty() ? std::string("null") : quoted(report.endText)) +
        ",\n";
    out += "  \"steps\": [\n";
    for (std::size_t i = 0; i < report.steps.size(); ++i)
        out += jsonStep(i + 1, report.steps[i]) + (i + 1 < report.steps.size() ? ",\n" : "\n");
    return out + "  ]\n}\n";
}

std::string junitReport(const RunReport& report) {
    const int notRun =
        static_cast<int>(report.steps.size()) - report.stepsPassed() - report.stepsFailed();
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    const std::string suite =
        xmlText(report.sequenceName.empty() ? report.sequencePath : report.sequenceName);
    out += "<testsuites>\n  <testsuite name=\"" + suite + "\" tests=\"" +
           std::to_string(report.steps.size()) + "\" failures=\"" +
           std::to_string(report.stepsFailed()) + "\" errors=\"0\" skipped=\"" +
           std::to_string(notRun) + "\" timestamp=\"" + isoText(report.started) + "\">\n";
    for (const StepResult& s : report.steps) {
        out += "    <testcase classname=\"" + suite + "\" name=\"" + xmlText(s.step->name) +
               "\" time=\"" + secondsText(s.totalMs) + "\"";
        if (s.ran() && s.stepPassed) {
            out += "/>\n";
            continue;
        }
        out += ">\n";
        if (!s.ran())
            out += "      <skipped message=\"" + xmlText(report.endText) + "\"/>\n";
        else
            out += "      <failure message=\"" + xmlText(s.firstFailure) + "\">" +
                   xmlText(hexBytes(s.last.response)) + junitFindings(s.firstFailureFindings) +
                   "</failure>\n";
        out += "    </testcase>\n";
    }
    return out + "  </testsuite>\n</testsuites>\n";
}
