// Recognisers of what came back, or did not: the connection, the echo, the unit that answered,
// the framing it answered in, the line, and answers that came too late.

#include "diagnosis/exchange_view.h"
#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kEveryIdLow = 0;    // units that ignore the unit identifier answer with
constexpr std::uint8_t kEveryIdHigh = 255; // one of these two, whatever was asked
constexpr std::uint8_t kExceptionBit = 0x80;
constexpr long long kTimeoutStepMs = 100; // suggested time-outs are rounded up to this
constexpr long long kTimeoutMarginPercent = 150;

bool startsWith(const ByteVector& bytes, const ByteVector& prefix) {
    return !prefix.empty() && bytes.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

bool answersFunction(const FrameView& reply, int function) {
    return (reply.function & ~kExceptionBit) == function;
}

// Single writes and diagnostics are answered with a copy of the request.
bool isCopiedBack(int function) {
    return function == 5 || function == 6 || function == 8;
}

bool checkFailed(int result) {
    return result == kResultInvalidCrc || result == kResultInvalidLrc ||
           result == kResultInvalidResponse;
}

// The wait that a late answer missed: before the first byte on a serial line, for the reply over
// TCP/IP.
int replyWaitMs(const ExchangeView& x) {
    return x.serial() ? x.evidence.link.time1Ms : x.evidence.link.time2Ms;
}

unsigned replyWaitLabel(const ExchangeView& x) {
    return x.serial() ? kIdsCommsInitialCharDelay : kIdsCommsMessageTimeout;
}

long long suggestedWaitMs(long long lateMs) {
    const long long withMargin = lateMs * kTimeoutMarginPercent / 100;
    return (withMargin + kTimeoutStepMs - 1) / kTimeoutStepMs * kTimeoutStepMs;
}

// A late answer: bytes read before an attempt (the flush) or a set-aside Modbus/TCP reply, that
// answer a request sent earlier. Its delay, from that request to when it was read.
struct LateReply {
    long long delayMs = 0;
    ByteVector bytes;
};

bool answersRequest(const std::optional<FrameView>& reply, const ByteVector& request, int framing) {
    const auto asked = decodeFrame(request, framing);
    return reply && asked && reply->unit == asked->unit &&
           answersFunction(*reply, asked->function) &&
           (framing != kFrameModbusTcp || reply->transactionId == asked->transactionId);
}

std::optional<LateReply> lateInFlush(const ExchangeView& x) {
    struct Earlier {
        const ByteVector* sent;
        std::int64_t atMs;
    };
    std::vector<Earlier> earlier;
    if (x.evidence.previous)
        earlier.push_back({&x.evidence.previous->requestSent, x.evidence.previous->txAtMs});
    for (const AttemptView& a : x.attempts) {
        if (!a.flushed.empty()) {
            const auto reply = decodeFrame(a.flushed, x.framing());
            for (const Earlier& e : earlier)
                if (answersRequest(reply, *e.sent, x.framing()))
                    return LateReply{a.flushAtMs - e.atMs, a.flushed};
        }
        if (!a.sent.empty())
            earlier.push_back({&a.sent, a.txAtMs});
    }
    return std::nullopt;
}

// A Modbus/TCP reply in an attempt's reception that carries an earlier attempt's identifier.
std::optional<LateReply> lateSetAside(const ExchangeView& x) {
    if (x.framing() != kFrameModbusTcp)
        return std::nullopt;
    for (std::size_t i = 1; i < x.attempts.size(); ++i) {
        const auto reply = decodeMbap(x.attempts[i].received);
        for (std::size_t j = 0; j < i; ++j) {
            if (answersRequest(reply, x.attempts[j].sent, x.framing()))
                return LateReply{x.attempts[i].rxAtMs - x.attempts[j].txAtMs,
                                 x.attempts[i].received};
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<Finding> recogniseConnectionRefused(const ExchangeView& x) {
    if (x.result() != kResultConnectRefused)
        return std::nullopt;
    return makeFinding(Cause::ConnectionRefused, {std::string(loadString(kResultConnectRefused))});
}

std::optional<Finding> recogniseConnectTimedOut(const ExchangeView& x) {
    if (x.result() != kResultConnectTimedOut && x.result() != kResultSocketTimedOut)
        return std::nullopt;
    return makeFinding(Cause::ConnectTimedOut,
                       {std::string(loadString(static_cast<unsigned>(x.result())))});
}

std::optional<Finding> recogniseClosedAfterRequest(const ExchangeView& x) {
    const AttemptView* a = x.last();
    if (x.serial() || x.result() != kResultConnectionGone || a == nullptr || a->sent.empty() ||
        !a->received.empty())
        return std::nullopt;
    return makeFinding(Cause::ClosedAfterRequest,
                       {numberText(std::max<std::int64_t>(0, a->lastErrorAtMs - a->txAtMs))},
                       {numberText(x.unit())});
}

std::optional<Finding> recogniseTransactionIdZero(const ExchangeView& x) {
    const AttemptView* a = x.last();
    if (x.framing() != kFrameModbusTcp || a == nullptr || !x.request ||
        x.request->transactionId == 0)
        return std::nullopt;
    const auto reply = decodeMbap(a->received);
    if (!reply || reply->transactionId != 0 || !answersFunction(*reply, x.function()))
        return std::nullopt;
    return makeFinding(Cause::TransactionIdZero,
                       {numberText(x.request->transactionId), hexText(a->received)});
}

std::optional<Finding> recogniseLateAnswer(const ExchangeView& x) {
    auto late = lateInFlush(x);
    if (!late)
        late = lateSetAside(x);
    if (!late)
        return std::nullopt;
    const std::string setting = labelText(replyWaitLabel(x));
    return makeFinding(
        Cause::LateAnswer,
        {numberText(late->delayMs), numberText(replyWaitMs(x)), hexText(late->bytes)},
        {setting, numberText(suggestedWaitMs(late->delayMs))});
}

std::optional<Finding> recogniseEchoNotRemoved(const ExchangeView& x) {
    if (!x.serial() || x.evidence.link.removeEcho)
        return std::nullopt;
    // A single write or a diagnostics request is answered with a copy of itself: one copy that
    // passed is the answer, not an echo.
    const bool copiedBack = isCopiedBack(x.function());
    for (const AttemptView& a : x.attempts) {
        if (!startsWith(a.received, a.sent))
            continue;
        const bool alone = a.received.size() == a.sent.size();
        if (alone && copiedBack && x.result() == kResultOk)
            continue;
        return makeFinding(Cause::EchoNotRemoved,
                           {hexText(a.sent), std::string(loadString(alone ? kIdsDiagEchoAlone
                                                                          : kIdsDiagEchoGlued))});
    }
    return std::nullopt;
}

std::optional<Finding> recogniseReplyTakenForEcho(const ExchangeView& x) {
    const AttemptView* a = x.last();
    if (!x.serial() || !x.evidence.link.removeEcho || x.result() != kResultTimedOut ||
        !isCopiedBack(x.function()) || a == nullptr || a->received != a->sent)
        return std::nullopt;
    return makeFinding(Cause::ReplyTakenForEcho, {hexText(a->sent)});
}

std::optional<Finding> recogniseAnswersForEveryId(const ExchangeView& x) {
    if (x.framing() != kFrameModbusTcp)
        return std::nullopt;
    const auto reply = x.decodedReply();
    if (!reply || reply->unit == x.unit() ||
        (reply->unit != kEveryIdLow && reply->unit != kEveryIdHigh))
        return std::nullopt;
    return makeFinding(Cause::AnswersForEveryId, {numberText(reply->unit), numberText(x.unit())});
}

std::optional<Finding> recogniseWrongUnitId(const ExchangeView& x) {
    const auto reply = x.decodedReply();
    if (!reply || x.unit() == 0 || reply->unit == x.unit() ||
        !answersFunction(*reply, x.function()))
        return std::nullopt;
    if (recogniseAnswersForEveryId(x))
        return std::nullopt; // the same reply, told better
    return makeFinding(Cause::WrongUnitId,
                       {numberText(reply->unit), numberText(x.unit()), hexText(x.reply())},
                       {numberText(reply->unit)});
}

std::optional<Finding> recogniseUnitSpeaksAscii(const ExchangeView& x) {
    const ByteVector bytes = x.reply();
    if (x.framing() == kFrameAscii || !decodeAscii(bytes))
        return std::nullopt;
    return makeFinding(Cause::UnitSpeaksAscii, {hexText(bytes)});
}

std::optional<Finding> recogniseUnitSpeaksRtu(const ExchangeView& x) {
    const ByteVector bytes = x.reply();
    if (x.framing() != kFrameAscii || !decodeRtu(bytes))
        return std::nullopt;
    return makeFinding(Cause::UnitSpeaksRtu, {hexText(bytes)});
}

std::optional<Finding> recogniseUnitSpeaksModbusTcp(const ExchangeView& x) {
    const ByteVector bytes = x.reply();
    if (x.serial() || x.framing() != kFrameRtu || x.result() == kResultOk || decodeRtu(bytes) ||
        !decodeMbap(bytes))
        return std::nullopt;
    return makeFinding(Cause::UnitSpeaksModbusTcp, {hexText(bytes)});
}

std::optional<Finding> recogniseUnitSpeaksRtuOverTcp(const ExchangeView& x) {
    const ByteVector bytes = x.reply();
    if (x.framing() != kFrameModbusTcp || decodeMbap(bytes) || !decodeRtu(bytes))
        return std::nullopt;
    return makeFinding(Cause::UnitSpeaksRtuOverTcp, {hexText(bytes)});
}

std::optional<Finding> recogniseParityErrors(const ExchangeView& x) {
    if (x.result() != kResultPortParity)
        return std::nullopt;
    return makeFinding(Cause::ParityErrors, {numberText(x.evidence.link.baudRate)});
}

std::optional<Finding> recogniseFramingErrors(const ExchangeView& x) {
    if (x.result() != kResultPortFraming && x.result() != kResultPortBreak &&
        x.result() != kResultPortOverrun)
        return std::nullopt;
    return makeFinding(Cause::FramingErrors,
                       {std::string(loadString(static_cast<unsigned>(x.result()))),
                        numberText(x.evidence.link.baudRate)});
}

namespace {

// The reply has the unit and function asked for where they belong: its bytes are the unit's,
// with a few changed on the way.
bool headerIntact(const ExchangeView& x, const ByteVector& bytes) {
    if (x.framing() == kFrameAscii) {
        // ':' and the hexadecimal unit and function, as in the request.
        constexpr std::size_t kAsciiHeader = 5;
        if (bytes.size() < kAsciiHeader || x.evidence.requestSent.size() < kAsciiHeader)
            return false;
        return std::equal(x.evidence.requestSent.begin() + 1,
                          x.evidence.requestSent.begin() + kAsciiHeader, bytes.begin() + 1);
    }
    const std::size_t at = x.framing() == kFrameModbusTcp ? 6 : 0;
    return bytes.size() > at + 1 && bytes[at] == x.unit() &&
           (bytes[at + 1] & ~kExceptionBit) == x.function();
}

int passedRecently(const ExchangeView& x) {
    const auto& r = x.evidence.recentResults;
    return static_cast<int>(std::count(r.begin(), r.end(), kResultOk));
}

} // namespace

std::optional<Finding> recogniseLineSettingsMismatch(const ExchangeView& x) {
    const ByteVector bytes = x.reply();
    if (!x.serial() || !checkFailed(x.result()) || bytes.empty() || headerIntact(x, bytes) ||
        decodeFrame(bytes, x.framing()))
        return std::nullopt;
    // Garbage from a line that used to work is noise, not the settings.
    if (passedRecently(x) > 0)
        return std::nullopt;
    return makeFinding(Cause::LineSettingsMismatch,
                       {hexText(bytes), numberText(x.evidence.link.baudRate)});
}

std::optional<Finding> recogniseLineNoise(const ExchangeView& x) {
    const ByteVector bytes = x.reply();
    if (!checkFailed(x.result()) || bytes.empty() || decodeFrame(bytes, x.framing()))
        return std::nullopt;
    const bool intact = headerIntact(x, bytes);
    const int passed = passedRecently(x);
    if (!intact && passed == 0)
        return std::nullopt;
    return makeFinding(Cause::LineNoise,
                       {hexText(bytes), numberText(passed),
                        numberText(static_cast<long long>(x.evidence.recentResults.size()))});
}

std::optional<Finding> recogniseNothingOverTcp(const ExchangeView& x) {
    if (x.serial() || x.result() != kResultTimedOut || x.receivedAnything())
        return std::nullopt;
    return makeFinding(
        Cause::NothingOverTcp,
        {numberText(static_cast<long long>(x.attempts.size())), numberText(replyWaitMs(x))},
        {numberText(x.unit())});
}

std::optional<Finding> recogniseNothingOnSerialLine(const ExchangeView& x) {
    if (!x.serial() || x.result() != kResultTimedOut)
        return std::nullopt;
    // With echo removal on, the request read back is the line's doing, not the unit's.
    const bool onlyEchoes =
        std::all_of(x.attempts.begin(), x.attempts.end(), [&](const AttemptView& a) {
            return a.flushed.empty() &&
                   (a.received.empty() || (x.evidence.link.removeEcho && a.received == a.sent));
        });
    if (!onlyEchoes)
        return std::nullopt;
    return makeFinding(Cause::NothingOnSerialLine,
                       {numberText(static_cast<long long>(x.attempts.size())),
                        numberText(replyWaitMs(x)), numberText(x.evidence.link.baudRate)},
                       {numberText(x.unit())});
}
