#include "commslog/comms_log_store.h"

#include "commslog/comms_log_journal.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace {

// Whole chunks go to the journal: a sixteenth of the bound, at most this many records, so that
// the file is written in pieces of a few hundred kilobytes.
constexpr std::size_t kMaxChunkRecords = 4096;
constexpr std::size_t kChunksPerBound = 16;

} // namespace

CCommsLogRecord::~CCommsLogRecord() = default;

CCommsLogStore::CCommsLogStore() : journal(std::make_unique<CCommsLogJournal>()) {
    setMemoryBound(kLogMemoryRecords);
}

CCommsLogStore::~CCommsLogStore() {
    journal->clear();
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
    CCommsLogRecord* entry = nullptr;
    if (!appendSlot(entry))
        return kResultLogMemory;
    entry->time = static_cast<std::int32_t>(stamp.seconds);
    entry->milliseconds = stamp.milliseconds;
    entry->type = static_cast<std::uint16_t>(type);
    entry->size = size16;
    entry->data = std::move(copy);
    ++chunks.back().used;
    ++recordCount;
    if (recordCount - journaled >= spillAt)
        spillOldestChunk();
    return 0;
}

// The next free record of the newest chunk, starting a chunk when it is full. Under the lock.
bool CCommsLogStore::appendSlot(CCommsLogRecord*& slot) {
    if (recordCount >= static_cast<std::size_t>(INT_MAX))
        return false;
    if (chunks.empty() || chunks.back().used == chunkRecords) {
        Chunk chunk;
        chunk.records.reset(new (std::nothrow) CCommsLogRecord[chunkRecords]);
        if (!chunk.records)
            return false;
        chunks.push_back(std::move(chunk));
    }
    slot = &chunks.back().records[chunks.back().used];
    return true;
}

// Writes the oldest chunk to the journal and lets it go; kept when the journal fails, so that
// nothing is lost, and tried again a chunk later. Under the lock.
void CCommsLogStore::spillOldestChunk() {
    if (!journal->enabled() || chunks.size() < 2)
        return;
    Chunk& oldest = chunks.front();
    journalFailure = journal->append(oldest.records.get(), oldest.used);
    if (journalFailure != 0) {
        spillAt += chunkRecords;
        return;
    }
    journaled += oldest.used;
    if (pins > 0)
        retired.push_back(std::move(oldest));
    chunks.pop_front();
    spillAt = bound + chunkRecords;
}

void CCommsLogStore::clearLog() {
    const std::lock_guard<std::mutex> guard(logLock);
    chunks.clear();
    retired.clear();
    journal->clear();
    journalFailure = 0;
    journaled = 0;
    recordCount = 0;
    spillAt = bound + chunkRecords;
}

int CCommsLogStore::count() const {
    const std::lock_guard<std::mutex> guard(logLock);
    return static_cast<int>(recordCount);
}

const CCommsLogRecord* CCommsLogStore::record(int index) const {
    if (index < 0)
        return nullptr;
    const std::lock_guard<std::mutex> guard(logLock);
    const auto wanted = static_cast<std::size_t>(index);
    if (wanted < journaled || wanted >= recordCount)
        return nullptr;
    const std::size_t offset = wanted - journaled;
    return &chunks[offset / chunkRecords].records[offset % chunkRecords];
}

void CCommsLogStore::pin() const {
    const std::lock_guard<std::mutex> guard(logLock);
    ++pins;
}

void CCommsLogStore::unpin() const {
    const std::lock_guard<std::mutex> guard(logLock);
    if (pins > 0 && --pins == 0)
        retired.clear();
}

void CCommsLogStore::setJournalPath(std::string path) {
    const std::lock_guard<std::mutex> guard(logLock);
    journal->setPath(std::move(path));
}

std::string CCommsLogStore::journalPath() const {
    const std::lock_guard<std::mutex> guard(logLock);
    return journal->path();
}

int CCommsLogStore::firstInMemory() const {
    const std::lock_guard<std::mutex> guard(logLock);
    return static_cast<int>(journaled);
}

int CCommsLogStore::journalError() const {
    const std::lock_guard<std::mutex> guard(logLock);
    return journalFailure;
}

int CCommsLogStore::readJournal(
    int limit, const std::function<bool(const CCommsLogRecord&, int)>& visit) const {
    std::size_t records = 0;
    {
        const std::lock_guard<std::mutex> guard(logLock);
        records = std::min(journaled, static_cast<std::size_t>(std::max(limit, 0)));
    }
    // The writer only appends behind the records counted here, and only the reader clears.
    int index = 0;
    return journal->read(records,
                         [&](const CCommsLogRecord& record) { return visit(record, index++); });
}

int CCommsLogStore::memoryBound() const {
    const std::lock_guard<std::mutex> guard(logLock);
    return static_cast<int>(bound);
}

void CCommsLogStore::setMemoryBound(int records) {
    {
        const std::lock_guard<std::mutex> guard(logLock);
        bound = static_cast<std::size_t>(std::max(records, 1));
        chunkRecords = std::clamp<std::size_t>(bound / kChunksPerBound, 1, kMaxChunkRecords);
    }
    clearLog();
}
