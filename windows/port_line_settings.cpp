#include "windows/port_line_settings.h"

#include "comms/port_map.h"
#include "comms/serial_port.h"
#include "platform/device_access.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <array>

namespace {

constexpr std::array<int, 3> kParityByIndex = {Parity::Even, Parity::Odd, Parity::None};
constexpr std::array<int, 2> kStopBitsByIndex = {StopBits::One, StopBits::Two};
constexpr std::int32_t kDataBitsIndexCount = 2;
constexpr std::uint32_t kDriverQueueBytes = 640;

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

bool openLinePort(CSerialPort& port, int portNumber, const PortLineSettings& line) {
    try {
        port.open(portNumber, line.baudRate, line.parity, line.dataBits, line.stopBits,
                  FlowControl::None, true);
        if (!port.isOpen())
            return false;
        port.raiseDtr();
        port.raiseRts();
        port.setQueueSizes(kDriverQueueBytes, kDriverQueueBytes);
        port.setTimeouts({kReadIntervalImmediate, 0, 0, 0, 0});
        return true;
    } catch (const CSerialException&) {
        // A device that takes the open but refuses its settings is a port that did not open.
        try {
            port.close();
        } catch (const CSerialException&) {
            // close() has released the device all the same.
        }
        return false;
    }
}

std::string portRefusalHint(int portNumber) {
    // Linux refuses a device to users outside the group that owns it: say how to fix that.
    const std::string device = resolveComPort(portNumber);
    const auto group = deviceRefusingGroup(device);
    if (!group)
        return {};
    return "  " +
           formatString(kIdsSerialPermissionHint, device.c_str(), group->c_str(), group->c_str());
}
