#include "commslog/comms_log_store.h"
#include "tests/support/temp_folder.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VANTREL_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VANTREL_SANITIZED 1
#endif
#endif

namespace {

std::vector<std::uint8_t> bytesOf(const CCommsLogRecord& record) {
    return {record.data.get(), record.data.get() + record.size};
}

} // namespace

TEST(CommsLogStore, RecordsKeepTypeSizeAndOwnCopy) {
    CCommsLogStore store;
    std::uint8_t frame[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
    const std::uint32_t result = 5006;
    const timespec before = [] {
        timespec t{};
        clock_gettime(CLOCK_REALTIME, &t);
        return t;
    }();

    ASSERT_EQ(store.addLogRecord(static_cast<unsigned>(CommsLogType::Connected), 0, nullptr), 0);
    ASSERT_EQ(store.addLogRecord(static_cast<unsigned>(CommsLogType::Tx), sizeof frame, frame), 0);
    ASSERT_EQ(store.addLogRecord(static_cast<unsigned>(CommsLogType::Error), 4, &result), 0);
    ASSERT_EQ(store.addLogRecord(static_cast<unsigned>(CommsLogType::Rx), 0, nullptr), 0);
    frame[0] = 0xFF; // the record holds its own copy

    ASSERT_EQ(store.count(), 4);
    const CCommsLogRecord* connected = store.record(0);
    ASSERT_NE(connected, nullptr);
    EXPECT_EQ(connected->type, 1);
    EXPECT_EQ(connected->size, 0);
    EXPECT_EQ(connected->data, nullptr);
    EXPECT_GE(connected->time, static_cast<std::int32_t>(before.tv_sec));
    EXPECT_LT(connected->milliseconds, 1000);

    EXPECT_EQ(bytesOf(*store.record(1)),
              (std::vector<std::uint8_t>{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
    EXPECT_EQ(bytesOf(*store.record(2)), (std::vector<std::uint8_t>{0x8E, 0x13, 0x00, 0x00}));
    EXPECT_EQ(store.record(3)->size, 0);
    // Received bytes carry the time they came, given by the exchange.
    ASSERT_EQ(store.addLogRecord(static_cast<unsigned>(CommsLogType::Rx), 0, nullptr,
                                 UtcTime{1700000000, 987}),
              0);
    EXPECT_EQ(store.record(4)->time, 1700000000);
    EXPECT_EQ(store.record(4)->milliseconds, 987);
    EXPECT_EQ(store.record(5), nullptr);
    EXPECT_EQ(store.record(-1), nullptr);
}

TEST(CommsLogStore, ClearEmptiesAndRestartsAtIndexZero) {
    CCommsLogStore store;
    store.clearLog();
    EXPECT_EQ(store.count(), 0);

    // Enough records to span several storage segments.
    for (std::uint32_t i = 0; i < 5000; ++i)
        ASSERT_EQ(store.addLogRecord(2, sizeof i, &i), 0);
    ASSERT_EQ(store.count(), 5000);
    for (std::uint32_t i : {0u, 255u, 256u, 767u, 768u, 4999u}) {
        std::uint32_t stored = 0;
        std::memcpy(&stored, store.record(static_cast<int>(i))->data.get(), sizeof stored);
        EXPECT_EQ(stored, i);
    }

    store.clearLog();
    EXPECT_EQ(store.count(), 0);
    EXPECT_EQ(store.record(0), nullptr);
    const std::uint8_t byte = 0x42;
    ASSERT_EQ(store.addLogRecord(7, 1, &byte), 0);
    ASSERT_EQ(store.count(), 1);
    EXPECT_EQ(store.record(0)->type, 7);
    EXPECT_EQ(store.record(0)->data[0], 0x42);
}

// Runs in a child process whose address space is capped: once memory runs out addLogRecord
// returns 5025, adds nothing, and the store keeps working with the records it has.
TEST(CommsLogStore, MemoryRunningOutReturns5025AndAddsNothing) {
#ifdef VANTREL_SANITIZED
    GTEST_SKIP() << "sanitizers reserve address space beyond any useful limit";
#else
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        std::FILE* statm = std::fopen("/proc/self/statm", "r");
        unsigned long pages = 0;
        if (statm == nullptr || std::fscanf(statm, "%lu", &pages) != 1)
            _exit(2);
        std::fclose(statm);
        limit.rlim_cur = pages * 4096 + 64 * 1024 * 1024;
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(3);
        auto* store = new CCommsLogStore;
        std::uint8_t payload[640] = {};
        int added = 0;
        for (int i = 0; i < 10000000; ++i) {
            const int result = store->addLogRecord(2, sizeof payload, payload);
            if (result == 5025) {
                const bool intact = store->count() == added && store->record(added) == nullptr &&
                                    store->record(added - 1)->size == sizeof payload;
                store->clearLog();
                const bool usable = store->addLogRecord(1, 0, nullptr) == 0 && store->count() == 1;
                _exit(intact && usable ? 0 : 4);
            }
            if (result != 0)
                _exit(5);
            ++added;
        }
        _exit(6); // memory never ran out
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

namespace {

// Adds `count` TX records whose four data bytes hold their index.
void addNumbered(CCommsLogStore& store, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i)
        ASSERT_EQ(store.addLogRecord(2, sizeof i, &i, UtcTime{1700000000 + i, 5}), 0);
}

std::uint32_t numberOf(const CCommsLogRecord& record) {
    std::uint32_t number = 0;
    std::memcpy(&number, record.data.get(), sizeof number);
    return number;
}

std::vector<std::uint32_t> journaledNumbers(const CCommsLogStore& store) {
    std::vector<std::uint32_t> numbers;
    const int error =
        store.readJournal(store.firstInMemory(), [&](const CCommsLogRecord& record, int index) {
            EXPECT_EQ(numberOf(record), static_cast<std::uint32_t>(index));
            EXPECT_EQ(record.time, 1700000000 + index);
            numbers.push_back(numberOf(record));
            return true;
        });
    EXPECT_EQ(error, 0);
    return numbers;
}

} // namespace

// Beyond the bound the oldest records go to the journal in whole chunks: the newest `bound` stay
// in memory, every index keeps its record, and clearing empties both.
TEST(CommsLogStore, OlderRecordsGoToTheJournalAndClearEmptiesBoth) {
    CTempFolder folder;
    CCommsLogStore store;
    store.setMemoryBound(32); // chunks of two records
    store.setJournalPath(folder / "log.journal");
    EXPECT_EQ(store.memoryBound(), 32);
    addNumbered(store, 101);

    EXPECT_EQ(store.count(), 101);
    const int first = store.firstInMemory();
    EXPECT_GE(store.count() - first, 32);
    EXPECT_LE(store.count() - first, 34);
    EXPECT_EQ(store.record(first - 1), nullptr);
    for (int index = first; index < store.count(); ++index)
        EXPECT_EQ(numberOf(*store.record(index)), static_cast<std::uint32_t>(index));
    EXPECT_EQ(journaledNumbers(store).size(), static_cast<std::size_t>(first));

    store.clearLog();
    EXPECT_EQ(store.count(), 0);
    EXPECT_EQ(store.firstInMemory(), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / "log.journal"));
    addNumbered(store, 3);
    EXPECT_EQ(numberOf(*store.record(0)), 0u);
    EXPECT_TRUE(journaledNumbers(store).empty());
}

// Without a journal file, or while the journal cannot be written, nothing leaves memory.
TEST(CommsLogStore, RecordsStayInMemoryWithoutAWritableJournal) {
    CTempFolder folder;
    for (const std::string& path : {std::string(), folder / "missing/log.journal"}) {
        CCommsLogStore store;
        store.setMemoryBound(4);
        store.setJournalPath(path);
        addNumbered(store, 40);
        EXPECT_EQ(store.firstInMemory(), 0) << path;
        EXPECT_EQ(numberOf(*store.record(0)), 0u) << path;
        EXPECT_EQ(store.journalError(), path.empty() ? 0 : ENOENT) << path;
    }
}

// A record the reader fetched under a pin stays readable while newer ones push it out.
TEST(CommsLogStore, PinnedRecordsOutliveTheirSpill) {
    CTempFolder folder;
    CCommsLogStore store;
    store.setMemoryBound(2);
    store.setJournalPath(folder / "log.journal");
    addNumbered(store, 1);
    store.pin();
    const CCommsLogRecord* oldest = store.record(0);
    addNumbered(store, 20);
    EXPECT_GT(store.firstInMemory(), 0);
    EXPECT_EQ(numberOf(*oldest), 0u);
    store.unpin();
}
