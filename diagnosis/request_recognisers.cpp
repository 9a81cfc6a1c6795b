// Recognisers of what the unit said about the request: its exceptions, the number of bytes it
// returned for the quantity asked, and values that read as if laid out in another word order.

#include "diagnosis/exchange_view.h"
#include "protocol/data_types.h"
#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"
#include "protocol/word_orders.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <algorithm>

namespace {

constexpr int kReadHolding = 3;
constexpr int kReadInput = 4;
constexpr int kRegisterBytes = 2;

bool readsBitsOrRegisters(int fn) {
    return fn >= 1 && fn <= 4;
}

bool readsRegisters(int fn) {
    return fn == kReadHolding || fn == kReadInput;
}

std::optional<WideType> wideTypeOf(int dataType) {
    switch (dataType) {
    case kDataTypeInt32:
        return WideType::Int32;
    case kDataTypeUInt32:
        return WideType::UInt32;
    case kDataTypeFloat:
        return WideType::Float32;
    case kDataTypeDouble:
        return WideType::Float64;
    default:
        return std::nullopt;
    }
}

bool logicalAddressing(const ExchangeView& x) {
    return x.evidence.link.addressingIndex == kAddressingIndexLogical;
}

std::string addressingText(int index) {
    return std::string(loadString(static_cast<unsigned>(kAddressingLogical + index)));
}

// The byte count of a register read's reply, when it came whole.
std::optional<int> replyByteCount(const ExchangeView& x) {
    const auto reply = x.decodedReply();
    if (!reply || reply->function != x.function() || reply->data.empty())
        return std::nullopt;
    return reply->data[0];
}

// A register read of wide values whose reply failed its byte count: the type's size and the
// byte count that came.
struct WideCountFailure {
    int valueBytes = 0;
    int byteCount = 0;
};

std::optional<WideCountFailure> wideCountFailure(const ExchangeView& x) {
    const bool countFailed =
        x.result() == kResultWrongByteCount || x.result() == kResultByteCountTooLarge;
    const auto type = wideTypeOf(x.evidence.request.dataType);
    if (!countFailed || !readsRegisters(x.function()) || !type)
        return std::nullopt;
    const auto count = replyByteCount(x);
    if (!count)
        return std::nullopt;
    return WideCountFailure{static_cast<int>(wideTypeSize(*type)), *count};
}

// The byte count a reply should carry for the quantity asked; none where the type's size is not
// one the recognisers reason about.
std::optional<int> expectedByteCount(const ExchangeView& x) {
    const int quantity = x.wireQuantity();
    if (quantity < 0)
        return std::nullopt;
    if (!readsRegisters(x.function()))
        return (quantity + 7) / 8;
    if (!logicalAddressing(x))
        return kRegisterBytes * quantity;
    const int type = x.evidence.request.dataType;
    if (const auto wide = wideTypeOf(type))
        return static_cast<int>(wideTypeSize(*wide)) * quantity;
    if (type == kDataTypeInt16 || type == kDataTypeUInt16)
        return kRegisterBytes * quantity;
    return std::nullopt;
}

WordOrder decodingOrder(const ExchangeView& x, WideType type) {
    // Modicon Compatible exchanges the two words of a 32-bit floating value before decoding.
    if (type == WideType::Float32 && x.evidence.link.addressingIndex == kAddressingIndexModicon)
        return WordOrder::CDAB;
    return WordOrder::ABCD;
}

std::size_t orderIndex(WordOrder order) {
    return static_cast<std::size_t>(std::find(kWordOrders.begin(), kWordOrders.end(), order) -
                                    kWordOrders.begin());
}

bool allZero(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// The one other order that the values single out, when none reads plausibly as decoded.
std::optional<WordOrder> betterOrder(std::span<const std::uint8_t> data, WideType type,
                                     WordOrder current) {
    const std::size_t size = wideTypeSize(type);
    std::optional<WordOrder> found;
    for (std::size_t at = 0; at + size <= data.size(); at += size) {
        const auto value = data.subspan(at, size);
        if (allZero(value))
            continue;
        if (plausibleOrders(value, type)[orderIndex(current)])
            return std::nullopt;
        const auto only = onlyPlausibleOrder(value, type);
        if (only && found && *only != *found)
            return std::nullopt;
        if (only)
            found = only;
    }
    return found;
}

} // namespace

std::optional<Finding> recogniseTryInputRegisters(const ExchangeView& x) {
    if (x.result() != kResultIllegalFunction || x.function() != kReadHolding)
        return std::nullopt;
    return makeFinding(Cause::TryInputRegisters, {});
}

std::optional<Finding> recogniseTryHoldingRegisters(const ExchangeView& x) {
    if (x.result() != kResultIllegalFunction || x.function() != kReadInput)
        return std::nullopt;
    return makeFinding(Cause::TryHoldingRegisters, {});
}

std::optional<Finding> recogniseAddressOffByOne(const ExchangeView& x) {
    const int sent = x.wireAddress();
    if (x.result() != kResultIllegalDataAddress || sent < 0)
        return std::nullopt;
    const int entered = x.evidence.request.startAddress;
    const int lowest = x.evidence.link.addressingIndex == kAddressingIndexModicon ? 1 : 0;
    const int below = std::max(lowest, entered - 1);
    return makeFinding(
        Cause::AddressOffByOne,
        {numberText(sent), numberText(entered), addressingText(x.evidence.link.addressingIndex),
         numberText(std::max(1, x.wireQuantity()))},
        {numberText(below == entered ? entered + 1 : below), numberText(entered + 1)});
}

std::optional<Finding> recogniseBlockLimit(const ExchangeView& x) {
    const int quantity = x.wireQuantity();
    if (!readsBitsOrRegisters(x.function()) || quantity <= 1)
        return std::nullopt;
    if (x.result() == kResultIllegalDataValue)
        return makeFinding(Cause::BlockLimit, {numberText(quantity)},
                           {numberText(std::max(1, quantity / 2))});
    const auto count = replyByteCount(x);
    const auto expected = expectedByteCount(x);
    if (x.result() != kResultWrongByteCount || !count || !expected || *count >= *expected ||
        wideCountFailure(x))
        return std::nullopt;
    const int fits = readsRegisters(x.function()) ? *count / kRegisterBytes : *count * 8;
    return makeFinding(Cause::BlockLimit, {numberText(quantity)}, {numberText(std::max(1, fits))});
}

std::optional<Finding> recogniseGatewayPath(const ExchangeView& x) {
    if (x.result() != kResultGatewayPath)
        return std::nullopt;
    return makeFinding(Cause::GatewayPath, {}, {numberText(x.unit())});
}

std::optional<Finding> recogniseGatewayTarget(const ExchangeView& x) {
    if (x.result() != kResultGatewayTarget)
        return std::nullopt;
    return makeFinding(Cause::GatewayTarget, {}, {numberText(x.unit())});
}

std::optional<Finding> recogniseUnitCountsRegisters(const ExchangeView& x) {
    const auto failure = wideCountFailure(x);
    if (!failure || !logicalAddressing(x) ||
        failure->byteCount != kRegisterBytes * x.wireQuantity())
        return std::nullopt;
    const int expected = failure->valueBytes * x.wireQuantity();
    return makeFinding(
        Cause::UnitCountsRegisters,
        {numberText(x.wireQuantity()), numberText(failure->byteCount), numberText(expected)});
}

std::optional<Finding> recogniseUnitCountsValues(const ExchangeView& x) {
    const auto failure = wideCountFailure(x);
    if (!failure || logicalAddressing(x) ||
        failure->byteCount != failure->valueBytes * x.wireQuantity())
        return std::nullopt;
    const int expected = kRegisterBytes * x.wireQuantity();
    return makeFinding(Cause::UnitCountsValues,
                       {numberText(x.wireQuantity()), numberText(failure->byteCount),
                        numberText(expected), addressingText(x.evidence.link.addressingIndex)});
}

std::optional<Finding> recogniseWordOrder(const ExchangeView& x) {
    const auto type = wideTypeOf(x.evidence.request.dataType);
    const auto reply = x.decodedReply();
    if (x.result() != kResultOk || !readsRegisters(x.function()) || !type || !reply ||
        reply->data.size() < 2)
        return std::nullopt;
    const std::span<const std::uint8_t> data(reply->data.data() + 1, reply->data.size() - 1);
    const WordOrder current = decodingOrder(x, *type);
    const auto better = betterOrder(data, *type, current);
    if (!better || *better == current)
        return std::nullopt;
    const auto orderText = [](WordOrder o) {
        return std::string(loadString(kIdsDiagOrderFirst + static_cast<unsigned>(orderIndex(o))));
    };
    return makeFinding(Cause::WordOrder, {orderText(current), hexText(data), orderText(*better)},
                       {orderText(*better)});
}
