#include "protocol/modbus_message.h"

#include "protocol/check_values.h"
#include "protocol/result_codes.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kMaxRtuFrame = 256;
constexpr int kMaxAsciiFrame = 513;
constexpr int kMaxTcpLengthField = 256;
constexpr int kTcpHeaderSize = 6;
// A Modbus/TCP reply's length field counts the unit identifier, the function code and at least
// one byte more; a PDU holds at most 253 bytes.
constexpr int kMinTcpLengthField = 3;
constexpr int kMaxTcpReplyLengthField = 254;
// The fewest bytes worth scanning, and the shortest frames the checks accept.
constexpr int kMinRtuResponse = 5;
constexpr int kMinAsciiScan = 10;
constexpr int kMinAsciiResponse = 11;

enum BinaryScanState { SeekAddress = 0, SeekFunction = 1, Collect = 2 };
// The ASCII scanner's states; AddressHigh and AddressLow are also the positions of the address
// characters in the request.
enum AsciiScanState {
    SeekColon = 0,
    AddressHigh = 1,
    AddressLow = 2,
    FunctionHigh = 3,
    FunctionLow = 4,
    Data = 5,
    LineFeed = 6,
};

bool isHexDigit(std::uint8_t ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F');
}

bool broadcastAllowed(int functionCode) {
    return functionCode == 5 || functionCode == 6 || functionCode == 15 || functionCode == 16 ||
           functionCode >= 65;
}

} // namespace

CModbusMessage::CModbusMessage() = default;
CModbusMessage::~CModbusMessage() = default;

int CModbusMessage::assembleFrame(std::uint8_t* frame, int& frameLength, int functionCode,
                                  int dataLength) {
    if (modbusId == 0 && !broadcastAllowed(functionCode))
        return kResultBroadcastNotAllowed;
    // A frame that could not even fit the buffer is refused before anything is written.
    const bool fits = dataLength >= 0 && dataLength <= kFrameBufferSize &&
                      (!binaryMode ? 2 * dataLength + 9
                       : tcpMode   ? dataLength + 8
                                   : dataLength + 4) <= kFrameBufferSize;
    if (!fits) {
        frameLength = 0;
        return kResultMessageTooLong;
    }

    const auto function = static_cast<std::uint8_t>(functionCode & 0xFF);
    if (binaryMode && tcpMode) {
        const int length = dataLength + 2;
        frame[0] = frame[1] = frame[2] = frame[3] = 0;
        frame[4] = static_cast<std::uint8_t>(length >> 8);
        frame[5] = static_cast<std::uint8_t>(length & 0xFF);
        frame[6] = modbusId;
        frame[7] = function;
        std::memcpy(frame + 8, pduData, static_cast<std::size_t>(dataLength));
        frameLength = dataLength + 8;
        return length > kMaxTcpLengthField ? kResultMessageTooLong : kResultOk;
    }
    if (binaryMode) {
        frame[0] = modbusId;
        frame[1] = function;
        std::memcpy(frame + 2, pduData, static_cast<std::size_t>(dataLength));
        const std::uint16_t crc = crc16(frame, dataLength + 2);
        frame[dataLength + 2] = static_cast<std::uint8_t>(crc & 0xFF);
        frame[dataLength + 3] = static_cast<std::uint8_t>(crc >> 8);
        frameLength = dataLength + 4;
        return frameLength > kMaxRtuFrame ? kResultMessageTooLong : kResultOk;
    }

    // ASCII: the binary content is staged first so that the LRC can be taken over it.
    std::uint8_t binary[kFrameBufferSize + 2];
    binary[0] = modbusId;
    binary[1] = function;
    std::memcpy(binary + 2, pduData, static_cast<std::size_t>(dataLength));
    int pos = 0;
    frame[pos++] = ':';
    auto putHex = [&](std::uint8_t value) {
        const auto hex = byteToHex(value);
        frame[pos++] = static_cast<std::uint8_t>(hex[0]);
        frame[pos++] = static_cast<std::uint8_t>(hex[1]);
    };
    for (int i = 0; i < dataLength + 2; ++i)
        putHex(binary[i]);
    putHex(lrc(binary, dataLength + 2));
    frame[pos++] = '\r';
    frame[pos++] = '\n';
    frameLength = pos;
    return frameLength > kMaxAsciiFrame ? kResultMessageTooLong : kResultOk;
}

