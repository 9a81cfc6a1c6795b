#include "commslog/comms_log_store.h"
#include "tests/support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

// A writer appends while this thread counts and reads every record below the count it saw:
// records already counted must stay where they are and intact.
TEST(CommsLogStoreThreads, ReaderSeesStableRecordsWhileWriterAppends) {
    CCommsLogStore store;
    constexpr std::uint32_t kRecords = 20000;
    std::atomic<bool> failed{false};

    std::thread writer([&] {
        for (std::uint32_t i = 0; i < kRecords; ++i) {
            std::uint8_t payload[8];
            std::memcpy(payload, &i, sizeof i);
            std::memcpy(payload + 4, &i, sizeof i);
            if (store.addLogRecord(3, 1 + i % 8, payload) != 0)
                failed = true;
        }
    });

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int checked = 0;
    while (checked < static_cast<int>(kRecords) && std::chrono::steady_clock::now() < deadline) {
        const int visible = store.count();
        for (; checked < visible; ++checked) {
            const CCommsLogRecord* record = store.record(checked);
            ASSERT_NE(record, nullptr);
            const auto i = static_cast<std::uint32_t>(checked);
            ASSERT_EQ(record->size, 1 + i % 8);
            std::uint8_t expected[8];
            std::memcpy(expected, &i, sizeof i);
            std::memcpy(expected + 4, &i, sizeof i);
            ASSERT_EQ(std::memcmp(record->data.get(), expected, record->size), 0);
        }
        // Earlier records are still in place after further appends.
        if (visible > 0) {
            ASSERT_EQ(store.record(0)->size, 1);
        }
    }
    writer.join();
    EXPECT_FALSE(failed);
    EXPECT_EQ(checked, static_cast<int>(kRecords));
    EXPECT_EQ(store.count(), static_cast<int>(kRecords));
}

// With a small bound and a journal, the writer sends chunks to the journal while this thread
// reads under pins: every record it fetched holds its own index, whichever chunk it is in.
TEST(CommsLogStoreThreads, PinnedReaderKeepsItsRecordsWhileTheWriterJournals) {
    CTempFolder folder;
    CCommsLogStore store;
    store.setMemoryBound(64);
    store.setJournalPath(folder / "log.journal");
    constexpr std::uint32_t kRecords = 20000;
    std::thread writer([&] {
        for (std::uint32_t i = 0; i < kRecords; ++i)
            store.addLogRecord(3, sizeof i, &i);
    });
    int checked = 0;
    while (store.count() < static_cast<int>(kRecords)) {
        store.pin();
        const int last = store.count() - 1;
        const CCommsLogRecord* newest = store.record(last);
        std::this_thread::yield();
        if (newest != nullptr) {
            std::uint32_t number = 0;
            std::memcpy(&number, newest->data.get(), sizeof number);
            ASSERT_EQ(number, static_cast<std::uint32_t>(last));
            ++checked;
        }
        store.unpin();
    }
    writer.join();
    EXPECT_GT(checked, 0);
    EXPECT_GT(store.firstInMemory(), 0);
    int journaled = 0;
    EXPECT_EQ(store.readJournal(store.firstInMemory(),
                                [&](const CCommsLogRecord&, int) { return ++journaled > 0; }),
              0);
    EXPECT_EQ(journaled, store.firstInMemory());
}
