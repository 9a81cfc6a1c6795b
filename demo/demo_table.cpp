#include "demo/demo_table.h"

namespace {

// Functions whose request carries a start address in its two bytes after the code.
bool hasStartAddress(std::uint8_t function) {
    switch (function) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x0F:
    case 0x10:
    case 0x16:
    case 0x17:
        return true;
    default:
        return false;
    }
}

constexpr std::uint8_t kReadExceptionStatus = 0x07;
constexpr int kCrcSize = 2;
constexpr int kTcpLengthOffset = 4; // the MBAP length field, most significant byte first

std::uint16_t crc16(const std::vector<std::uint8_t>& bytes) {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t byte : bytes) {
        crc = static_cast<std::uint16_t>(crc ^ byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                                 : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

} // namespace

std::vector<std::uint8_t> ownAnswer(const std::uint8_t* adu, int length, int headerLength,
                                    bool rtu) {
    const int pduLength = length - headerLength - (rtu ? kCrcSize : 0);
    if (pduLength < 1)
        return {};
    if (adu[headerLength] != kReadExceptionStatus)
        return {};
    std::vector<std::uint8_t> answer(adu, adu + headerLength);
    answer.push_back(kReadExceptionStatus);
    answer.push_back(kDemoExceptionStatus);
    if (rtu) {
        const std::uint16_t crc = crc16(answer);
        answer.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        answer.push_back(static_cast<std::uint8_t>(crc >> 8));
    } else if (answer.size() > kTcpLengthOffset + 1) {
        answer[kTcpLengthOffset] = 0;
        answer[kTcpLengthOffset + 1] = 3; // unit id, function code, status
    }
    return answer;
}

modbus_mapping_t* newDemoTable() {
    modbus_mapping_t* table =
        modbus_mapping_new(kDemoTableSize, kDemoTableSize, kDemoTableSize, kDemoTableSize);
    if (table == nullptr)
        return nullptr;
    for (int n = 0; n < kDemoTableSize; ++n) {
        const auto index = static_cast<std::size_t>(n);
        const auto value = static_cast<std::uint16_t>(n);
        table->tab_bits[index] = n % 2 == 1 ? 1 : 0;
        table->tab_input_bits[index] = n % 2 == 0 ? 1 : 0;
        table->tab_registers[index] = value;
        table->tab_input_registers[index] =
            static_cast<std::uint16_t>(kDemoInputRegisterBase + value);
    }
    return table;
}

DemoFault faultOf(const std::uint8_t* pdu, int length) {
    if (length < 3 || !hasStartAddress(pdu[0]))
        return DemoFault::None;
    switch ((pdu[1] << 8) | pdu[2]) {
    case kDemoLateAnswerAddress:
        return DemoFault::LateAnswer;
    case kDemoNoAnswerAddress:
        return DemoFault::NoAnswer;
    case kDemoExceptionAnswerAddress:
        return DemoFault::ExceptionAnswer;
    default:
        return DemoFault::None;
    }
}
