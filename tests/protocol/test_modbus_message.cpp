#include "protocol/check_values.h"
#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"
#include "test_support.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

Bytes extracted(const CModbusMessage& m) {
    return Bytes(m.rxFrame, m.rxFrame + m.rxCount);
}

// Frames `data` after `function` for `id` and puts it in txFrame as the comms thread would.
int frameRequest(CModbusMessage& m, int function, const Bytes& data) {
    std::memcpy(m.pduData, data.data(), data.size());
    int length = 0;
    const int result = m.assembleFrame(m.txFrame, length, function, static_cast<int>(data.size()));
    m.txLength = length;
    return result;
}

} // namespace

TEST(AssembleFrame, ReadHoldingRegistersInEveryFraming) {
    struct Case {
        Framing framing;
        Bytes frame;
    };
    const Case cases[] = {
        {Framing::Rtu, {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}},
        {Framing::Ascii, bytesOf(":01030000000AF2\r\n")},
        {Framing::Tcp, {0, 0, 0, 0, 0, 6, 0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}},
    };
    for (const auto& c : cases) {
        CModbusMessage m;
        setFraming(m, c.framing);
        ASSERT_EQ(frameRequest(m, 3, {0x00, 0x00, 0x00, 0x0A}), kResultOk);
        EXPECT_EQ(Bytes(m.txFrame, m.txFrame + m.txLength), c.frame);
    }
}

TEST(AssembleFrame, BroadcastRule) {
    const struct {
        int function;
        int result;
    } cases[] = {{1, kResultBroadcastNotAllowed},
                 {3, kResultBroadcastNotAllowed},
                 {7, kResultBroadcastNotAllowed},
                 {64, kResultBroadcastNotAllowed},
                 {5, kResultOk},
                 {6, kResultOk},
                 {15, kResultOk},
                 {16, kResultOk},
                 {65, kResultOk},
                 {127, kResultOk}};
    for (const auto& c : cases) {
        CModbusMessage m;
        m.modbusId = 0;
        int length = -1;
        EXPECT_EQ(m.assembleFrame(m.txFrame, length, c.function, 4), c.result) << c.function;
        if (c.result != kResultOk) {
            EXPECT_EQ(length, -1) << "nothing is built for a refused broadcast";
        }
    }
}

TEST(AssembleFrame, SizeLimitsPerFraming) {
    const struct {
        Framing framing;
        int dataLength;
        int frameLength;
        int result;
    } cases[] = {
        {Framing::Rtu, 252, 256, kResultOk},
        {Framing::Rtu, 253, 257, kResultMessageTooLong},
        {Framing::Ascii, 252, 513, kResultOk},
        {Framing::Ascii, 253, 515, kResultMessageTooLong},
        {Framing::Tcp, 254, 262, kResultOk},
        {Framing::Tcp, 255, 263, kResultMessageTooLong},
        // Longer than the frame buffer itself: refused without writing past it.
        {Framing::Ascii, 316, 0, kResultMessageTooLong},
        {Framing::Ascii, 640, 0, kResultMessageTooLong},
        {Framing::Tcp, 633, 0, kResultMessageTooLong},
        {Framing::Rtu, 640, 0, kResultMessageTooLong},
        {Framing::Rtu, -1, 0, kResultMessageTooLong},
        {Framing::Tcp, 641, 0, kResultMessageTooLong},
        {Framing::Ascii, -3, 0, kResultMessageTooLong},
    };
    for (const auto& c : cases) {
        CModbusMessage m;
        setFraming(m, c.framing);
        std::vector<std::uint8_t> frame(kFrameBufferSize); // exact size, so ASan sees overruns
        int length = 12345; // a refused frame must not leave the caller's old length in place
        EXPECT_EQ(m.assembleFrame(frame.data(), length, 65, c.dataLength), c.result)
            << c.dataLength;
        EXPECT_EQ(length, c.frameLength) << c.dataLength;
    }
}

TEST(ScanBinary, SkipsNoiseAndFalseStarts) {
    struct Case {
        Framing framing;
        Bytes received;
        Bytes frame;
    };
    const Bytes response = withCrc({0x01, 0x03, 0x02, 0x00, 0x07});
    Bytes noisy = {0xFF, 0x00};
    noisy.insert(noisy.end(), response.begin(), response.end());
    // 01 followed by a wrong function byte: both dropped, the 03 is not taken as an address.
    Bytes falseStart = {0x01, 0x04, 0x01};
    falseStart.insert(falseStart.end(), response.begin() + 1, response.end());
    Bytes tcp = {0, 0, 0, 0, 0, 5, 0x09, 0x01, 0x03, 0x02, 0x00, 0x07};
    const Case cases[] = {
        {Framing::Rtu, noisy, response},
        {Framing::Rtu, falseStart, response},
        {Framing::Tcp, tcp, {0, 0, 0, 0, 0, 5, 0x01, 0x03, 0x02, 0x00, 0x07}},
    };
    for (const auto& c : cases) {
        CModbusMessage m;
        setFraming(m, c.framing);
        frameRequest(m, 3, {0, 0, 0, 1});
        m.scanBinaryResponse(c.received.data(), static_cast<int>(c.received.size()));
        EXPECT_EQ(extracted(m), c.frame);
        EXPECT_EQ(m.rxExpected, c.framing == Framing::Tcp ? 0 : 7);
        EXPECT_EQ(m.checkBinaryResponse(), kResultOk);
    }
}

