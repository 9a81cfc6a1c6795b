// Feeds arbitrary replies through the readers of the identification answers, both as a protocol
// data unit and as a whole reply in each framing.

#include "protocol/modbus_message.h"
#include "protocol/unit_identification.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    auto message = std::make_unique<CModbusMessage>();
    message->setFrameFormat(data[0] % 3);
    const auto length = static_cast<int>(std::min<std::size_t>(size - 1, kFrameBufferSize));
    DeviceIdentification identification;
    ServerIdReport report;
    decodeDeviceIdentification(data + 1, length, identification);
    decodeReportServerId(data + 1, length, report);
    const std::vector<std::uint8_t> pdu = replyPdu(*message, data + 1, length);
    decodeDeviceIdentification(pdu.data(), static_cast<int>(pdu.size()), identification);
    decodeReportServerId(pdu.data(), static_cast<int>(pdu.size()), report);
    return 0;
}
