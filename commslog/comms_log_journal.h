#pragma once

#include "commslog/comms_log_store.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

// The comms log's journal: the file that receives the records the in-memory log no longer holds,
// oldest first, so that a long run keeps every record without growing in memory. It is written
// and emptied under the log's lock and read back when a report is saved.

// The journal's first bytes.
constexpr std::string_view kJournalMagic = "VNTLJNL1";
// Each record: time (4 bytes), milliseconds, type and size (2 bytes each), little-endian, then
// `size` data bytes.
constexpr std::size_t kJournalRecordHead = 10;

// Appends the journal's encoding of `record` to `out`.
void encodeJournalRecord(const CCommsLogRecord& record, std::string& out);
// Decodes the whole records at the front of `bytes`, handing each to `visit` (false stops).
// Returns the bytes consumed: a record cut off at the end is left for the next call.
using JournalVisitor = std::function<bool(const CCommsLogRecord&)>;
std::size_t decodeJournalRecords(std::span<const std::uint8_t> bytes, const JournalVisitor& visit);

// The journal beside the settings file `settingsPath`.
std::string journalPathBeside(const std::string& settingsPath);

class CCommsLogJournal {
public:
    CCommsLogJournal() = default;
    CCommsLogJournal(const CCommsLogJournal&) = delete;
    CCommsLogJournal& operator=(const CCommsLogJournal&) = delete;
    ~CCommsLogJournal();

    void setPath(std::string path) { path_ = std::move(path); }
    const std::string& path() const { return path_; }
    bool enabled() const { return !path_.empty(); }

    // Appends `count` records; the first append after a clear starts the file anew. Returns 0,
    // or the errno of the failure, after which the file holds what it held before.
    int append(const CCommsLogRecord* records, std::size_t count);
    // Empties the journal and removes its file.
    void clear();
    std::size_t records() const { return records_; }
    // Reads the first `count` records back, oldest first. Returns 0 or the errno of the failure;
    // a file that ends early or holds something else fails with EILSEQ.
    int read(std::size_t count, const JournalVisitor& visit) const;

private:
    std::string path_;
    int descriptor_ = -1;
    std::size_t records_ = 0;
    std::uint64_t bytes_ = 0;
};
