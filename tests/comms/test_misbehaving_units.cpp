// Units that answer in pieces, late, cut short, corrupted, not at all or by hanging up, served
// as jobs through the engine: each must get the verdict a technician can trust.

#include "tests/support/engine_test_support.h"
#include "tests/support/row_names.h"

#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>

namespace {

const Bytes kReadPdu = {3, 4, 0, 7, 0, 10};
const Bytes kReadHolding = tcpRequest(1, 3, {0, 0, 0, 2});
const Bytes kRtuRead = rtuFrame({1, 3, 0, 0, 0, 2});
const Bytes kRtuAnswer = rtuFrame({1, 3, 4, 0, 7, 0, 10});
const Bytes kAsciiRead = asciiFrame({1, 3, 0, 0, 0, 2});
const Bytes kAsciiAnswer = asciiFrame({1, 3, 4, 0, 7, 0, 10});

Bytes first(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

Bytes after(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(count), bytes.end());
}

Bytes joined(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The Modbus/TCP answer to `request` under another transaction identifier.
Bytes otherTransaction(const Bytes& request, const Bytes& pdu) {
    Bytes answer = tcpAnswer(request, pdu);
    answer[0] ^= 0x5A;
    return answer;
}

// An ASCII answer whose data holds "0G" where "10" belongs: the LRC still sums to zero.
Bytes asciiWithLetterForDigit() {
    Bytes frame = asciiFrame({1, 3, 4, 0, 0x10, 0, 10});
    frame[9] = '0';
    frame[10] = 'G';
    return frame;
}

// What the unit sends after reading a request: pieces built from the request, each after a
// pause.
struct Piece {
    int delayMs;
    std::function<Bytes(const Bytes&)> bytes;
};

CFakeUnit::Script replying(std::vector<Piece> pieces) {
    return [pieces = std::move(pieces)](CUnitLink& link) {
        for (Bytes r = link.readRequest(); !r.empty(); r = link.readRequest()) {
            for (const Piece& piece : pieces) {
                link.linger(piece.delayMs);
                link.send(piece.bytes(r));
            }
        }
    };
}

Piece fixed(int delayMs, const Bytes& bytes) {
    return {delayMs, [bytes](const Bytes&) { return bytes; }};
}

enum class Framing { ModbusTcp, Rtu, Ascii };

struct UnitCase {
    const char* name;
    Framing framing;
    Bytes request;
    CFakeUnit::Script script;
    int retries;
    int result;
    Bytes received;
    int requests;
};

using vantrel_test::PrintTo;

class MisbehavingUnit : public ::testing::TestWithParam<UnitCase> {};

TEST_P(MisbehavingUnit, GetsTheVerdictItDeserves) {
    const UnitCase& c = GetParam();
    CFakeUnit unit(c.script);
    CEngineHarness h(c.framing == Framing::ModbusTcp ? 1 : 0);
    h.context.message.binaryMode = c.framing == Framing::Ascii ? 0 : 1;
    h.context.message.retries = c.retries;
    h.context.message.time2 = 300;
    CSubmitter submitter;
    const auto result = h.exchange(unit.port(), submitter, c.request);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->lParam, c.result);
    EXPECT_EQ(submitter.received(), c.received);
    h.finish();
    EXPECT_EQ(unit.requestsOnceArrived(c.requests), c.requests);
}

const auto answerOf = [](const Bytes& request) { return tcpAnswer(request, kReadPdu); };

INSTANTIATE_TEST_SUITE_P(
    Replies, MisbehavingUnit,
    ::testing::Values(
        UnitCase{.name = "ModbusTcpReplyInTwoPieces",
                 .framing = Framing::ModbusTcp,
                 .request = kReadHolding,
                 .script = replying({{0, [](const Bytes& r) { return first(answerOf(r), 9); }},
                                     {100, [](const Bytes& r) { return after(answerOf(r), 9); }}}),
                 .retries = 0,
                 .result = 0,
                 .received = answerOf(kReadHolding),
                 .requests = 1},
        UnitCase{.name = "ModbusTcpLateReplyToAnEarlierRequest",
                 .framing = Framing::ModbusTcp,
                 .request = kReadHolding,
                 .script = replying({{0,
                                      [](const Bytes& r) {
                                          return otherTransaction(r, {3, 4, 9, 9, 9, 9});
                                      }},
                                     {20, answerOf}}),
                 .retries = 0,
                 .result = 0,
                 .received = answerOf(kReadHolding),
                 .requests = 1},
        UnitCase{
            .name = "ModbusTcpOnlyAnotherTransactionsReply",
            .framing = Framing::ModbusTcp,
            .request = kReadHolding,
            .script = replying({{0, [](const Bytes& r) { return otherTransaction(r, kReadPdu); }}}),
            .retries = 0,
            .result = 5007,
            .received = otherTransaction(kReadHolding, kReadPdu),
            .requests = 1},
        UnitCase{.name = "ModbusTcpReplyCutShort",
                 .framing = Framing::ModbusTcp,
                 .request = kReadHolding,
                 .script = replying({{0, [](const Bytes& r) { return first(answerOf(r), 10); }}}),
                 .retries = 0,
                 .result = 5007,
                 .received = first(answerOf(kReadHolding), 10),
                 .requests = 1},
        UnitCase{.name = "RtuReplyWithoutItsCrc",
                 .framing = Framing::Rtu,
                 .request = kRtuRead,
                 .script = replying({fixed(0, first(kRtuAnswer, 7))}),
                 .retries = 0,
                 .result = 5007,
                 .received = first(kRtuAnswer, 7),
                 .requests = 1},
        UnitCase{.name = "RtuReplyFromAnotherUnit",
                 .framing = Framing::Rtu,
                 .request = kRtuRead,
                 .script = replying({fixed(0, rtuFrame({2, 3, 4, 0, 7, 0, 10}))}),
                 .retries = 1,
                 .result = 5007,
                 .received = rtuFrame({2, 3, 4, 0, 7, 0, 10}),
                 .requests = 2},
        UnitCase{.name = "RtuReplyWithABadCrc",
                 .framing = Framing::Rtu,
                 .request = kRtuRead,
                 .script = replying({fixed(0, joined(first(kRtuAnswer, 7), {0x12, 0x34}))}),
                 .retries = 0,
                 .result = 5008,
                 .received = joined(first(kRtuAnswer, 7), {0x12, 0x34}),
                 .requests = 1},
        UnitCase{.name = "AsciiReplyWithoutItsLineFeed",
                 .framing = Framing::Ascii,
                 .request = kAsciiRead,
                 .script = replying({fixed(0, first(kAsciiAnswer, kAsciiAnswer.size() - 1))}),
                 .retries = 0,
                 .result = 5007,
                 .received = first(kAsciiAnswer, kAsciiAnswer.size() - 1),
                 .requests = 1},
        UnitCase{.name = "AsciiLetterWhereADigitBelongs",
                 .framing = Framing::Ascii,
                 .request = kAsciiRead,
                 .script = replying({fixed(0, asciiWithLetterForDigit())}),
                 .retries = 0,
                 .result = 5024,
                 .received = asciiWithLetterForDigit(),
                 .requests = 1},
        UnitCase{.name = "AsciiFalseStartBeforeTheReply",
                 .framing = Framing::Ascii,
                 .request = kAsciiRead,
                 .script = replying({fixed(0, joined({':', '0', '1', '0', '3'}, kAsciiAnswer))}),
                 .retries = 0,
                 .result = 0,
                 .received = kAsciiAnswer,
                 .requests = 1},
        UnitCase{.name = "AsciiBroadcastIsSentOnce",
                 .framing = Framing::Ascii,
                 .request = asciiFrame({0, 6, 0, 1, 0, 3}),
                 .script = replying({}),
                 .retries = 2,
                 .result = 0,
                 .received = {},
                 .requests = 1},
        UnitCase{.name = "PeerHangsUpWhileTheReplyIsAwaited",
                 .framing = Framing::ModbusTcp,
                 .request = kReadHolding,
                 .script =
                     [](CUnitLink& link) {
                         link.readRequest();
                         link.close();
                     },
                 .retries = 0,
                 .result = 5534,
                 .received = {},
                 .requests = 1}),
    [](const ::testing::TestParamInfo<UnitCase>& row) { return std::string(row.param.name); });

// Milliseconds since 1970 of a log record's time stamp.
std::int64_t msOf(const CCommsLogRecord& record) {
    return std::int64_t{record.time} * 1000 + record.milliseconds;
}

struct RejectedReplyCase {
    const char* name;
    Framing framing;
    Bytes request;
    std::function<Bytes(const Bytes&)> reply;
    int result;
};

void PrintTo(const RejectedReplyCase& c, std::ostream* os) {
    *os << c.name;
}

class RejectedReply : public ::testing::TestWithParam<RejectedReplyCase> {};

// A reply the unit sends and then falls silent after is kept waiting for time2 before it is
// judged; its RX record still shows when it came, so that times in the log measure the unit.
TEST_P(RejectedReply, IsLoggedAtTheTimeItCame) {
    const RejectedReplyCase& c = GetParam();
    constexpr int kSilenceMs = 2000;
    std::atomic<std::int64_t> sentAt{0};
    CFakeUnit unit([&](CUnitLink& link) {
        const Bytes request = link.readRequest();
        const UtcTime now = utcNow();
        sentAt = now.seconds * 1000 + now.milliseconds;
        link.send(c.reply(request));
        link.linger(10000);
    });
    CEngineHarness h(c.framing == Framing::ModbusTcp ? 1 : 0);
    h.context.message.time2 = kSilenceMs;
    CSubmitter submitter;
    const auto result = h.exchange(unit.port(), submitter, c.request);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->lParam, c.result);

