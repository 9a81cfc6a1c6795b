#pragma once

#include "platform/window_messages.h"

#include <atomic>
#include <cstdint>

constexpr int kFrameBufferSize = 640;

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
    std::atomic<WindowHandle> mainWindow{0};

    // Frame offset of the address: 6 for Modbus/TCP, 0 otherwise.
    int frameOffset() const { return tcpMode ? 6 : 0; }

    // Builds a complete frame into `frame` (640 bytes) from modbusId, the function code and the
    // first dataLength bytes of pduData. Returns 0, 5018 (broadcast not allowed; nothing built)
    // or 5003 (frame too long; the frame is built all the same and must not be sent).
    int assembleFrame(std::uint8_t* frame, int& frameLength, int functionCode, int dataLength);

    // Extract the response from all `count` bytes received so far for the attempt into rxFrame
    // and set rxCount, rxExpected and scanState. Never reads beyond `count` bytes.
    void scanBinaryResponse(const std::uint8_t* bytes, int count);
    void scanAsciiResponse(const std::uint8_t* chars, int count);

    // Verify the extracted frame: 0, 5007, 5008 (CRC) or 5024 (LRC), or the result code of an
    // exception response (which also sets exceptionReceived).
    int checkBinaryResponse();
    int checkAsciiResponse();

    // Converts an ASCII frame in place to address, function code and data; sets `length` to the
    // number of bytes. Returns 0.
    int asciiToBinary(std::uint8_t* buffer, int& length);

    // Sets exceptionReceived and returns the result code of a Modbus exception code.
    int exceptionResult(int exceptionCode);

private:
    // Expected response length from the bytes extracted so far; 640 while the bytes that
    // decide it have not arrived.
    int expectedBinaryLength() const;
    int expectedAsciiLength() const;
};
