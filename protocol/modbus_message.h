#pragma once

#include "protocol/result_codes.h"

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

constexpr int kFrameBufferSize = 640;

// Whether the bytes received so far for an attempt end reception.
enum class ReplyStatus : std::uint8_t {
    Incomplete, // more bytes may still complete the reply, or mend a failed check
    Complete,   // reception ends here
};

// The answer of the completion rule: the status, and the attempt's result if reception ended
// with the bytes held now.
struct ReplyVerdict {
    ReplyStatus status = ReplyStatus::Incomplete;
    int result = kResultInvalidResponse;
};

// Frame formats, numbered as a location's Modbus type.
enum FrameFormat : int { kFrameRtu = 0, kFrameAscii = 1, kFrameModbusTcp = 2 };
// Addressing modes in list order (texts kAddressingLogical to kAddressingModicon).
enum AddressingIndex : int {
    kAddressingIndexLogical = 0,
    kAddressingIndexRegister = 1,
    kAddressingIndexModicon = 2,
};

// The transaction object: framing and addressing flags, the request staging area, the frames
// as sent and received, and the engine parameters in force. One lives in the document for the
// whole run. The user-interface thread sets the flags and builds a request before it queues a
// job; the comms thread then owns the frames until the job's result is posted. The engine
// parameters may be changed by the user-interface thread while a job runs, so they are atomic.
class CModbusMessage {
public:
    CModbusMessage();
    virtual ~CModbusMessage();
    CModbusMessage(const CModbusMessage&) = delete;
    CModbusMessage& operator=(const CModbusMessage&) = delete;

    int binaryMode = 1;         // RTU or Modbus/TCP framing (0: ASCII)
    int tcpMode = 0;            // Modbus/TCP framing
    int modiconCompatible = 0;  // addressing mode "Modicon Compatible"
    int registerAddressing = 0; // addressing mode "Register Addressing"
    std::atomic<std::int32_t> serialLink{0};
    std::atomic<std::int32_t> removeEcho{0};
    std::atomic<std::int32_t> modemCommandMode{0};
    std::atomic<std::int32_t> exceptionReceived{0};
    int singleByteData = 0;

    std::uint8_t pduData[kFrameBufferSize] = {};
    std::uint8_t txFrame[kFrameBufferSize] = {};
    std::uint8_t rxFrame[kFrameBufferSize] = {};

    std::uint8_t modbusId = 1;
    int txLength = 0;
    int rxCount = 0;
    int rxExpected = 0;
    int scanState = 0;

    std::atomic<std::int32_t> retries{2};
    std::atomic<std::int32_t> time1{2000};
    std::atomic<std::int32_t> time2{2000};
    std::atomic<std::int32_t> modemTimeout{0};
    std::atomic<std::int32_t> readPause{0};

    // Frames the requests as `frameFormat` (binaryMode, tcpMode).
    void setFrameFormat(int frameFormat);
    // Frames and addresses the requests: the frame format, the addressing mode
    // (modiconCompatible, registerAddressing) and the unit addressed.
    void applyFraming(int frameFormat, int addressingIndex, std::uint8_t unitId);

    // Frame offset of the address: 6 for Modbus/TCP, 0 otherwise.
    int frameOffset() const { return tcpMode ? 6 : 0; }

    // True when the request in txFrame goes to address 0, in any framing: a broadcast, which
    // the units execute without answering.
    bool broadcastRequest() const;

    // The completion rule of both exchanges, asked after every read with all `count` bytes
    // received so far for the attempt (taken as at most 640). Extracts the reply into rxFrame
    // and says whether reception ends, and with what result:
    // - RTU: complete when the frame extracted reaches rxExpected and passes its CRC check, or
    //   is an exception;
    // - ASCII: complete when the frame extracted ends in CR LF and passes its LRC check, or is
    //   an exception;
    // - Modbus/TCP: complete when 6 + the header's length field bytes are held; the result is
    //   that of checkBinaryResponse over exactly those bytes. A reply whose transaction
    //   identifier differs from the request's or whose protocol identifier is not 0 is set aside
    //   once whole, and the rule looks at what follows it. A length field below 3 or above 254
    //   can never complete.
    // The result is 0 only after a passing check: while no complete, checked frame is held it is
    // the failed check's code (5008, 5024) or 5007.
    ReplyVerdict assessResponse(const std::uint8_t* bytes, int count);

