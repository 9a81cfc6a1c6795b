#pragma once

#include "platform/clock.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CCommsLogJournal;

// "Memory has run out to store comms logs!": the result of a record the log cannot keep.
constexpr int kResultLogMemory = 5025;

// The records the log keeps in memory; older ones go to its journal (once it has a file).
constexpr int kLogMemoryRecords = 1'000'000;

enum class CommsLogType : std::uint16_t {
    Connected = 1,
    Tx = 2,
    Rx = 3,
    Disconnected = 4,
    Error = 5,
    Reconnected = 6,
    RxFlush = 7,
    // The likely cause of the exchange's failure, added after its ERROR record: 4 data bytes, the
    // string-table identifier of the cause's statement, least significant byte first.
    Finding = 8,
};

// One record of the comms log; immutable once added.
class CCommsLogRecord {
public:
    virtual ~CCommsLogRecord();

    std::int32_t time = 0;          // seconds since 1970-01-01 UTC
    std::uint16_t milliseconds = 0; // 0-999
    std::uint16_t type = 0;         // CommsLogType
    std::uint16_t size = 0;         // bytes of data
    std::unique_ptr<std::uint8_t[]> data;
};

// The comms log: appended to from any thread, read and cleared on the user-interface thread.
// Records are numbered from 0 (the oldest since the last clear). The newest records, at least
// the memory bound, stay in memory; with a journal file set, older ones are written to it and
// leave memory, so that a long run neither loses records nor grows.
class CCommsLogStore {
public:
    CCommsLogStore();
    CCommsLogStore(const CCommsLogStore&) = delete;
    CCommsLogStore& operator=(const CCommsLogStore&) = delete;
    ~CCommsLogStore();

    // Adds a record with a copy of `size` bytes of `data` (null allowed when size is 0), stamped
    // now. Returns 0, or 5025 when storage for the record cannot be had (nothing is added).
    int addLogRecord(unsigned type, unsigned size, const void* data);
    // The same, stamped with the time the event happened: received bytes carry the time their
    // first byte was read, which can be well before the record is complete.
    int addLogRecord(unsigned type, unsigned size, const void* data, UtcTime stamp);
    // Frees every record and empties the journal. Reader thread only.
    void clearLog();
    // Number of records since the last clear, journaled ones included; read under the lock.
    int count() const;
    // The record at `index`, or null when there is none or it has gone to the journal. Reader
    // thread only: the record stays valid until clearLog, or while the reader holds a pin.
    const CCommsLogRecord* record(int index) const;

    // While pinned (pins nest), records the reader fetched stay valid even when newer records
    // send them to the journal; their memory goes when the last pin does. Reader thread only.
    void pin() const;
    void unpin() const;

    // The journal file; set before any record is added. Without one, nothing leaves memory.
    void setJournalPath(std::string path);
    std::string journalPath() const;
    // The index of the oldest record in memory: those before it are in the journal.
    int firstInMemory() const;
    // The errno of the last journal write that failed, 0 after a success: records stay in
    // memory while the journal cannot take them.
    int journalError() const;
    // Reads the journaled records below index `limit`, oldest first, with their indexes; `visit`
    // returning false stops. Returns 0 or the errno of the failure.
    int readJournal(int limit, const std::function<bool(const CCommsLogRecord&, int)>& visit) const;

    int memoryBound() const;
    // Changes the memory bound (at least 1) and clears the log; for tests and measurements.
    void setMemoryBound(int records);

private:
    // Records live in chunks that never move once allocated; whole chunks go to the journal.
    struct Chunk {
        std::unique_ptr<CCommsLogRecord[]> records;
        std::size_t used = 0;
    };

    bool appendSlot(CCommsLogRecord*& slot);
    void spillOldestChunk();

    mutable std::mutex logLock;
    std::deque<Chunk> chunks;
    // Chunks sent to the journal while a reader held a pin.
    mutable std::vector<Chunk> retired;
    mutable int pins = 0;
    std::unique_ptr<CCommsLogJournal> journal;
    int journalFailure = 0;
    std::size_t bound = kLogMemoryRecords;
    std::size_t chunkRecords = 0;
    std::size_t spillAt = 0;     // records in memory at which the oldest chunk is written
    std::size_t journaled = 0;   // records before the first chunk
    std::size_t recordCount = 0; // records added since the last clear; guarded by logLock
};
