#include "windows/port_line_settings.h"

#include "comms/serial_port.h"

#include <array>

namespace {

constexpr std::array<int, 3> kParityByIndex = {Parity::Even, Parity::Odd, Parity::None};
constexpr std::array<int, 2> kStopBitsByIndex = {StopBits::One, StopBits::Two};
constexpr std::int32_t kDataBitsIndexCount = 2;

template <typename Table> bool inTable(const Table& table, std::int32_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < table.size();
}

} // namespace

std::optional<PortLineSettings> portLineSettings(const CLocation& location) {
    if (!inTable(kBaudRates, location.baudIndex) ||
        !inTable(kParityByIndex, location.parityIndex) ||
        !inTable(kStopBitsByIndex, location.stopBitsIndex) || location.dataBitsIndex < 0 ||
        location.dataBitsIndex >= kDataBitsIndexCount)
        return std::nullopt;
    PortLineSettings settings;
    settings.baudRate =
        static_cast<std::uint32_t>(kBaudRates[static_cast<std::size_t>(location.baudIndex)]);
    settings.parity = kParityByIndex[static_cast<std::size_t>(location.parityIndex)];
    settings.dataBits = dataBitsFromIndex(location.dataBitsIndex);
    settings.stopBits = kStopBitsByIndex[static_cast<std::size_t>(location.stopBitsIndex)];
    return settings;
}
