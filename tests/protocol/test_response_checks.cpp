#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"
#include "protocol/value_codecs.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// A read response in RTU framing: address 1, `function`, byte count, data, CRC.
Bytes rtuRead(int function, int byteCount, const Bytes& data) {
    Bytes frame = {0x01, static_cast<std::uint8_t>(function), static_cast<std::uint8_t>(byteCount)};
    frame.insert(frame.end(), data.begin(), data.end());
    return withCrc(frame);
}

int size(const Bytes& b) {
    return static_cast<int>(b.size());
}

} // namespace

TEST(Decoders, ByteCountRuleForWords) {
    const struct {
        const char* name;
        int byteCount;
        int dataBytes;
        int result;
        std::size_t values;
    } cases[] = {
        {"exact", 20, 20, kResultOk, 10},
        {"short count", 18, 18, kResultWrongByteCount, 9},
        {"too large", 252, 252, kResultByteCountTooLarge, 0},
        {"largest accepted", 250, 250, kResultWrongByteCount, 125},
        // The count claims more than the frame holds: only the bytes received are decoded.
        {"count beyond frame", 200, 6, kResultWrongByteCount, 3},
        {"right count, short data", 20, 4, kResultWrongByteCount, 2},
    };
    for (const auto& c : cases) {
        CModbusMessage m;
        const Bytes frame =
            rtuRead(3, c.byteCount, Bytes(static_cast<std::size_t>(c.dataBytes), 7));
        std::vector<std::uint16_t> values;
        EXPECT_EQ(m.decodeWords(frame.data(), size(frame), 10, values), c.result) << c.name;
        EXPECT_EQ(values.size(), c.values) << c.name;
    }
}

TEST(Decoders, HeaderShorterThanAByteCount) {
    for (Framing framing : {Framing::Rtu, Framing::Tcp}) {
        for (int length : {0, 1, 2, 8}) {
            CModbusMessage m;
            setFraming(m, framing);
            Bytes frame(static_cast<std::size_t>(length), 0x01);
            std::vector<std::uint16_t> words;
            std::vector<std::uint8_t> bits;
            if (length < (framing == Framing::Tcp ? 9 : 3)) {
                EXPECT_EQ(m.decodeWords(frame.data(), length, 2, words), kResultWrongByteCount);
                EXPECT_TRUE(words.empty());
            }
            m.decodeBits(frame.data(), length, 3, bits);
            EXPECT_EQ(bits.size(), 3u);
        }
    }
}

