#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CModbusMessage;

// Function 43 with MEI type 14 (Read Device Identification) and function 17 (Report Server ID):
// the requests that ask a unit who it is, and the readers of its answers.
constexpr int kFunctionReportServerId = 0x11;
constexpr int kFunctionEncapsulated = 0x2B;
constexpr std::uint8_t kMeiReadDeviceId = 0x0E;
// Read Device ID codes: the basic stream (vendor, product code, revision) from object 0.
constexpr std::uint8_t kReadDeviceIdBasic = 0x01;
// The function 03 read the finder's probes use: one holding register at address 0.
constexpr int kFunctionReadHolding = 0x03;

// One object of a device identification: its identifier and its value as sent.
struct DeviceIdObject {
    std::uint8_t id = 0;
    std::string value;
};

// The answer of a Read Device Identification.
struct DeviceIdentification {
    std::uint8_t conformity = 0;
    bool moreFollows = false;
    std::uint8_t nextObjectId = 0;
    std::vector<DeviceIdObject> objects;
};

// The answer of a Report Server ID: the bytes after the byte count, as sent (a server ID, a run
// indicator and data, laid out as each maker pleases).
struct ServerIdReport {
    std::vector<std::uint8_t> data;
};

// Frame the requests into `frame` (640 bytes) for message.modbusId in the message's framing.
// Return 0 or assembleFrame's result code.
int buildProbeRequest(CModbusMessage& message, std::uint8_t* frame, int& frameLength);
int buildReadDeviceId(CModbusMessage& message, std::uint8_t* frame, int& frameLength);
int buildReportServerId(CModbusMessage& message, std::uint8_t* frame, int& frameLength);

// The protocol data unit of a reply as the engine hands it back (RTU with its CRC, ASCII as
// received, Modbus/TCP with its header): function code first, without address or check value.
// Empty when the reply is too short to hold a function code.
std::vector<std::uint8_t> replyPdu(CModbusMessage& message, const std::uint8_t* reply, int length);

// Read the protocol data units (function code first). Return 0, or 5007 when the bytes do not
// hold a whole answer of the function; nothing is kept then.
int decodeDeviceIdentification(const std::uint8_t* pdu, int length, DeviceIdentification& out);
int decodeReportServerId(const std::uint8_t* pdu, int length, ServerIdReport& out);
