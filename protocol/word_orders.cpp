#include "protocol/word_orders.h"

#include "protocol/value_codecs.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A magnitude outside these bounds is what a float or double read in the wrong order looks like
// (denormals, 1e-38, 1e23); measured quantities sit well inside.
constexpr double kSmallestPlausibleMagnitude = 1e-6;
constexpr double kLargestPlausibleDouble = 1e12;
// A single-precision value stops holding whole numbers exactly long before this, so units keep
// larger quantities in integers or doubles.
constexpr double kLargestPlausibleFloat = 1e9;

// Reading an integer in a wrong order moves a non-zero byte up by at least one byte position.
constexpr std::uint64_t kWrongOrderFactor = 256;
constexpr unsigned kRegisterBits = 16;

std::size_t orderIndex(WordOrder order) {
    return static_cast<std::size_t>(order);
}

bool swapsBytes(WordOrder order) {
    return order == WordOrder::BADC || order == WordOrder::DCBA;
}

bool reversesRegisters(WordOrder order) {
    return order == WordOrder::CDAB || order == WordOrder::DCBA;
}

bool isPlausibleFloating(double value, WideType type) {
    if (value == 0.0)
        return true;
    const double magnitude = std::fabs(value);
    const double largest =
        type == WideType::Float32 ? kLargestPlausibleFloat : kLargestPlausibleDouble;
    return std::isnormal(value) && magnitude >= kSmallestPlausibleMagnitude && magnitude <= largest;
}

std::uint64_t magnitudeOf(const WideNumber& number) {
    if (const auto* signedValue = std::get_if<std::int64_t>(&number)) {
        const auto bits = static_cast<std::uint64_t>(*signedValue);
        return *signedValue < 0 ? 0 - bits : bits;
    }
    return std::get<std::uint64_t>(number);
}

std::array<bool, 4> plausibleIntegerOrders(const std::array<std::uint64_t, 4>& magnitudes) {
    const std::uint64_t smallest = *std::min_element(magnitudes.begin(), magnitudes.end());
    // Only a value that fits in its low register has the zero bytes that tell the orders apart;
    // the bytes of a larger one read much alike in several orders, so none is named.
    if (smallest >> kRegisterBits != 0)
        return {};
    const std::uint64_t limit =
        smallest > std::numeric_limits<std::uint64_t>::max() / kWrongOrderFactor
            ? std::numeric_limits<std::uint64_t>::max()
            : smallest * kWrongOrderFactor;
    std::array<bool, 4> plausible{};
    for (std::size_t i = 0; i < magnitudes.size(); ++i)
        plausible[i] = magnitudes[i] == smallest || magnitudes[i] < limit;
    return plausible;
}

} // namespace

std::size_t wideTypeSize(WideType type) {
    switch (type) {
    case WideType::Float32:
    case WideType::Int32:
    case WideType::UInt32:
        return 4;
    case WideType::Float64:
    case WideType::Int64:
    case WideType::UInt64:
        break;
    }
    return 8;
}

bool isFloatingType(WideType type) {
    return type == WideType::Float32 || type == WideType::Float64;
}

void toMotorolaOrder(std::span<std::uint8_t> bytes, WordOrder order) {
    if (swapsBytes(order)) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            swap2(&bytes[i]);
    }
    if (reversesRegisters(order)) {
        const std::size_t registers = bytes.size() / 2;
        for (std::size_t i = 0; i < registers / 2; ++i) {
            std::swap(bytes[2 * i], bytes[2 * (registers - 1 - i)]);
            std::swap(bytes[2 * i + 1], bytes[2 * (registers - 1 - i) + 1]);
        }
    }
}

std::optional<WideNumber> readWide(std::span<const std::uint8_t> bytes, WideType type,
                                   WordOrder order) {
    const std::size_t size = wideTypeSize(type);
    if (bytes.size() < size)
        return std::nullopt;
    std::array<std::uint8_t, 8> value{};
    std::copy_n(bytes.begin(), size, value.begin());
    toMotorolaOrder(std::span(value.data(), size), order);
    switch (type) {
    case WideType::Float32:
        return WideNumber{static_cast<double>(getFloat(value.data()))};
    case WideType::Int32:
        return WideNumber{std::int64_t{static_cast<std::int32_t>(getUInt32(value.data()))}};
    case WideType::UInt32:
        return WideNumber{std::uint64_t{getUInt32(value.data())}};
    case WideType::Float64:
        return WideNumber{getDouble(value.data())};
    case WideType::Int64:
        return WideNumber{static_cast<std::int64_t>(getUInt64(value.data()))};
    case WideType::UInt64:
        break;
    }
    return WideNumber{getUInt64(value.data())};
}

std::array<bool, 4> plausibleOrders(std::span<const std::uint8_t> bytes, WideType type) {
    std::array<bool, 4> plausible{};
    if (bytes.size() < wideTypeSize(type))
        return plausible;
    std::array<std::uint64_t, 4> magnitudes{};
    for (const WordOrder order : kWordOrders) {
        const WideNumber number = *readWide(bytes, type, order);
        if (isFloatingType(type))
            plausible[orderIndex(order)] = isPlausibleFloating(std::get<double>(number), type);
        else
            magnitudes[orderIndex(order)] = magnitudeOf(number);
    }
    return isFloatingType(type) ? plausible : plausibleIntegerOrders(magnitudes);
}

std::optional<WordOrder> onlyPlausibleOrder(std::span<const std::uint8_t> bytes, WideType type) {
    const std::array<bool, 4> plausible = plausibleOrders(bytes, type);
    if (std::count(plausible.begin(), plausible.end(), true) != 1)
        return std::nullopt;
    return kWordOrders[static_cast<std::size_t>(
        std::find(plausible.begin(), plausible.end(), true) - plausible.begin())];
}
