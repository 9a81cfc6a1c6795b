#pragma once

#include "platform/clock.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// "Memory has run out to store comms logs!": the result of a record the log cannot keep.
constexpr int kResultLogMemory = 5025;

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

// The in-memory comms log: appended to from any thread, read and cleared on the user-interface
// thread.
class CCommsLogStore {
public:
    CCommsLogStore() = default;
    CCommsLogStore(const CCommsLogStore&) = delete;
    CCommsLogStore& operator=(const CCommsLogStore&) = delete;
    ~CCommsLogStore();

    // Adds a record with a copy of `size` bytes of `data` (null allowed when size is 0), stamped
    // now. Returns 0, or 5025 when storage for the record cannot be had (nothing is added).
    int addLogRecord(unsigned type, unsigned size, const void* data);
    // The same, stamped with the time the event happened: received bytes carry the time their
    // first byte was read, which can be well before the record is complete.
    int addLogRecord(unsigned type, unsigned size, const void* data, UtcTime stamp);
    // Frees every record. Reader thread only.
    void clearLog();
    // Number of records, read under the lock.
    int count() const;
    // The record at `index` (0 = oldest), or null when there is none. Reader thread only: the
    // record stays valid until clearLog, which only the reader thread calls.
    const CCommsLogRecord* record(int index) const;

private:
    // Records live in segments that never move once allocated, so the reader may fetch by
    // index without the lock while writers append. Segment k holds kFirstSegmentSize << k
    // records; the fixed table of segments bounds nothing in practice.
    static constexpr std::size_t kFirstSegmentSize = 256;
    static constexpr std::size_t kSegmentCount = 40;

    struct SegmentDeleter {
        void operator()(CCommsLogRecord* records) const;
    };
    using Segment = std::unique_ptr<CCommsLogRecord, SegmentDeleter>;

    static void locate(std::size_t index, std::size_t& segment, std::size_t& offset);
    void destroyAll();

    mutable std::mutex logLock;
    std::array<Segment, kSegmentCount> segments;
    std::size_t recordCount = 0; // records constructed and visible; guarded by logLock
};
