#pragma once

#include "diagnosis/diagnose.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class CCommsLogStore;

// What the Test dialog shows of the diagnosis of its exchanges: the "Likely cause" line below the
// statistics, the details of every finding, and in Repeat the cause found most often so far.
// It also keeps what the next exchange's diagnosis needs of the earlier ones.
class CDiagnosisView {
public:
    // Forgets the findings and the tally, and the line and details with them.
    void clear();
    // A request is about to be queued; its records start at the log's `firstRecord`.
    void beginExchange(int firstRecord) { firstRecord_ = firstRecord; }
    int firstRecord() const { return firstRecord_; }

    // Diagnoses the exchange that ended with `evidence` (its records, request and result filled
    // in; the earlier exchanges are added here), and remembers it for the next one.
    void finishExchange(DiagnosisEvidence evidence);

    const std::vector<Finding>& findings() const { return findings_; }
    // "Likely cause: ..." with the first finding of the last exchange; in Repeat, the cause found
    // first most often so far, with how often among the exchanges since Repeat started. Empty
    // when there is none.
    std::string line(bool repeating) const;
    // Every finding of the last exchange: statement, evidence and next check, a blank line apart.
    std::string details() const;

private:
    static constexpr std::size_t kRecentKept = 8;
    static constexpr std::size_t kCauseCount = static_cast<std::size_t>(Cause::kCount);

    int firstRecord_ = 0;
    std::vector<Finding> findings_;
    std::optional<PreviousExchange> previous_;
    std::vector<int> recent_;
    // Per cause, how often it came first, and its finding as last seen.
    std::array<int, kCauseCount> tally_{};
    std::array<std::optional<Finding>, kCauseCount> tallied_{};
    int exchanges_ = 0;
    int withFinding_ = 0;
};

// Adds the FINDING record of `finding` to the log. Returns as CCommsLogStore::addLogRecord.
int addFindingRecord(CCommsLogStore& log, const Finding& finding);
