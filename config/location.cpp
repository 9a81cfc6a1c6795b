#include "config/location.h"

#include "config/archive.h"
#include "resources/string_table.h"

namespace {

// The display text of message base + index, or empty for an index outside 0..count-1.
std::string indexedText(unsigned base, std::int32_t index, std::int32_t count) {
    if (index < 0 || index >= count)
        return {};
    return std::string(loadString(base + static_cast<unsigned>(index)));
}

void serializeString(CArchive& archive, std::string& value) {
    if (archive.isStoring())
        archive.writeString(value);
    else
        value = archive.readString();
}

void serializeInt(CArchive& archive, std::int32_t& value) {
    if (archive.isStoring())
        archive.writeInt32(value);
    else
        value = archive.readInt32();
}

template <typename Enum> void serializeEnum(CArchive& archive, Enum& value) {
    auto raw = static_cast<std::int32_t>(value);
    serializeInt(archive, raw);
    value = static_cast<Enum>(raw);
}

} // namespace

CLocation::CLocation(int mediaCode) {
    setDefaults(mediaCode);
}

void CLocation::setDefaults(int mediaCode) {
    name.clear();
    number.clear();
    modbusId = 1;
    modbusType = ModbusType::Rtu;
    modiconCompatible = 0;
    retries = 2;
    portName = "COM1";
    baudIndex = 5;
    dataBitsIndex = 1;
    stopBitsIndex = 0;
    parityIndex = kParityNone;
    rs485TwoWire = 0;
    modemInitString = "AT &F E0 M1";
    connectTimeout = 60;
    redialWait = 10;
    disconnectAfter = 15;
    tcpPort = 0;
    ipAddress = 0;

    switch (mediaCode) {
    case kMediaCodeModem:
        mediaType = MediaType::Modem;
        portName = "COM2";
        time1 = 1000;
        time2 = 150;
        break;
    case kMediaCodeSatellite:
        mediaType = MediaType::Satellite;
        modbusType = ModbusType::Ascii;
        portName = "COM2";
        dataBitsIndex = 0;
        parityIndex = kParityEven;
        stopBitsIndex = 1;
        time1 = 5000;
        time2 = 3000;
        break;
    case kMediaCodeTcpIp:
        mediaType = MediaType::TcpIp;
        tcpPort = 6000;
        ipAddress = 0;
        time1 = 5000;
        time2 = 2000;
        break;
    default:
        mediaType = MediaType::Direct;
        time1 = 500;
        time2 = kDirectTime2ByBaud[static_cast<std::size_t>(baudIndex)];
        break;
    }
}

void CLocation::serialize(CArchive& archive) {
    serializeString(archive, name);
    serializeString(archive, number);
    serializeEnum(archive, mediaType);
    serializeInt(archive, modbusId);
    serializeEnum(archive, modbusType);
    serializeInt(archive, modiconCompatible);
    serializeInt(archive, rs485TwoWire);
    serializeString(archive, portName);
    serializeInt(archive, baudIndex);
    serializeInt(archive, dataBitsIndex);
    serializeInt(archive, stopBitsIndex);
    serializeInt(archive, parityIndex);
    serializeInt(archive, retries);
    serializeString(archive, modemInitString);
    serializeInt(archive, connectTimeout);
    serializeInt(archive, redialWait);
    serializeInt(archive, disconnectAfter);
    serializeInt(archive, tcpPort);
    if (archive.isStoring())
        archive.writeUInt32(ipAddress);
    else
        ipAddress = archive.readUInt32();
    serializeInt(archive, time1);
    serializeInt(archive, time2);
}

std::string CLocation::mediaText() const {
    return indexedText(kMediaTextBase, static_cast<std::int32_t>(mediaType), 4);
}

std::string CLocation::numberText(const std::string& decimalSeparator) const {
    if (!isTcpIp())
        return number;
    const std::string text =
        formatText("IP %u.%u.%u.%u  TCP %d", (ipAddress >> 24) & 0xFFu, (ipAddress >> 16) & 0xFFu,
                   (ipAddress >> 8) & 0xFFu, ipAddress & 0xFFu, tcpPort);
    std::string shown;
    for (const char c : text) {
        if (c == '.')
            shown += decimalSeparator;
        else
            shown += c;
    }
    return shown;
}

std::string CLocation::detailsText() const {
    if (isTcpIp())
        return formatText("ID %d  %d,%d,%d", modbusId, time1, time2, retries);
    const std::string baud = indexedText(kBaudTextBase, baudIndex, kBaudIndexCount);
    const std::string parity = indexedText(kParityTextBase, parityIndex, 3);
    // Widened so that any stored index, however damaged, prints without overflow.
    std::string text = formatText("ID %d  %s,%s,%lld,%lld,", modbusId, portName.c_str(),
                                  baud.c_str(), static_cast<long long>(dataBitsIndex) + 7,
                                  static_cast<long long>(stopBitsIndex) + 1);
    if (!parity.empty())
        text += parity.front();
    text += formatText("  %d,%d,%d", time1, time2, retries);
    return text;
}
