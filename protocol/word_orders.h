#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

// How a unit lays a 32- or 64-bit value across 16-bit registers. The letters name the value's
// bytes most significant first, as Modbus carries them (ABCD); a 64-bit value follows the same
// two choices over its four registers: bytes exchanged inside each register (BADC), registers in
// reverse order (CDAB), or both (DCBA).
enum class WordOrder : std::uint8_t { ABCD, CDAB, BADC, DCBA };

inline constexpr std::array<WordOrder, 4> kWordOrders{WordOrder::ABCD, WordOrder::CDAB,
                                                      WordOrder::BADC, WordOrder::DCBA};

// The readings that span more than one register.
enum class WideType : std::uint8_t { Float32, Int32, UInt32, Float64, Int64, UInt64 };

inline constexpr std::array<WideType, 6> kWideTypes{WideType::Float32, WideType::Int32,
                                                    WideType::UInt32,  WideType::Float64,
                                                    WideType::Int64,   WideType::UInt64};

// Bytes one value takes: 4 or 8.
std::size_t wideTypeSize(WideType type);
bool isFloatingType(WideType type);

// Rearranges a 4- or 8-byte value laid out in `order` into most-significant-first order. Each
// order is its own inverse, so the same call lays a Motorola-order value out in `order`.
void toMotorolaOrder(std::span<std::uint8_t> bytes, WordOrder order);

// A value read from registers: integers exact, floating values widened to double.
using WideNumber = std::variant<std::int64_t, std::uint64_t, double>;

// Reads the value at the start of `bytes` (register bytes as received) laid out in `order`, through
// the value codecs. No value when fewer bytes than the type takes are left.
std::optional<WideNumber> readWide(std::span<const std::uint8_t> bytes, WideType type,
                                   WordOrder order);

// The orders whose reading looks like a measurement rather than bytes read in the wrong order,
// indexed like kWordOrders. A floating value is plausible when it is zero or a normal number of
// a magnitude a unit reports; an integer when the smallest of the four readings fits in one
// register and the reading is that one or within a byte's shift of it (a value read in a wrong
// order is at least 256 times larger). All false when `bytes` is short.
std::array<bool, 4> plausibleOrders(std::span<const std::uint8_t> bytes, WideType type);

// The order that alone reads plausibly; none when several or none do, so a caller never names an
// order the evidence does not single out.
std::optional<WordOrder> onlyPlausibleOrder(std::span<const std::uint8_t> bytes, WideType type);
