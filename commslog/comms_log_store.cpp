#include "commslog/comms_log_store.h"

#include <bit>
#include <climits>
#include <cstring>
#include <new>

namespace {} // namespace

CCommsLogRecord::~CCommsLogRecord() = default;

void CCommsLogStore::SegmentDeleter::operator()(CCommsLogRecord* records) const {
    ::operator delete (records, std::align_val_t{alignof(CCommsLogRecord)});
}

CCommsLogStore::~CCommsLogStore() {
    destroyAll();
}

// Segment k starts at index kFirstSegmentSize * (2^k - 1).
void CCommsLogStore::locate(std::size_t index, std::size_t& segment, std::size_t& offset) {
    const std::size_t scaled = index / kFirstSegmentSize + 1;
    segment = static_cast<std::size_t>(std::bit_width(scaled)) - 1;
    offset = index - kFirstSegmentSize * ((std::size_t{1} << segment) - 1);
}

int CCommsLogStore::addLogRecord(unsigned type, unsigned size, const void* data) {
    return addLogRecord(type, size, data, utcNow());
}

int CCommsLogStore::addLogRecord(unsigned type, unsigned size, const void* data, UtcTime stamp) {
    // The copy is made before the lock so that the lock covers only the append.
    const auto size16 = static_cast<std::uint16_t>(size);
    std::unique_ptr<std::uint8_t[]> copy;
    if (size16 != 0) {
        copy.reset(new (std::nothrow) std::uint8_t[size16]);
        if (!copy)
            return kResultLogMemory;
        if (data != nullptr)
            std::memcpy(copy.get(), data, size16);
        else
            std::memset(copy.get(), 0, size16);
    }

    const std::lock_guard<std::mutex> guard(logLock);
    if (recordCount >= static_cast<std::size_t>(INT_MAX))
        return kResultLogMemory;
    std::size_t segment = 0;
    std::size_t offset = 0;
    locate(recordCount, segment, offset);
    if (segment >= kSegmentCount)
        return kResultLogMemory;
    if (!segments[segment]) {
        const std::size_t slots = kFirstSegmentSize << segment;
        void* raw = ::operator new (slots * sizeof(CCommsLogRecord),
                                    std::align_val_t{alignof(CCommsLogRecord)}, std::nothrow);
        if (raw == nullptr)
            return kResultLogMemory;
        segments[segment].reset(static_cast<CCommsLogRecord*>(raw));
    }
    auto* entry = new (segments[segment].get() + offset) CCommsLogRecord;
    entry->time = static_cast<std::int32_t>(stamp.seconds);
    entry->milliseconds = stamp.milliseconds;
    entry->type = static_cast<std::uint16_t>(type);
    entry->size = size16;
    entry->data = std::move(copy);
    ++recordCount;
    return 0;
}

void CCommsLogStore::destroyAll() {
    for (std::size_t index = 0; index < recordCount; ++index) {
        std::size_t segment = 0;
        std::size_t offset = 0;
        locate(index, segment, offset);
        segments[segment].get()[offset].~CCommsLogRecord();
    }
    recordCount = 0;
    for (auto& segment : segments)
        segment.reset();
}

void CCommsLogStore::clearLog() {
    const std::lock_guard<std::mutex> guard(logLock);
    destroyAll();
}

int CCommsLogStore::count() const {
    const std::lock_guard<std::mutex> guard(logLock);
    return static_cast<int>(recordCount);
}

const CCommsLogRecord* CCommsLogStore::record(int index) const {
    if (index < 0)
        return nullptr;
    std::size_t visible = 0;
    {
        const std::lock_guard<std::mutex> guard(logLock);
        visible = recordCount;
    }
    const auto wanted = static_cast<std::size_t>(index);
    if (wanted >= visible)
        return nullptr;
    std::size_t segment = 0;
    std::size_t offset = 0;
    locate(wanted, segment, offset);
    return segments[segment].get() + offset;
}