    // Builds a complete frame into `frame` (640 bytes) from modbusId, the function code and the
    // first dataLength bytes of pduData. Returns 0, 5018 (broadcast not allowed; nothing built)
    // or 5003 (frame too long; the frame is built all the same and must not be sent, except
    // when it would not fit the 640-byte buffer: then nothing is built and frameLength is 0).
    int assembleFrame(std::uint8_t* frame, int& frameLength, int functionCode, int dataLength);

    // Extract the response from all `count` bytes received so far for the attempt into rxFrame
    // and set rxCount, rxExpected and scanState. Never reads beyond `count` bytes (taken as at
    // most 640). rxExpected is 0 until the function code is extracted (and always for
    // Modbus/TCP), and 640 while the byte count that decides it has not arrived. In ASCII a ':'
    // starts the frame afresh wherever it comes.
    void scanBinaryResponse(const std::uint8_t* bytes, int count);
    void scanAsciiResponse(const std::uint8_t* chars, int count);

    // Verify the extracted frame: 0, 5007, 5008 (CRC) or 5024 (LRC), or the result code of an
    // exception response (which also sets exceptionReceived). When the check value fails over
    // rxCount, it is tried once more over rxExpected if that is shorter than what was
    // extracted; on success rxCount becomes rxExpected (trailing bytes are dropped). An ASCII
    // frame with a character other than 0-9, A-F among its digit pairs fails as 5024.
    int checkBinaryResponse();
    int checkAsciiResponse();

    // Converts an ASCII frame in place to address, function code and data; sets `length` to the
    // number of bytes. Returns 0.
    int asciiToBinary(std::uint8_t* buffer, int& length);

    // Sets exceptionReceived and returns the result code of a Modbus exception code.
    int exceptionResult(int exceptionCode);

    // Request builders. Each checks its quantity against the limit of its data type, fills
    // pduData and frames it into `frame` (640 bytes) with assembleFrame. Each returns 0 or a
    // result code (5003, 5004, 5018, 5021); nothing may be sent unless it returns 0. Values
    // beyond the end of a `values` span count as zero (strings: as zero bytes).
    int buildReadBits(std::uint8_t* frame, int& frameLength, int functionCode,
                      std::uint16_t address, std::uint16_t points);
    int buildReadBytes(std::uint8_t* frame, int& frameLength, int functionCode,
                       std::uint16_t address, std::uint16_t count);
    int buildReadWords(std::uint8_t* frame, int& frameLength, int functionCode,
                       std::uint16_t address, std::uint16_t count);
    int buildReadLongs(std::uint8_t* frame, int& frameLength, int functionCode,
                       std::uint16_t address, std::uint16_t count);
    int buildReadDoubles(std::uint8_t* frame, int& frameLength, int functionCode,
                         std::uint16_t address, std::uint16_t count);
    int buildReadStrings(std::uint8_t* frame, int& frameLength, int functionCode,
                         std::uint16_t address, std::uint16_t count, std::uint16_t stringSize);
    int buildForceCoil(std::uint8_t* frame, int& frameLength, std::uint16_t address, int value);
    int buildPresetByte(std::uint8_t* frame, int& frameLength, std::uint16_t address, int value);
    int buildPresetWord(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                        std::uint16_t value);
    int buildPresetLong(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                        std::uint32_t value);
    int buildPresetFloat(std::uint8_t* frame, int& frameLength, std::uint16_t address, float value);
    int buildPresetDouble(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                          double value);
    // `text` is padded with spaces (or cut) to exactly stringSize characters.
    int buildPresetString(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                          std::uint16_t stringSize, std::string_view text);
    int buildReadExceptionStatus(std::uint8_t* frame, int& frameLength);
    int buildDiagnostics(std::uint8_t* frame, int& frameLength, std::uint16_t subFunction,
                         std::uint16_t dataValue);
    int buildForceCoils(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                        std::uint16_t points, std::span<const int> values);
    int buildPresetBytes(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                         std::uint16_t count, std::span<const int> values);
    int buildPresetWords(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                         std::uint16_t count, std::span<const std::uint16_t> values);
    int buildPresetLongs(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                         std::uint16_t count, std::span<const std::uint32_t> values);
    int buildPresetFloats(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                          std::uint16_t count, std::span<const float> values);
    int buildPresetDoubles(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                           std::uint16_t count, std::span<const double> values);
    // Each string is padded with spaces (or cut) to stringSize characters; strings not given
    // at all are sent as zero bytes.
    int buildPresetStrings(std::uint8_t* frame, int& frameLength, std::uint16_t address,
                           std::uint16_t count, std::uint16_t stringSize,
                           std::span<const std::string> values);
    int buildUserDefined(std::uint8_t* frame, int& frameLength, int functionCode,
                         std::uint16_t byteCount, std::span<const std::uint8_t> bytes);

