#pragma once

#include <array>
#include <cstdint>
#include <string>

class CArchive;

// How a location reaches its unit. Stored as a 32-bit integer; a value read from a settings
// file may lie outside the named ones.
enum class MediaType : std::int32_t {
    Direct = 0,
    Modem = 1,
    Satellite = 2,
    TcpIp = 3,
};

// The Modbus framing used with the unit.
enum class ModbusType : std::int32_t {
    Rtu = 0,
    Ascii = 1,
    ModbusTcp = 2,
};

// Identifiers of the display texts; the text of a value is the message at base + value.
constexpr unsigned kMediaTextBase = 8000;
constexpr unsigned kBaudTextBase = 8010;
constexpr unsigned kParityTextBase = 8020;
constexpr unsigned kModbusTypeTextBase = 8025;

// Media codes as passed to setDefaults and used by the location editor: 8000 + MediaType.
constexpr int kMediaCodeDirect = 8000;
constexpr int kMediaCodeModem = 8001;
constexpr int kMediaCodeSatellite = 8002;
constexpr int kMediaCodeTcpIp = 8003;

constexpr int kBaudIndexCount = 10;
// Bits per second of each baud index 0..9 (the numeric value of the baud text).
constexpr std::array<int, kBaudIndexCount> kBaudRates = {300,  600,   1200,  2400,  4800,
                                                         9600, 19200, 38400, 57600, 115200};
// Bits per second of a baud index; 0 for an index outside the list.
constexpr int baudRateOfIndex(std::int32_t baudIndex) {
    return baudIndex >= 0 && baudIndex < kBaudIndexCount
               ? kBaudRates[static_cast<std::size_t>(baudIndex)]
               : 0;
}
// Default Time 2 in milliseconds for Direct media, by baud index.
constexpr std::array<std::int32_t, kBaudIndexCount> kDirectTime2ByBaud = {200, 200, 100, 100, 100,
                                                                          100, 100, 100, 100, 100};

// Parity index values (the text is message kParityTextBase + index).
constexpr std::int32_t kParityEven = 0;
constexpr std::int32_t kParityOdd = 1;
constexpr std::int32_t kParityNone = 2;

// Data bits = dataBitsIndex + 7; stop bits = stopBitsIndex + 1.
constexpr int dataBitsFromIndex(std::int32_t index) {
    return static_cast<int>(index) + 7;
}
constexpr int stopBitsFromIndex(std::int32_t index) {
    return static_cast<int>(index) + 1;
}

// One named connection profile: a plain value record. Holders keep their own copies.
class CLocation {
public:
    // Every field takes the defaults of `mediaCode` (see setDefaults).
    explicit CLocation(int mediaCode = kMediaCodeDirect);
    CLocation(const CLocation&) = default;
    CLocation& operator=(const CLocation&) = default;
    CLocation(CLocation&&) = default;
    CLocation& operator=(CLocation&&) = default;
    ~CLocation() = default;

    bool operator==(const CLocation&) const = default;

    // Resets every field to the defaults of the media code: 8001 Modem, 8002 Satellite,
    // 8003 TCP/IP, anything else Direct.
    void setDefaults(int mediaCode);

    // Writes or reads every field in the archive order, depending on the archive's direction.
    // Reading throws CArchiveException when the data ends inside a field.
    void serialize(CArchive& archive);
    // Writes every field in the archive order to a storing archive.
    void store(CArchive& archive) const;

    // Texts of the three list columns after the name. `decimalSeparator` replaces the dots of
    // the IPv4 address.
    // Returns the display text of mediaType (empty for a value without a text).
    std::string mediaText() const;
    // Returns "IP w.x.y.z  TCP port" for TCP/IP, else `number` as stored.
    std::string numberText(const std::string& decimalSeparator) const;
    // Returns "ID id  time1,time2,retries" for TCP/IP, else
    // "ID id  port,baud,data,stop,parity  time1,time2,retries".
    std::string detailsText() const;

    bool isTcpIp() const { return mediaType == MediaType::TcpIp; }

    std::string name;
    std::string number;
    std::int32_t modiconCompatible = 0;
    MediaType mediaType = MediaType::Direct;
    std::int32_t modbusId = 1;
    ModbusType modbusType = ModbusType::Rtu;
    std::int32_t retries = 2;
    std::string portName;
    std::int32_t rs485TwoWire = 0;
    std::int32_t baudIndex = 5;
    std::int32_t dataBitsIndex = 1;
    std::int32_t stopBitsIndex = 0;
    std::int32_t parityIndex = kParityNone;
    std::string modemInitString;
    std::int32_t connectTimeout = 60;  // seconds
    std::int32_t redialWait = 10;      // seconds
    std::int32_t disconnectAfter = 15; // minutes
    std::int32_t tcpPort = 0;
    std::uint32_t ipAddress = 0; // w.x.y.z packed as (w << 24) | (x << 16) | (y << 8) | z
    std::int32_t time1 = 500;    // milliseconds
    std::int32_t time2 = 100;    // milliseconds
};
