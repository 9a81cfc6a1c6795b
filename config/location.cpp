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

// Hands every field to `visit` in the archive order.
template <typename Location, typename Visit>
void visitArchiveFields(Location& location, Visit visit) {
    visit(location.name);
    visit(location.number);
    visit(location.mediaType);
    visit(location.modbusId);
    visit(location.modbusType);
    visit(location.modiconCompatible);
    visit(location.rs485TwoWire);
    visit(location.portName);
    visit(location.baudIndex);
    visit(location.dataBitsIndex);
    visit(location.stopBitsIndex);
    visit(location.parityIndex);
    visit(location.retries);
    visit(location.modemInitString);
    visit(location.connectTimeout);
    visit(location.redialWait);
    visit(location.disconnectAfter);
    visit(location.tcpPort);
    visit(location.ipAddress);
    visit(location.time1);
    visit(location.time2);
}

void writeField(CArchive& archive, const std::string& value) {
    archive.writeString(value);
}
void writeField(CArchive& archive, std::int32_t value) {
    archive.writeInt32(value);
}
void writeField(CArchive& archive, std::uint32_t value) {
    archive.writeUInt32(value);
}
void writeField(CArchive& archive, MediaType value) {
    archive.writeInt32(static_cast<std::int32_t>(value));
}
void writeField(CArchive& archive, ModbusType value) {
    archive.writeInt32(static_cast<std::int32_t>(value));
}

void readField(CArchive& archive, std::string& value) {
    value = archive.readString();
}
void readField(CArchive& archive, std::int32_t& value) {
    value = archive.readInt32();
}
void readField(CArchive& archive, std::uint32_t& value) {
    value = archive.readUInt32();
}
void readField(CArchive& archive, MediaType& value) {
    value = static_cast<MediaType>(archive.readInt32());
}
void readField(CArchive& archive, ModbusType& value) {
    value = static_cast<ModbusType>(archive.readInt32());
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
    if (archive.isStoring())
        store(archive);
    else
        visitArchiveFields(*this, [&archive](auto& field) { readField(archive, field); });
}

void CLocation::store(CArchive& archive) const {
    visitArchiveFields(*this, [&archive](const auto& field) { writeField(archive, field); });
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
    // A damaged parity index shows as "?", as in the status bar.
    text += parity.empty() ? '?' : parity.front();
    text += formatText("  %d,%d,%d", time1, time2, retries);
    return text;
}