    // Response decoders for functions 1 to 4. `frame` holds `length` bytes as received (RTU
    // with its CRC, Modbus/TCP with its header, ASCII after asciiToBinary). Each returns 0 when
    // the byte count is the one expected for `count` values, 5017 (nothing decoded) when it
    // differs and exceeds the largest acceptable count, and otherwise 5005 after decoding what
    // the byte count announces. A byte count larger than the frame carries is decoded only as
    // far as the bytes received and gives 5005.
    // decodeBits and decodeBytes always give `count` values (zero where the response is short);
    // the others give as many as the byte count holds.
    int decodeBits(const std::uint8_t* frame, int length, std::uint16_t points,
                   std::vector<std::uint8_t>& values) const;
    int decodeBytes(const std::uint8_t* frame, int length, std::uint16_t count,
                    std::vector<std::uint8_t>& values) const;
    int decodeWords(const std::uint8_t* frame, int length, std::uint16_t count,
                    std::vector<std::uint16_t>& values) const;
    int decodeLongs(const std::uint8_t* frame, int length, std::uint16_t count,
                    std::vector<std::uint32_t>& values) const;
    // Modicon Compatible: the two words of every value are exchanged before decoding.
    int decodeFloats(const std::uint8_t* frame, int length, std::uint16_t count,
                     std::vector<float>& values) const;
    int decodeDoubles(const std::uint8_t* frame, int length, std::uint16_t count,
                      std::vector<double>& values) const;
    int decodeStrings(const std::uint8_t* frame, int length, std::uint16_t count,
                      std::uint16_t stringSize, std::vector<std::string>& values) const;

    // Echo checks of write responses against the request (both binary, as for the decoders).
    // Return 0, or 5019 / 5020 / 5026 when the echoed fields differ or are missing.
    int checkCoilEcho(const std::uint8_t* response, int responseLength, const std::uint8_t* request,
                      int requestLength) const;
    int checkRegisterEcho(const std::uint8_t* response, int responseLength,
                          const std::uint8_t* request, int requestLength) const;
    int checkMultipleEcho(const std::uint8_t* response, int responseLength,
                          const std::uint8_t* request, int requestLength) const;
    // True when a diagnostics response echoes the request's data value ("Pass").
    bool diagnosticsEchoMatches(const std::uint8_t* response, int responseLength,
                                const std::uint8_t* request, int requestLength) const;

private:
    bool registerModes() const { return registerAddressing || modiconCompatible; }
    std::uint16_t wireAddress(std::uint16_t address) const;
    int putAddressAndCount(std::uint8_t* frame, int& frameLength, int functionCode,
                           std::uint16_t address, std::uint16_t count);
    int putAddress(std::uint8_t* frame, int& frameLength, int functionCode, std::uint16_t address,
                   int valueLength);
    int putAddressCountAndBytes(std::uint8_t* frame, int& frameLength, int functionCode,
                                std::uint16_t address, std::uint16_t quantity, int byteCount);
    // Finds the byte count and the data bytes of a read response; returns the decoder result
    // for `expected` and `largest`, and the data span to decode in `data`/`available`.
    int byteCountRule(const std::uint8_t* frame, int length, int expected, int largest,
                      const std::uint8_t*& data, int& available) const;

    // Expected response length from the bytes extracted so far; 640 while the bytes that
    // decide it have not arrived.
    int expectedBinaryLength() const;
    int expectedAsciiLength() const;

    // One character of scanAsciiResponse; true when it completes the frame.
    bool scanAsciiChar(std::uint8_t ch);
    ReplyVerdict assessRtu(const std::uint8_t* bytes, int count);
    ReplyVerdict assessAscii(const std::uint8_t* bytes, int count);
    ReplyVerdict assessModbusTcp(const std::uint8_t* bytes, int count);
};