TEST(ScanBinary, ExpectedLengthPerFunction) {
    const struct {
        int function;
        Bytes received;
        int singleByte;
        int expected;
    } cases[] = {
        {3, {0x01, 0x03, 0x14}, 0, 25},
        {3, {0x01, 0x03}, 0, kFrameBufferSize}, // byte count not yet received
        {1, {0x01, 0x01, 0xFF}, 0, 260},
        {3, {0x01, 0x83, 0x02}, 0, 5},
        {5, {0x01, 0x05}, 0, 8},
        {6, {0x01, 0x06}, 0, 8},
        {6, {0x01, 0x06}, 1, 7},
        {7, {0x01, 0x07}, 0, 5},
        {8, {0x01, 0x08}, 0, 8},
        {15, {0x01, 0x0F}, 0, 8},
        {16, {0x01, 0x10}, 0, 8},
        {65, {0x01, 0x41}, 0, 2},
        {3, {0x02, 0x03}, 0, 0}, // nothing extracted
    };
    for (const auto& c : cases) {
        CModbusMessage m;
        frameRequest(m, c.function, {0, 0, 0, 1});
        m.singleByteData = c.singleByte;
        m.scanBinaryResponse(c.received.data(), static_cast<int>(c.received.size()));
        EXPECT_EQ(m.rxExpected, c.expected) << c.function;
    }
}

TEST(CheckBinary, CrcLengthAndExceptions) {
    const Bytes good = withCrc({0x01, 0x03, 0x02, 0x12, 0x34});
    Bytes trailing = good;
    trailing.insert(trailing.end(), {0xAA, 0xBB, 0xCC});
    Bytes badCrc = good;
    badCrc.back() ^= 0x01;
    const struct {
        Bytes received;
        int result;
        int rxCount;
        int exception;
    } cases[] = {
        {good, kResultOk, 7, 0},
        {trailing, kResultOk, 7, 0}, // shortened to the expected length
        {badCrc, kResultInvalidCrc, 7, 0},
        {{0x01, 0x03, 0x02, 0x12}, kResultInvalidResponse, 4, 0},
        {{0x01, 0x83, 0x02, 0xC0, 0xF1}, kResultIllegalDataAddress, 5, 1},
        {withCrc({0x01, 0x83, 0x09}), kResultUnknownException, 5, 1},
    };
    for (const auto& c : cases) {
        CModbusMessage m;
        frameRequest(m, 3, {0, 0, 0, 1});
        m.scanBinaryResponse(c.received.data(), static_cast<int>(c.received.size()));
        EXPECT_EQ(m.checkBinaryResponse(), c.result);
        EXPECT_EQ(m.rxCount, c.rxCount);
        EXPECT_EQ(m.exceptionReceived, c.exception);
    }
}

TEST(CheckBinary, NeverLooksPastTheExtractedBytes) {
    CModbusMessage m;
    frameRequest(m, 3, {0, 0, 0, 10});
    // A correct 25-byte response is left over in rxFrame; only its first 7 bytes arrive now,
    // announcing 20 data bytes, and the CRC retry must not use the stale tail.
    Bytes stale = {0x01, 0x03, 0x14};
    stale.resize(23, 0x55);
    stale = withCrc(stale);
    std::memcpy(m.rxFrame, stale.data(), stale.size());
    m.scanBinaryResponse(stale.data(), 7);
    ASSERT_EQ(m.rxExpected, 25);
    EXPECT_EQ(m.checkBinaryResponse(), kResultInvalidCrc);
    EXPECT_EQ(m.rxCount, 7);

    // Counters set by hand beyond the buffer are clamped.
    m.rxCount = 5000;
    m.rxExpected = 9000;
    m.checkBinaryResponse();
    EXPECT_LE(m.rxCount, kFrameBufferSize);
}

TEST(ExceptionResult, EveryCode) {
    const struct {
        int code;
        int result;
    } cases[] = {{0x00, 5014}, {0x01, 5009}, {0x02, 5010}, {0x03, 5011}, {0x04, 5012},
                 {0x05, 5013}, {0x06, 5023}, {0x07, 5027}, {0x08, 5029}, {0x09, 5014},
                 {0x0A, 5030}, {0x0B, 5031}, {0x0C, 5014}, {0xFF, 5014}};
    for (const auto& c : cases) {
        CModbusMessage m;
        EXPECT_EQ(m.exceptionResult(c.code), c.result);
        EXPECT_EQ(m.exceptionReceived, 1);
    }
}

