#pragma once

// What the recognisers look at: the evidence cut into attempts, with the request and the replies
// decoded from the bytes as they went and came, whatever framing they turn out to have.

#include "diagnosis/diagnose.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

using ByteVector = std::vector<std::uint8_t>;

// One attempt: what the flush read before it, what went out, what came back, its errors.
struct AttemptView {
    ByteVector flushed;
    std::int64_t flushAtMs = 0; // the first flush record with bytes
    ByteVector sent;
    std::int64_t txAtMs = 0;
    ByteVector received;
    std::int64_t rxAtMs = 0; // the first RX record with bytes
    std::vector<int> errors;
    std::int64_t lastErrorAtMs = 0;
};

// A frame reduced to what the recognisers compare: who, which function, the PDU data (after the
// function code, without check value), and the Modbus/TCP transaction identifier.
struct FrameView {
    std::uint8_t unit = 0;
    std::uint8_t function = 0;
    ByteVector data;
    std::uint16_t transactionId = 0;
    std::size_t length = 0; // bytes the frame took on the wire
};

std::optional<FrameView> decodeRtu(std::span<const std::uint8_t> bytes);
std::optional<FrameView> decodeAscii(std::span<const std::uint8_t> bytes);
std::optional<FrameView> decodeMbap(std::span<const std::uint8_t> bytes);
// Decodes in the framing's format (FrameFormat).
std::optional<FrameView> decodeFrame(std::span<const std::uint8_t> bytes, int framing);

class ExchangeView {
public:
    explicit ExchangeView(const DiagnosisEvidence& evidence);

    const DiagnosisEvidence& evidence;
    std::vector<AttemptView> attempts;
    std::optional<FrameView> request; // decoded from the request as sent

    int result() const { return evidence.result; }
    int framing() const { return evidence.link.framing; }
    bool serial() const { return evidence.link.serialLine; }
    int function() const { return request ? request->function : -1; }
    std::uint8_t unit() const { return request ? request->unit : 0; }
    // The wire address and quantity of a read or write of several (functions 1-4, 15, 16).
    int wireAddress() const;
    int wireQuantity() const;
    // What the last attempt received, less a leading copy of its request.
    ByteVector reply() const;
    // The reply decoded in the location's framing, when it is whole and its check passes.
    std::optional<FrameView> decodedReply() const;
    bool receivedAnything() const;
    const AttemptView* last() const { return attempts.empty() ? nullptr : &attempts.back(); }
};

// Texts used by several recognisers.
std::string hexText(std::span<const std::uint8_t> bytes);
std::string numberText(long long value);
// The text of a label without its trailing colon ("Message Timeout:" -> "Message Timeout").
std::string labelText(unsigned id);

// A finding of `cause` with its evidence and next-check texts filled with the arguments.
Finding makeFinding(Cause cause, const std::vector<std::string>& evidenceArgs,
                    const std::vector<std::string>& nextArgs = {});

// The recognisers: each names its cause or stays silent.
using Recogniser = std::optional<Finding> (*)(const ExchangeView&);

std::optional<Finding> recogniseConnectionRefused(const ExchangeView& x);
std::optional<Finding> recogniseConnectTimedOut(const ExchangeView& x);
std::optional<Finding> recogniseClosedAfterRequest(const ExchangeView& x);
std::optional<Finding> recogniseTransactionIdZero(const ExchangeView& x);
std::optional<Finding> recogniseLateAnswer(const ExchangeView& x);
std::optional<Finding> recogniseEchoNotRemoved(const ExchangeView& x);
std::optional<Finding> recogniseReplyTakenForEcho(const ExchangeView& x);
std::optional<Finding> recogniseAnswersForEveryId(const ExchangeView& x);
std::optional<Finding> recogniseWrongUnitId(const ExchangeView& x);
std::optional<Finding> recogniseUnitSpeaksAscii(const ExchangeView& x);
std::optional<Finding> recogniseUnitSpeaksRtu(const ExchangeView& x);
std::optional<Finding> recogniseUnitSpeaksModbusTcp(const ExchangeView& x);
std::optional<Finding> recogniseUnitSpeaksRtuOverTcp(const ExchangeView& x);
std::optional<Finding> recogniseParityErrors(const ExchangeView& x);
std::optional<Finding> recogniseFramingErrors(const ExchangeView& x);
std::optional<Finding> recogniseLineSettingsMismatch(const ExchangeView& x);
std::optional<Finding> recogniseLineNoise(const ExchangeView& x);
std::optional<Finding> recogniseTryInputRegisters(const ExchangeView& x);
std::optional<Finding> recogniseTryHoldingRegisters(const ExchangeView& x);
std::optional<Finding> recogniseAddressOffByOne(const ExchangeView& x);
std::optional<Finding> recogniseBlockLimit(const ExchangeView& x);
std::optional<Finding> recogniseGatewayPath(const ExchangeView& x);
std::optional<Finding> recogniseGatewayTarget(const ExchangeView& x);
std::optional<Finding> recogniseUnitCountsRegisters(const ExchangeView& x);
std::optional<Finding> recogniseUnitCountsValues(const ExchangeView& x);
std::optional<Finding> recogniseWordOrder(const ExchangeView& x);
std::optional<Finding> recogniseNothingOverTcp(const ExchangeView& x);
std::optional<Finding> recogniseNothingOnSerialLine(const ExchangeView& x);

// Result codes of the exchanges and the socket that the recognisers read. They are raised in
// comms/, which this library does not use; the values are the string-table identifiers there.
inline constexpr int kResultPortOverrun = 5033;
inline constexpr int kResultPortParity = 5034;
inline constexpr int kResultPortFraming = 5035;
inline constexpr int kResultPortBreak = 5036;
inline constexpr int kResultConnectTimedOut = 5502;
inline constexpr int kResultConnectRefused = 5507;
inline constexpr int kResultSocketTimedOut = 5517;
inline constexpr int kResultConnectionGone = 5534;