void CModbusMessage::setFrameFormat(int frameFormat) {
    binaryMode = frameFormat == kFrameAscii ? 0 : 1;
    tcpMode = frameFormat == kFrameModbusTcp ? 1 : 0;
}

void CModbusMessage::applyFraming(int frameFormat, int addressingIndex, std::uint8_t unitId) {
    setFrameFormat(frameFormat);
    modiconCompatible = addressingIndex == kAddressingIndexModicon ? 1 : 0;
    registerAddressing = addressingIndex == kAddressingIndexRegister ? 1 : 0;
    modbusId = unitId;
}

int CModbusMessage::expectedBinaryLength() const {
    const int start = frameOffset();
    if (rxCount < start + 2)
        return kFrameBufferSize;
    const std::uint8_t function = rxFrame[start + 1];
    const std::uint8_t requested = txFrame[start + 1];
    if (function == (requested | 0x80))
        return 5;
    switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
        // The byte count has not arrived yet: the frame cannot be complete.
        if (rxCount < start + 3)
            return kFrameBufferSize;
        return std::min(rxFrame[start + 2] + 5, kFrameBufferSize);
    case 5:
    case 8:
    case 15:
    case 16:
        return 8;
    case 6:
        return singleByteData ? 7 : 8;
    case 7:
        return 5;
    default:
        return 2;
    }
}

void CModbusMessage::scanBinaryResponse(const std::uint8_t* bytes, int count) {
    count = std::clamp(count, 0, kFrameBufferSize);
    scanState = SeekAddress;
    rxCount = 0;
    rxExpected = 0;
    const int start = frameOffset();
    int next = 0;
    if (tcpMode) {
        const int header = std::min(count, kTcpHeaderSize);
        for (int i = 0; i < header; ++i)
            rxFrame[i] = bytes[i];
        rxCount = header;
        next = header;
    }
    const std::uint8_t address = txFrame[start];
    const std::uint8_t function = txFrame[start + 1];
    for (; next < count && rxCount < kFrameBufferSize; ++next) {
        const std::uint8_t byte = bytes[next];
        switch (scanState) {
        case SeekAddress:
            if (byte == address) {
                rxFrame[rxCount++] = byte;
                scanState = SeekFunction;
            }
            break;
        case SeekFunction:
            if (byte == function || byte == (function | 0x80)) {
                rxFrame[rxCount++] = byte;
                scanState = Collect;
            } else {
                rxCount = start;
                scanState = SeekAddress;
            }
            break;
        default:
            rxFrame[rxCount++] = byte;
            break;
        }
    }
    if (!tcpMode && scanState == Collect)
        rxExpected = expectedBinaryLength();
}

int CModbusMessage::expectedAsciiLength() const {
    // Characters 3-4 hold the function code and 5-6 the byte count of a read response.
    if (rxCount < 4)
        return kFrameBufferSize;
    const std::uint8_t requested = txFrame[3];
    int bytes = 0;
    if (hexCharValue(rxFrame[3]) == (hexCharValue(requested) | 8)) {
        bytes = 3;
    } else {
        if (rxCount < 5)
            return kFrameBufferSize;
        switch (hexPairToByte(rxFrame[3], rxFrame[4])) {
        case 1:
        case 2:
        case 3:
        case 4:
            if (rxCount < 7)
                return kFrameBufferSize;
            bytes = hexPairToByte(rxFrame[5], rxFrame[6]) + 3;
            break;
        case 5:
        case 8:
        case 15:
        case 16:
            bytes = 6;
            break;
        case 6:
            bytes = singleByteData ? 5 : 6;
            break;
        case 7:
            bytes = 3;
            break;
        default:
            bytes = 0;
            break;
        }
    }
    return std::min(2 * bytes + 5, kFrameBufferSize);
}