    const CCommsLogRecord* rx = nullptr;
    const CCommsLogRecord* error = nullptr;
    for (int i = 0; i < h.context.engine.logRecords.count(); ++i) {
        const CCommsLogRecord* r = h.context.engine.logRecords.record(i);
        if (r->type == static_cast<int>(CommsLogType::Rx))
            rx = r;
        else if (r->type == static_cast<int>(CommsLogType::Error) && rx != nullptr)
            error = r;
    }
    ASSERT_NE(rx, nullptr);
    ASSERT_NE(error, nullptr);
    EXPECT_GE(msOf(*rx), sentAt.load());
    EXPECT_LT(msOf(*rx), sentAt.load() + kSilenceMs / 2) << "stamped when the bytes came";
    EXPECT_GE(msOf(*error), msOf(*rx) + kSilenceMs / 2) << "judged after the silence";
}

INSTANTIATE_TEST_SUITE_P(Silence, RejectedReply,
                         ::testing::Values(RejectedReplyCase{.name = "ModbusTcpReplyCutShort",
                                                             .framing = Framing::ModbusTcp,
                                                             .request = kReadHolding,
                                                             .reply =
                                                                 [](const Bytes& r) {
                                                                     return first(answerOf(r), 10);
                                                                 },
                                                             .result = 5007},
                                           RejectedReplyCase{.name = "RtuReplyWithABadCrc",
                                                             .framing = Framing::Rtu,
                                                             .request = kRtuRead,
                                                             .reply =
                                                                 [](const Bytes&) {
                                                                     Bytes bad = kRtuAnswer;
                                                                     bad.back() ^= 0xFF;
                                                                     return bad;
                                                                 },
                                                             .result = 5008}),
                         [](const ::testing::TestParamInfo<RejectedReplyCase>& row) {
                             return std::string(row.param.name);
                         });

