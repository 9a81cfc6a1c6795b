#include "commslog/comms_log_store.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <string>
#include <vector>

namespace {

// Resident set size in bytes, from /proc/self/statm.
long long residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long long pages = 0;
    long long resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

long long heapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
}

} // namespace

// Adds 1 000 000 records of 8 to 256 bytes and prints the rate and the memory each record
// costs beyond its data.
int main() {
    constexpr int kRecords = 1000000;
    std::vector<std::uint8_t> payload(256, 0x5A);
    long long dataBytes = 0;

    auto* store = new CCommsLogStore;
    const long long heapBefore = heapBytes();
    const long long rssBefore = residentBytes();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRecords; ++i) {
        const unsigned size = 8 + static_cast<unsigned>(i * 37) % 249;
        dataBytes += size;
        if (store->addLogRecord(2, size, payload.data()) != 0) {
            std::printf("addLogRecord failed at %d\n", i);
            return 1;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const long long heapAfter = heapBytes();
    const long long rssAfter = residentBytes();

    std::printf("records: %d, data bytes: %lld (mean %.1f per record)\n", kRecords, dataBytes,
                static_cast<double>(dataBytes) / kRecords);
    std::printf("addLogRecord: %.3f s, %.0f records/s\n", seconds, kRecords / seconds);
    std::printf("heap beyond data: %.1f bytes/record (record object %zu bytes)\n",
                static_cast<double>(heapAfter - heapBefore - dataBytes) / kRecords,
                sizeof(CCommsLogRecord));
    std::printf("RSS beyond data: %.1f bytes/record\n",
                static_cast<double>(rssAfter - rssBefore - dataBytes) / kRecords);

    const auto clearStart = std::chrono::steady_clock::now();
    store->clearLog();
    std::printf(
        "clearLog: %.3f s\n",
        std::chrono::duration<double>(std::chrono::steady_clock::now() - clearStart).count());
    delete store;
    return 0;
}