bool CModbusMessage::scanAsciiChar(std::uint8_t ch) {
    // A ':' starts a frame wherever it comes: what was stored before it was a false start.
    if (ch == ':') {
        rxCount = 0;
        rxFrame[rxCount++] = ch;
        scanState = AddressHigh;
        return false;
    }
    switch (scanState) {
    case SeekColon:
        break;
    case AddressHigh:
    case AddressLow:
        if (ch == txFrame[scanState]) {
            rxFrame[rxCount++] = ch;
            ++scanState;
        } else if (isFrameChar(ch)) {
            rxCount = 0;
            scanState = SeekColon;
        }
        break;
    case FunctionHigh:
        if (isFrameChar(ch) &&
            (ch == txFrame[3] || hexCharValue(ch) == (hexCharValue(txFrame[3]) | 8))) {
            rxFrame[rxCount++] = ch;
            scanState = FunctionLow;
        }
        break;
    case FunctionLow:
        if (isFrameChar(ch) && ch == txFrame[4]) {
            rxFrame[rxCount++] = ch;
            scanState = Data;
        }
        break;
    case Data:
        if (isFrameChar(ch)) {
            rxFrame[rxCount++] = ch;
        } else if (ch == '\r') {
            rxFrame[rxCount++] = ch;
            scanState = LineFeed;
        }
        break;
    default:
        if (ch == '\n') {
            rxFrame[rxCount++] = ch;
            return true;
        }
        break;
    }
    return false;
}

void CModbusMessage::scanAsciiResponse(const std::uint8_t* chars, int count) {
    count = std::clamp(count, 0, kFrameBufferSize);
    scanState = SeekColon;
    rxCount = 0;
    rxExpected = 0;
    bool complete = false;
    for (int i = 0; i < count && rxCount < kFrameBufferSize && !complete; ++i)
        complete = scanAsciiChar(chars[i]);
    if (scanState >= FunctionLow)
        rxExpected = expectedAsciiLength();
}

int CModbusMessage::checkBinaryResponse() {
    const int start = frameOffset();
    if (rxCount > kFrameBufferSize)
        rxCount = kFrameBufferSize;
    if (tcpMode) {
        if (rxCount < 9)
            return kResultInvalidResponse;
    } else {
        if (rxCount < 5)
            return kResultInvalidResponse;
        auto crcMatches = [this](int length) {
            const std::uint16_t crc = crc16(rxFrame, length - 2);
            return (crc & 0xFF) == rxFrame[length - 2] && (crc >> 8) == rxFrame[length - 1];
        };
        if (!crcMatches(rxCount)) {
            // Trailing bytes after a complete frame: retry at the expected length, but only
            // within the bytes actually extracted.
            if (rxExpected >= 5 && rxExpected < rxCount && crcMatches(rxExpected))
                rxCount = rxExpected;
            else
                return kResultInvalidCrc;
        }
    }
    if (rxFrame[start + 1] == (txFrame[start + 1] | 0x80))
        return exceptionResult(rxFrame[start + 2]);
    return kResultOk;
}

int CModbusMessage::checkAsciiResponse() {
    if (rxCount > kFrameBufferSize)
        rxCount = kFrameBufferSize;
    if (rxCount < kMinAsciiResponse)
        return kResultInvalidResponse;
    // The pairs from position 1 up to the trailer: digits 0-9, A-F summing to 0 with the LRC.
    auto sound = [this](int length) {
        unsigned sum = 0;
        for (int pos = 1; pos < length - 2; pos += 2) {
            if (!isHexDigit(rxFrame[pos]) || !isHexDigit(rxFrame[pos + 1]))
                return false;
            sum += hexPairToByte(rxFrame[pos], rxFrame[pos + 1]);
        }
        return (sum & 0xFFu) == 0;
    };
    if (!sound(rxCount)) {
        if (rxExpected >= kMinAsciiResponse && rxExpected < rxCount && sound(rxExpected))
            rxCount = rxExpected;
        else
            return kResultInvalidLrc;
    }
    if (hexCharValue(rxFrame[3]) == (hexCharValue(txFrame[3]) | 8))
        return exceptionResult(hexPairToByte(rxFrame[5], rxFrame[6]));
    return kResultOk;
}