TEST(ScanAscii, ExtractsCheckAndConvert) {
    const struct {
        std::string received;
        std::string frame;
        int expected;
        int result;
    } cases[] = {
        // Lower-case digits and noise are skipped; a wrong address digit restarts the scan.
        {"xx:010302000AF0\r\n", ":010302000AF0\r\n", 15, kResultOk},
        {":0103020a00AF0\r\n", ":010302000AF0\r\n", 15, kResultOk},
        {":02:010302000AF0\r\n", ":010302000AF0\r\n", 15, kResultOk},
        {":010302000AF0\r", ":010302000AF0\r", 15, kResultOk},
        {":0103020AF0\r\n", ":0103020AF0\r\n", 15, kResultOk}, // short data, LRC right
        {":0183027A\r\n", ":0183027A\r\n", 11, kResultIllegalDataAddress},
        {":010302000AF1\r\n", ":010302000AF1\r\n", 15, kResultInvalidLrc},
        {":010300\r\n", ":010300\r\n", 11, kResultInvalidResponse},
    };
    for (const auto& c : cases) {
        CModbusMessage m;
        setFraming(m, Framing::Ascii);
        frameRequest(m, 3, {0, 0, 0, 1});
        const Bytes received = bytesOf(c.received);
        m.scanAsciiResponse(received.data(), static_cast<int>(received.size()));
        EXPECT_EQ(extracted(m), bytesOf(c.frame)) << c.received;
        EXPECT_EQ(m.rxExpected, c.expected) << c.received;
        EXPECT_EQ(m.checkAsciiResponse(), c.result) << c.received;
    }
}

TEST(CheckAscii, ExtraDataBeforeTheTrailerIsCutToTheExpectedLength) {
    CModbusMessage m;
    setFraming(m, Framing::Ascii);
    frameRequest(m, 6, {0, 1, 0, 2});
    const Bytes received = bytesOf(":010600010002F6AB\r\n");
    m.scanAsciiResponse(received.data(), static_cast<int>(received.size()));
    ASSERT_EQ(m.rxExpected, 17);
    EXPECT_EQ(m.checkAsciiResponse(), kResultOk);
    EXPECT_EQ(m.rxCount, 17);

    // A claimed length beyond what was extracted is not used.
    m.scanAsciiResponse(received.data(), 12);
    m.rxExpected = 600;
    EXPECT_EQ(m.checkAsciiResponse(), kResultInvalidLrc);
}

TEST(AsciiToBinary, LengthsAtTheEdges) {
    const struct {
        std::string text;
        Bytes binary;
    } cases[] = {
        {":01030000000AF2\r\n", {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}},
        {":0183027A\r\n", {0x01, 0x83, 0x02}},
        {"", {}},
        {":", {}},
        {":01\r\n", {}},
    };
    for (const auto& c : cases) {
        Bytes buffer = bytesOf(c.text);
        buffer.resize(kFrameBufferSize);
        int length = static_cast<int>(c.text.size());
        CModbusMessage m;
        EXPECT_EQ(m.asciiToBinary(buffer.data(), length), kResultOk);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + length), c.binary) << c.text;
    }
    for (int length : {0, 1, 639, 640, 641, -5}) {
        std::vector<std::uint8_t> buffer(kFrameBufferSize, 'F');
        CModbusMessage m;
        m.asciiToBinary(buffer.data(), length);
        EXPECT_GE(length, 0);
        EXPECT_LE(length, 318);
    }
}

TEST(Scanners, ArbitraryLengthsStayInsideTheBuffers) {
    for (Framing framing : {Framing::Rtu, Framing::Ascii, Framing::Tcp}) {
        CModbusMessage m; // nothing received at all (an empty buffer may have no storage)
        setFraming(m, framing);
        m.binaryMode ? m.scanBinaryResponse(nullptr, 0) : m.scanAsciiResponse(nullptr, 0);
        EXPECT_EQ(m.rxCount, 0);
    }
    for (Framing framing : {Framing::Rtu, Framing::Ascii, Framing::Tcp}) {
        for (int count : {0, 1, 5, 6, 639, 640, 700}) {
            std::vector<std::uint8_t> received(static_cast<std::size_t>(std::max(count, 1)), 0x01);
            CModbusMessage m;
            setFraming(m, framing);
            m.txFrame[3] = '0';
            if (framing == Framing::Ascii) {
                for (std::size_t i = 0; i < received.size(); ++i)
                    received[i] = i == 0 ? ':' : '0';
                m.txFrame[1] = m.txFrame[2] = m.txFrame[4] = '0';
                m.scanAsciiResponse(received.data(), std::min(count, 640));
                m.checkAsciiResponse();
            } else {
                m.txFrame[0] = m.txFrame[6] = 0x01;
                m.txFrame[1] = m.txFrame[7] = 0x01;
                m.scanBinaryResponse(received.data(), std::min(count, 640));
                m.checkBinaryResponse();
            }
            EXPECT_LE(m.rxCount, kFrameBufferSize);
            EXPECT_LE(m.rxExpected, kFrameBufferSize);
        }
    }
}
