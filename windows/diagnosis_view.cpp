#include "windows/diagnosis_view.h"

#include "commslog/comms_log_store.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <algorithm>

void CDiagnosisView::clear() {
    findings_.clear();
    tally_.fill(0);
    tallied_.fill(std::nullopt);
    exchanges_ = 0;
    withFinding_ = 0;
}

void CDiagnosisView::finishExchange(DiagnosisEvidence evidence) {
    evidence.previous = previous_;
    evidence.recentResults = recent_;
    findings_ = diagnose(evidence);

    PreviousExchange previous{evidence.requestSent, 0, evidence.result};
    for (const ExchangeRecord& r : evidence.records)
        if (r.type == CommsLogType::Tx)
            previous.txAtMs = r.atMs;
    previous_ = std::move(previous);
    recent_.push_back(evidence.result);
    if (recent_.size() > kRecentKept)
        recent_.erase(recent_.begin());

    ++exchanges_;
    if (findings_.empty())
        return;
    ++withFinding_;
    const auto cause = static_cast<std::size_t>(findings_.front().cause);
    ++tally_[cause];
    tallied_[cause] = findings_.front();
}

std::string CDiagnosisView::line(bool repeating) const {
    if (!repeating || withFinding_ == 0) {
        if (findings_.empty())
            return {};
        return substituteArgs(loadString(kIdsDiagLikelyCause), {findings_.front().statement});
    }
    const auto most =
        static_cast<std::size_t>(std::max_element(tally_.begin(), tally_.end()) - tally_.begin());
    const std::string count = substituteArgs(
        loadString(kIdsDiagRepeatCount),
        {tallied_[most]->statement, std::to_string(tally_[most]), std::to_string(exchanges_)});
    return substituteArgs(loadString(kIdsDiagLikelyCause), {count});
}

std::string CDiagnosisView::details() const {
    std::string text;
    for (const Finding& f : findings_) {
        if (!text.empty())
            text += "\n\n";
        text += f.statement;
        text += '\n';
        text += substituteArgs(loadString(kIdsDiagEvidence), {f.evidence});
        text += '\n';
        text += substituteArgs(loadString(kIdsDiagNextCheck), {f.nextCheck});
    }
    return text;
}

int addFindingRecord(CCommsLogStore& log, const Finding& finding) {
    const unsigned id = causeTextId(finding.cause);
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(id & 0xFF), static_cast<std::uint8_t>((id >> 8) & 0xFF),
        static_cast<std::uint8_t>((id >> 16) & 0xFF), static_cast<std::uint8_t>(id >> 24)};
    return log.addLogRecord(static_cast<unsigned>(CommsLogType::Finding), sizeof bytes, bytes);
}