// Each Modbus/TCP request carries the next transaction identifier on the wire; the submitter is
// handed back the request and the answer as they were on the wire, as the log shows them.
TEST(TransactionIdentifier, EveryRequestCarriesTheNext) {
    std::vector<Bytes> seen;
    std::mutex seenLock;
    CFakeUnit unit([&](CUnitLink& link) {
        for (Bytes r = link.readRequest(); !r.empty(); r = link.readRequest()) {
            {
                std::lock_guard guard(seenLock);
                seen.push_back(r);
            }
            link.send(answerOf(r));
        }
    });
    CEngineHarness h;
    ASSERT_TRUE(h.connect(unit.port()));
    std::vector<Bytes> sentBack;
    std::vector<Bytes> received;
    for (int i = 0; i < 3; ++i) {
        CSubmitter submitter;
        ASSERT_EQ(submitter.submit(h.context.engine, kReadHolding), 0);
        const auto result = submitter.result();
        ASSERT_TRUE(result);
        EXPECT_EQ(result->lParam, 0);
        sentBack.emplace_back(submitter.request, submitter.request + submitter.requestLength);
        received.push_back(submitter.received());
    }
    h.context.socket.disconnect();
    h.context.engine.stopThread(h.context);
    std::lock_guard guard(seenLock);
    ASSERT_EQ(seen.size(), 3u);
    std::vector<Bytes> transmitted;
    for (int i = 0; i < h.context.engine.logRecords.count(); ++i) {
        const CCommsLogRecord* r = h.context.engine.logRecords.record(i);
        if (r->type == static_cast<int>(CommsLogType::Tx))
            transmitted.emplace_back(r->data.get(), r->data.get() + r->size);
    }
    EXPECT_EQ(transmitted, seen) << "the log shows the bytes on the wire";
    EXPECT_EQ(sentBack, seen) << "the submitter is shown the bytes on the wire";
    for (std::size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(received[i], answerOf(seen[i]));
    for (std::size_t i = 1; i < seen.size(); ++i) {
        const int previous = seen[i - 1][0] << 8 | seen[i - 1][1];
        EXPECT_EQ(seen[i][0] << 8 | seen[i][1], (previous + 1) & 0xFFFF);
        EXPECT_EQ(after(seen[i], 2), after(kReadHolding, 2));
    }
}

} // namespace