bool CModbusMessage::broadcastRequest() const {
    if (binaryMode)
        return txFrame[frameOffset()] == 0;
    return txFrame[1] == '0' && txFrame[2] == '0';
}

ReplyVerdict CModbusMessage::assessResponse(const std::uint8_t* bytes, int count) {
    count = std::clamp(count, 0, kFrameBufferSize);
    if (!binaryMode)
        return assessAscii(bytes, count);
    return tcpMode ? assessModbusTcp(bytes, count) : assessRtu(bytes, count);
}

namespace {

// A check result ends reception when it passed or reports an exception.
ReplyVerdict checked(int result, bool exception) {
    return {result == kResultOk || exception ? ReplyStatus::Complete : ReplyStatus::Incomplete,
            result};
}

} // namespace

ReplyVerdict CModbusMessage::assessRtu(const std::uint8_t* bytes, int count) {
    rxCount = 0;
    if (count < kMinRtuResponse)
        return {};
    scanBinaryResponse(bytes, count);
    if (rxCount == 0 || rxCount < rxExpected)
        return {};
    const int result = checkBinaryResponse();
    return checked(result, exceptionReceived.load() == 1);
}

ReplyVerdict CModbusMessage::assessAscii(const std::uint8_t* bytes, int count) {
    rxCount = 0;
    if (count < kMinAsciiScan)
        return {};
    scanAsciiResponse(bytes, count);
    if (rxCount == 0 || rxFrame[rxCount - 1] != '\n')
        return {};
    const int result = checkAsciiResponse();
    return checked(result, exceptionReceived.load() == 1);
}

ReplyVerdict CModbusMessage::assessModbusTcp(const std::uint8_t* bytes, int count) {
    rxCount = 0;
    rxExpected = 0;
    int start = 0;
    while (count - start >= kTcpHeaderSize) {
        const std::uint8_t* frame = bytes + start;
        const int held = count - start;
        const int length = frame[4] << 8 | frame[5];
        if (length < kMinTcpLengthField || length > kMaxTcpReplyLengthField) {
            scanBinaryResponse(frame, held);
            return {};
        }
        const int total = kTcpHeaderSize + length;
        const bool ours =
            frame[0] == txFrame[0] && frame[1] == txFrame[1] && frame[2] == 0 && frame[3] == 0;
        if (ours) {
            scanBinaryResponse(frame, std::min(held, total));
            if (held < total)
                return {};
            return {ReplyStatus::Complete, checkBinaryResponse()};
        }
        // Another transaction's reply (a late answer to an earlier request) is set aside.
        if (held < total)
            return {};
        start += total;
    }
    return {};
}

int CModbusMessage::asciiToBinary(std::uint8_t* buffer, int& length) {
    const int limit = std::clamp(length, 0, kFrameBufferSize);
    int written = 0;
    for (int i = 0; 2 * i + 1 < limit - 4; ++i)
        buffer[written++] = hexPairToByte(buffer[2 * i + 1], buffer[2 * i + 2]);
    length = written;
    return kResultOk;
}

int CModbusMessage::exceptionResult(int exceptionCode) {
    exceptionReceived = 1;
    switch (exceptionCode) {
    case 0x01:
        return kResultIllegalFunction;
    case 0x02:
        return kResultIllegalDataAddress;
    case 0x03:
        return kResultIllegalDataValue;
    case 0x04:
        return kResultDeviceFailure;
    case 0x05:
        return kResultAcknowledge;
    case 0x06:
        return kResultBusy;
    case 0x07:
        return kResultNegativeAck;
    case 0x08:
        return kResultMemoryParity;
    case 0x0A:
        return kResultGatewayPath;
    case 0x0B:
        return kResultGatewayTarget;
    default:
        return kResultUnknownException;
    }
}
