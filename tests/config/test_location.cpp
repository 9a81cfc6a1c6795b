#include "config/archive.h"
#include "config/location.h"
#include "resources/string_table.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct DefaultsCase {
    int mediaCode;
    MediaType mediaType;
    ModbusType modbusType;
    const char* portName;
    std::int32_t dataBitsIndex, stopBitsIndex, parityIndex, tcpPort, time1, time2;
    const char* details;
};

const DefaultsCase kDefaults[] = {
    {8000, MediaType::Direct, ModbusType::Rtu, "COM1", 1, 0, 2, 0, 500, 100,
     "ID 1  COM1,9600,8,1,N  500,100,2"},
    {0, MediaType::Direct, ModbusType::Rtu, "COM1", 1, 0, 2, 0, 500, 100,
     "ID 1  COM1,9600,8,1,N  500,100,2"},
    {9999, MediaType::Direct, ModbusType::Rtu, "COM1", 1, 0, 2, 0, 500, 100,
     "ID 1  COM1,9600,8,1,N  500,100,2"},
    {8001, MediaType::Modem, ModbusType::Rtu, "COM2", 1, 0, 2, 0, 1000, 150,
     "ID 1  COM2,9600,8,1,N  1000,150,2"},
    {8002, MediaType::Satellite, ModbusType::Ascii, "COM2", 0, 1, 0, 0, 5000, 3000,
     "ID 1  COM2,9600,7,2,E  5000,3000,2"},
    {8003, MediaType::TcpIp, ModbusType::Rtu, "COM1", 1, 0, 2, 6000, 5000, 2000,
     "ID 1  5000,2000,2"},
};

bool listTextsAvailable() {
    return hasString(8003) && hasString(8019) && hasString(8022);
}

} // namespace

TEST(Location, DefaultsPerMediaCode) {
    for (const DefaultsCase& c : kDefaults) {
        SCOPED_TRACE(c.mediaCode);
        CLocation location(kMediaCodeSatellite); // setDefaults must reset every field
        location.name = "old";
        location.number = "555";
        location.ipAddress = 7;
        location.baudIndex = 0;
        location.setDefaults(c.mediaCode);

        EXPECT_EQ(location.name, "");
        EXPECT_EQ(location.number, "");
        EXPECT_EQ(location.mediaType, c.mediaType);
        EXPECT_EQ(location.modbusType, c.modbusType);
        EXPECT_EQ(location.portName, c.portName);
        EXPECT_EQ(location.dataBitsIndex, c.dataBitsIndex);
        EXPECT_EQ(location.stopBitsIndex, c.stopBitsIndex);
        EXPECT_EQ(location.parityIndex, c.parityIndex);
        EXPECT_EQ(location.tcpPort, c.tcpPort);
        EXPECT_EQ(location.time1, c.time1);
        EXPECT_EQ(location.time2, c.time2);
        EXPECT_EQ(location.modbusId, 1);
        EXPECT_EQ(location.retries, 2);
        EXPECT_EQ(location.baudIndex, 5);
        EXPECT_EQ(location.modiconCompatible, 0);
        EXPECT_EQ(location.rs485TwoWire, 0);
        EXPECT_EQ(location.modemInitString, "AT &F E0 M1");
        EXPECT_EQ(location.connectTimeout, 60);
        EXPECT_EQ(location.redialWait, 10);
        EXPECT_EQ(location.disconnectAfter, 15);
        EXPECT_EQ(location.ipAddress, 0u);
        if (listTextsAvailable()) {
            EXPECT_EQ(location.detailsText(), c.details);
        }
    }
    EXPECT_EQ(CLocation(), CLocation(kMediaCodeDirect));
}

TEST(Location, TcpIpListTextsUseDecimalSeparator) {
    ASSERT_TRUE(listTextsAvailable()) << "the list texts are missing from the string table";
    CLocation location(kMediaCodeTcpIp);
    location.ipAddress = (192u << 24) | (168u << 16) | (1u << 8) | 20u;
    location.tcpPort = 502;
    location.modbusId = 3;
    EXPECT_EQ(location.mediaText(), "TCP/IP");
    EXPECT_EQ(location.numberText("."), "IP 192.168.1.20  TCP 502");
    EXPECT_EQ(location.numberText(","), "IP 192,168,1,20  TCP 502");
    EXPECT_EQ(location.detailsText(), "ID 3  5000,2000,2");

    location.ipAddress = 0xFFFFFFFFu;
    EXPECT_EQ(location.numberText("."), "IP 255.255.255.255  TCP 502");

    CLocation modem(kMediaCodeModem);
    modem.number = "0123.456";
    EXPECT_EQ(modem.numberText(","), "0123.456"); // serial numbers are shown as stored
    EXPECT_EQ(modem.mediaText(), "Modem");
}

TEST(Location, DamagedIndexesDoNotBreakTexts) {
    CLocation location;
    location.baudIndex = 42;
    location.parityIndex = -1;
    location.dataBitsIndex = 0x7FFFFFFF;
    location.mediaType = static_cast<MediaType>(9);
    EXPECT_EQ(location.mediaText(), "");
    EXPECT_EQ(location.detailsText(), "ID 1  COM1,,2147483654,1,?  500,100,2");
}

TEST(Location, CopyIsIndependent) {
    CLocation original(kMediaCodeModem);
    original.name = "Pump station";
    CLocation copy = original;
    copy.name = "Other";
    copy.portName = "COM9";
    EXPECT_EQ(original.name, "Pump station");
    EXPECT_EQ(original.portName, "COM2");
    copy = original;
    EXPECT_EQ(copy, original);
}

TEST(Location, ArchiveRoundTripKeepsEveryField) {
    CLocation written(kMediaCodeTcpIp);
    written.name = "";
    written.number = std::string(255, 'n');
    written.portName = std::string(254, 'p');
    written.modemInitString = std::string("AT\0Z", 4);
    written.ipAddress = 0xC0A80114u | 0x80000000u;
    written.modbusId = -5;
    written.time2 = -1;
    written.rs485TwoWire = 1;
    written.modiconCompatible = 1;

    CArchive out;
    written.serialize(out);
    CArchive in(out.buffer().data(), out.buffer().size());
    CLocation read(kMediaCodeSatellite);
    read.serialize(in);
    EXPECT_EQ(read, written);
    EXPECT_EQ(in.remaining(), 0u);
}
