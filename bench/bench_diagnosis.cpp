// The cost of diagnosing one exchange, for the evidence the Test dialog gathers after each
// request: a healthy read (the common case), a serial time-out over three attempts, a late
// Modbus/TCP answer set aside on a retry, an echo glued to the reply, and a read of 60 floating
// values whose word order is checked. Goal: under 50 microseconds each.

#include "diagnosis/diagnose.h"
#include "protocol/check_values.h"
#include "protocol/data_types.h"
#include "protocol/modbus_message.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes rtu(Bytes bytes) {
    const std::uint16_t crc = crc16(bytes.data(), static_cast<int>(bytes.size()));
    bytes.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
    return bytes;
}

Bytes mbap(std::uint16_t id, const Bytes& pdu) {
    Bytes frame{static_cast<std::uint8_t>(id >> 8),
                static_cast<std::uint8_t>(id & 0xFF),
                0,
                0,
                0,
                static_cast<std::uint8_t>(pdu.size() + 1),
                1};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    return frame;
}

DiagnosisEvidence evidenceOf(bool serial, int framing, int result,
                             std::vector<ExchangeRecord> records) {
    DiagnosisEvidence e;
    e.link = {serial, framing, serial ? 19200 : 0, false, kAddressingIndexLogical, 500, 200};
    e.request = {kDataTypeUInt16, 0, 10};
    e.result = result;
    for (const ExchangeRecord& r : records)
        if (r.type == CommsLogType::Tx)
            e.requestSent = r.bytes;
    e.requestBuilt = e.requestSent;
    e.records = std::move(records);
    e.recentResults = {0, 0, 0, 0, 0, 0, 0};
    return e;
}

void run(benchmark::State& state, const DiagnosisEvidence& e) {
    for (auto _ : state)
        benchmark::DoNotOptimize(diagnose(e));
}

void BM_HealthyModbusTcpRead(benchmark::State& state) {
    const Bytes request = mbap(7, {3, 0, 0, 0, 10});
    Bytes pdu{3, 20};
    pdu.resize(22, 0x11);
    run(state, evidenceOf(false, kFrameModbusTcp, 0,
                          {{CommsLogType::Tx, 1000, request, 0},
                           {CommsLogType::Rx, 1004, mbap(7, pdu), 0}}));
}

void BM_SerialTimeOutOverThreeAttempts(benchmark::State& state) {
    const Bytes request = rtu({1, 3, 0, 0, 0, 10});
    std::vector<ExchangeRecord> records;
    for (int i = 0; i < 3; ++i) {
        records.push_back({CommsLogType::Tx, 1000 + 600 * i, request, 0});
        records.push_back({CommsLogType::Rx, 1500 + 600 * i, {}, 0});
        records.push_back({CommsLogType::Error, 1500 + 600 * i, {}, kResultTimedOut});
    }
    run(state, evidenceOf(true, kFrameRtu, kResultTimedOut, records));
}

void BM_LateAnswerSetAsideOnARetry(benchmark::State& state) {
    Bytes pdu{3, 20};
    pdu.resize(22, 0x11);
    run(state, evidenceOf(false, kFrameModbusTcp, kResultTimedOut,
                          {{CommsLogType::Tx, 1000, mbap(7, {3, 0, 0, 0, 10}), 0},
                           {CommsLogType::Rx, 1200, {}, 0},
                           {CommsLogType::Error, 1200, {}, kResultTimedOut},
                           {CommsLogType::Tx, 1210, mbap(8, {3, 0, 0, 0, 10}), 0},
                           {CommsLogType::Rx, 1300, mbap(7, pdu), 0},
                           {CommsLogType::Error, 1410, {}, kResultInvalidResponse}}));
}

void BM_EchoGluedToTheReply(benchmark::State& state) {
    const Bytes request = rtu({1, 3, 0, 0, 0, 2});
    Bytes received = request;
    const Bytes reply = rtu({1, 3, 4, 0, 7, 0, 9});
    received.insert(received.end(), reply.begin(), reply.end());
    run(state, evidenceOf(true, kFrameRtu, kResultInvalidCrc,
                          {{CommsLogType::Tx, 1000, request, 0},
                           {CommsLogType::Rx, 1010, received, 0},
                           {CommsLogType::Error, 1100, {}, kResultInvalidCrc}}));
}

void BM_WordOrderOfSixtyFloats(benchmark::State& state) {
    Bytes pdu{3, 240};
    for (int i = 0; i < 60; ++i)
        pdu.insert(pdu.end(), {0xE9, 0x79, 0x42, 0xF6});
    DiagnosisEvidence e = evidenceOf(false, kFrameModbusTcp, 0,
                                     {{CommsLogType::Tx, 1000, mbap(7, {3, 0, 0, 0, 60}), 0},
                                      {CommsLogType::Rx, 1004, mbap(7, pdu), 0}});
    e.request = {kDataTypeFloat, 0, 60};
    run(state, e);
}

} // namespace

BENCHMARK(BM_HealthyModbusTcpRead);
BENCHMARK(BM_SerialTimeOutOverThreeAttempts);
BENCHMARK(BM_LateAnswerSetAsideOnARetry);
BENCHMARK(BM_EchoGluedToTheReply);
BENCHMARK(BM_WordOrderOfSixtyFloats);
BENCHMARK_MAIN();