TEST(Decoders, ValuesPerType) {
    CModbusMessage m;
    std::vector<std::uint8_t> bits;
    Bytes coils = rtuRead(1, 250, Bytes(250, 0xA5));
    EXPECT_EQ(m.decodeBits(coils.data(), size(coils), 2000, bits), kResultOk);
    ASSERT_EQ(bits.size(), 2000u);
    EXPECT_EQ(bits[0], 1);
    EXPECT_EQ(bits[1], 0);
    EXPECT_EQ(bits[1999], 1);

    // A short bit response still lists the requested points, zero where nothing arrived.
    coils = rtuRead(1, 1, {0xFF});
    EXPECT_EQ(m.decodeBits(coils.data(), size(coils), 10, bits), kResultWrongByteCount);
    EXPECT_EQ(bits, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 1, 1, 1, 0, 0}));

    std::vector<std::uint32_t> longs;
    const Bytes longFrame = rtuRead(3, 4, {0x12, 0x34, 0x56, 0x78});
    EXPECT_EQ(m.decodeLongs(longFrame.data(), size(longFrame), 1, longs), kResultOk);
    EXPECT_EQ(longs, (std::vector<std::uint32_t>{0x12345678}));

    std::vector<double> doubles;
    const Bytes doubleFrame = rtuRead(3, 8, {0x3F, 0xF0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(m.decodeDoubles(doubleFrame.data(), size(doubleFrame), 1, doubles), kResultOk);
    EXPECT_EQ(doubles, (std::vector<double>{1.0}));

    std::vector<std::string> strings;
    const Bytes text = rtuRead(3, 12, bytesOf("AB  CD  EF  "));
    EXPECT_EQ(m.decodeStrings(text.data(), size(text), 3, 4, strings), kResultOk);
    EXPECT_EQ(strings, (std::vector<std::string>{"AB  ", "CD  ", "EF  "}));
    EXPECT_EQ(m.decodeStrings(text.data(), size(text), 3, 0, strings), kResultWrongByteCount);
    EXPECT_TRUE(strings.empty());
}

TEST(Decoders, BytesPerAddressingMode) {
    CModbusMessage m;
    std::vector<std::uint8_t> values;
    const Bytes logical = rtuRead(3, 2, {0x01, 0xFF});
    EXPECT_EQ(m.decodeBytes(logical.data(), size(logical), 2, values), kResultOk);
    EXPECT_EQ(values, (std::vector<std::uint8_t>{0x01, 0xFF}));

    m.registerAddressing = 1;
    EXPECT_EQ(m.decodeBytes(logical.data(), size(logical), 1, values), kResultOk);
    EXPECT_EQ(values, (std::vector<std::uint8_t>{0xFF})); // high byte ignored
    EXPECT_EQ(formatBytes(values, true, ","), "-1");
}

TEST(Decoders, FloatsWordSwappedOnlyInModiconMode) {
    const Bytes frame = rtuRead(3, 8, {0x00, 0x00, 0x3F, 0x80, 0x00, 0x00, 0x40, 0x00});
    const Bytes before = frame;
    std::vector<float> values;
    CModbusMessage m;
    m.modiconCompatible = 1;
    EXPECT_EQ(m.decodeFloats(frame.data(), size(frame), 2, values), kResultOk);
    EXPECT_EQ(values, (std::vector<float>{1.0f, 2.0f}));
    EXPECT_EQ(formatFloats(values, ","), "1.000000, 2.000000");
    EXPECT_EQ(frame, before);

    m.modiconCompatible = 0;
    m.registerAddressing = 1;
    const Bytes plain = rtuRead(3, 4, {0x3F, 0x80, 0x00, 0x00});
    EXPECT_EQ(m.decodeFloats(plain.data(), size(plain), 1, values), kResultOk);
    EXPECT_EQ(values, (std::vector<float>{1.0f}));
}

TEST(Decoders, OtherFramings) {
    CModbusMessage m;
    setFraming(m, Framing::Tcp);
    const Bytes tcp = hexBytes("00 00 00 00 00 07 01 03 04 00 01 00 02");
    std::vector<std::uint16_t> values;
    EXPECT_EQ(m.decodeWords(tcp.data(), size(tcp), 2, values), kResultOk);
    EXPECT_EQ(values, (std::vector<std::uint16_t>{1, 2}));

    setFraming(m, Framing::Ascii);
    Bytes ascii = bytesOf(":01030400010002F5\r\n");
    int length = size(ascii);
    m.asciiToBinary(ascii.data(), length);
    EXPECT_EQ(m.decodeWords(ascii.data(), length, 2, values), kResultOk);
    EXPECT_EQ(values, (std::vector<std::uint16_t>{1, 2}));
}

TEST(EchoChecks, WriteResponses) {
    const struct {
        const char* name;
        const char* request;
        const char* response;
        int singleByte;
        int result;
    } cases[] = {
        {"coil echo, other value", "01 05 00 13 FF 00", "01 05 00 13 00 00", 0, kResultOk},
        {"coil wrong address", "01 05 00 13 FF 00", "01 05 00 14 FF 00", 0, kResultCoilNotForced},
        {"coil short response", "01 05 00 13 FF 00", "01 05 00", 0, kResultCoilNotForced},
        {"register echo", "01 06 00 01 00 03", "01 06 00 01 00 03", 0, kResultOk},
        {"register value differs", "01 06 00 01 00 03", "01 06 00 01 00 04", 0,
         kResultRegisterNotPreset},
        {"register address differs", "01 06 00 01 00 03", "01 06 00 02 00 03", 0,
         kResultRegisterNotPreset},
        {"single byte echo", "01 06 00 01 05", "01 06 00 01 05", 1, kResultOk},
        {"single byte short", "01 06 00 01 05", "01 06 00 01", 1, kResultRegisterNotPreset},
        {"multiple echo", "01 10 00 01 00 02 04 00 0A 01 02", "01 10 00 01 00 02", 0, kResultOk},
        {"multiple quantity differs", "01 10 00 01 00 02 04 00 0A 01 02", "01 10 00 01 00 03", 0,
         kResultRegistersNotPreset},
        {"coils quantity differs", "01 0F 00 13 00 0A 02 CD 01", "01 0F 00 13 00 09", 0,
         kResultRegistersNotPreset},
    };
    for (const auto& c : cases) {
        CModbusMessage m;
        m.singleByteData = c.singleByte;
        const Bytes request = withCrc(hexBytes(c.request));
        const Bytes response = withCrc(hexBytes(c.response));
        int result = -1;
        switch (request[1]) {
        case 5:
            result =
                m.checkCoilEcho(response.data(), size(response), request.data(), size(request));
            break;
        case 6:
            result = m.checkRegisterEcho(response.data(), size(response) - 2, request.data(),
                                         size(request));
            break;
        default:
            result =
                m.checkMultipleEcho(response.data(), size(response), request.data(), size(request));
            break;
        }
        EXPECT_EQ(result, c.result) << c.name;
    }
}

TEST(EchoChecks, DiagnosticsComparesOnlyTheDataValue) {
    CModbusMessage m;
    const Bytes request = withCrc(hexBytes("01 08 00 00 04 D2"));
    const Bytes same = withCrc(hexBytes("01 08 00 01 04 D2"));
    const Bytes other = withCrc(hexBytes("01 08 00 00 04 D3"));
    EXPECT_TRUE(m.diagnosticsEchoMatches(same.data(), size(same), request.data(), size(request)));
    EXPECT_FALSE(
        m.diagnosticsEchoMatches(other.data(), size(other), request.data(), size(request)));
    EXPECT_FALSE(m.diagnosticsEchoMatches(same.data(), 4, request.data(), size(request)));
}
