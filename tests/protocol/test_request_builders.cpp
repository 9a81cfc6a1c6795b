#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"
#include "test_support.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

enum class Mode { Logical, Register, Modicon };

struct BuildCase {
    const char* name;
    Mode mode;
    Framing framing;
    std::function<int(CModbusMessage&, std::uint8_t*, int&)> build;
    int result;
    const char* frame; // expected frame without the RTU CRC ("" when not compared)
    int singleByteData = -1;
};

void setMode(CModbusMessage& m, Mode mode) {
    m.registerAddressing = mode == Mode::Register;
    m.modiconCompatible = mode == Mode::Modicon;
}

Bytes framed(Framing framing, const Bytes& content) {
    if (framing == Framing::Rtu)
        return withCrc(content);
    return content;
}

const std::vector<float> kFloatOne = {1.0f};
const std::vector<double> kDoubleOne = {1.0};
const std::vector<int> kCoils = {1, 0, 1, 1, 0, 0, 0, 0, 1, 1};

} // namespace

TEST(RequestBuilders, FramesAndLimits) {
    using M = CModbusMessage;
    const std::vector<std::uint16_t> words126(126, 1);
    const std::vector<std::uint16_t> words124(124, 1);
    const std::vector<std::uint8_t> userBytes = {0x01, 0x02, 0xFF};
    const std::vector<std::string> strings = {"AB", "CD"};
    const BuildCase
        cases
            [] =
                {
                    {"read words", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadWords(f, n, 3, 0, 10); }, 0,
                     "01 03 00 00 00 0A"},
                    {"modicon address 1", Mode::Modicon, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadWords(f, n, 3, 1, 10); }, 0,
                     "01 03 00 00 00 0A"},
                    {"modicon address 0 wraps", Mode::Modicon, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadWords(f, n, 4, 0, 1); }, 0,
                     "01 04 FF FF 00 01"},
                    {"modicon over tcp", Mode::Modicon, Framing::Tcp,
                     [](M& m, auto* f, int& n) { return m.buildReadWords(f, n, 4, 0, 1); }, 0,
                     "00 00 00 00 00 06 01 04 FF FF 00 01"},
                    {"read words limit", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadWords(f, n, 3, 0, 126); },
                     kResultResponseTooLong, ""},
                    {"read bits 2000", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadBits(f, n, 1, 0, 2000); }, 0,
                     "01 01 00 00 07 D0"},
                    {"read bits 2001", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadBits(f, n, 2, 0, 2001); },
                     kResultResponseTooLong, ""},
                    {"read bytes logical 250", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadBytes(f, n, 3, 0, 250); }, 0,
                     "01 03 00 00 00 FA"},
                    {"read bytes register 126", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadBytes(f, n, 3, 0, 126); },
                     kResultResponseTooLong, ""},
                    {"read longs logical", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadLongs(f, n, 3, 0, 10); }, 0,
                     "01 03 00 00 00 0A"},
                    {"read longs register", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadLongs(f, n, 3, 0, 10); }, 0,
                     "01 03 00 00 00 14"},
                    {"read longs 63 logical", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadLongs(f, n, 3, 0, 63); },
                     kResultResponseTooLong, ""},
                    {"read longs 63 register", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadLongs(f, n, 3, 0, 63); },
                     kResultResponseTooLong, ""},
                    {"read doubles register", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadDoubles(f, n, 4, 0, 31); }, 0,
                     "01 04 00 00 00 7C"},
                    {"read doubles 32", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadDoubles(f, n, 4, 0, 32); },
                     kResultResponseTooLong, ""},
                    {"read strings logical", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadStrings(f, n, 3, 0, 3, 10); }, 0,
                     "01 03 00 00 00 03"},
                    {"read strings register", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadStrings(f, n, 3, 0, 3, 10); }, 0,
                     "01 03 00 00 00 0F"},
                    {"read strings 1x250", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadStrings(f, n, 3, 0, 1, 250); },
                     0, "01 03 00 00 00 01"},
                    {"read strings 2x250", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadStrings(f, n, 3, 0, 2, 250); },
                     kResultResponseTooLong, ""},
                    {"read strings huge product", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) {
                         return m.buildReadStrings(f, n, 3, 0, 65535, 65535);
                     },
                     kResultResponseTooLong, ""},
                    {"force coil 1", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildForceCoil(f, n, 0x13, 1); }, 0,
                     "01 05 00 13 FF 00"},
                    {"force coil 256", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildForceCoil(f, n, 0x13, 256); }, 0,
                     "01 05 00 13 00 00"},
                    {"preset byte logical", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetByte(f, n, 1, 5); }, 0,
                     "01 06 00 01 05", 1},
                    {"preset byte register", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetByte(f, n, 1, 0x105); }, 0,
                     "01 06 00 01 00 05", 0},
                    {"preset word", Mode::Logical, Framing::Ascii,
                     [](M& m, auto* f, int& n) { return m.buildPresetWord(f, n, 1, 3); }, 0,
                     "3A 30 31 30 36 30 30 30 31 30 30 30 33 46 35 0D 0A", 0},
                    {"preset long modicon", Mode::Modicon, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetLong(f, n, 1, 0x12345678); },
                     0, "01 10 00 00 00 02 04 12 34 56 78"},
                    {"preset long logical", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetLong(f, n, 1, 0x12345678); },
                     0, "01 06 00 01 12 34 56 78"},
                    {"preset float logical", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetFloat(f, n, 1, 1.0f); }, 0,
                     "01 06 00 01 3F 80 00 00"},
                    {"preset float register", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetFloat(f, n, 1, 1.0f); }, 0,
                     "01 10 00 01 00 02 04 3F 80 00 00"},
                    {"preset float modicon", Mode::Modicon, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetFloat(f, n, 1, 1.0f); }, 0,
                     "01 10 00 00 00 02 04 00 00 3F 80"},
                    {"preset double modicon", Mode::Modicon, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetDouble(f, n, 1, 1.0); }, 0,
                     "01 10 00 00 00 04 08 3F F0 00 00 00 00 00 00"},
                    {"preset string logical pads", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetString(f, n, 2, 4, "AB"); }, 0,
                     "01 06 00 02 41 42 20 20"},
                    {"preset string register odd", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetString(f, n, 2, 3, "ABCD"); },
                     0, "01 10 00 02 00 01 03 41 42 43"},
                    {"preset string 251", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetString(f, n, 2, 251, ""); },
                     kResultMessageTooLong, ""},
                    {"exception status", Mode::Modicon, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildReadExceptionStatus(f, n); }, 0,
                     "01 07"},
                    {"diagnostics modicon", Mode::Modicon, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildDiagnostics(f, n, 0, 1234); }, 0,
                     "01 08 00 00 04 D2"},
                    {"force coils", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f,
                        int& n) { return m.buildForceCoils(f, n, 0x13, 10, kCoils); },
                     0, "01 0F 00 13 00 0A 02 0D 03"},
                    {"force coils 2001", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildForceCoils(f, n, 0, 2001, kCoils); },
                     kResultTooManyToWrite, ""},
                    {"force coils 1977 over rtu", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildForceCoils(f, n, 0, 1977, kCoils); },
                     kResultMessageTooLong, ""},
                    {"preset bytes logical", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) {
                         const std::vector<int> v = {1, 0x1FF};
                         return m.buildPresetBytes(f, n, 0, 2, v);
                     },
                     0, "01 10 00 00 00 02 02 01 FF", 1},
                    {"preset bytes register", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) {
                         const std::vector<int> v = {1, 0x1FF};
                         return m.buildPresetBytes(f, n, 0, 2, v);
                     },
                     0, "01 10 00 00 00 02 04 00 01 00 FF", 0},
                    {"preset bytes register 126", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetBytes(f, n, 0, 126, {}); },
                     kResultTooManyToWrite, ""},
                    {"preset words 126", Mode::Logical, Framing::Rtu,
                     [&](M& m, auto* f,
                         int& n) { return m.buildPresetWords(f, n, 0, 126, words126); },
                     kResultTooManyToWrite, ""},
                    {"preset words 124 rtu", Mode::Logical, Framing::Rtu,
                     [&](M& m, auto* f, int& n) {
                         return m.buildPresetWords(f, n, 0, 124, words124);
                     },
                     kResultMessageTooLong, ""},
                    {"preset words 124 tcp", Mode::Logical, Framing::Tcp,
                     [&](M& m, auto* f, int& n) {
                         return m.buildPresetWords(f, n, 0, 124, words124);
                     },
                     kResultOk, ""},
                    {"preset words missing values are zero", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) {
                         const std::vector<std::uint16_t> v = {0x1234};
                         return m.buildPresetWords(f, n, 0, 2, v);
                     },
                     0, "01 10 00 00 00 02 04 12 34 00 00"},
                    {"preset longs register", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) {
                         const std::vector<std::uint32_t> v = {0x12345678};
                         return m.buildPresetLongs(f, n, 0, 1, v);
                     },
                     0, "01 10 00 00 00 02 04 12 34 56 78"},
                    {"preset longs 63", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetLongs(f, n, 0, 63, {}); },
                     kResultTooManyToWrite, ""},
                    {"preset floats modicon", Mode::Modicon, Framing::Rtu,
                     [](M& m, auto* f, int& n) {
                         return m.buildPresetFloats(f, n, 1, 1, kFloatOne);
                     },
                     0, "01 10 00 00 00 02 04 00 00 3F 80"},
                    {"preset floats logical", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) {
                         return m.buildPresetFloats(f, n, 1, 1, kFloatOne);
                     },
                     0, "01 10 00 01 00 01 04 3F 80 00 00"},
                    {"preset doubles register", Mode::Register, Framing::Rtu,
                     [](M& m, auto* f, int& n) {
                         return m.buildPresetDoubles(f, n, 1, 1, kDoubleOne);
                     },
                     0, "01 10 00 01 00 04 08 3F F0 00 00 00 00 00 00"},
                    {"preset doubles 32", Mode::Logical, Framing::Rtu,
                     [](M& m, auto* f, int& n) { return m.buildPresetDoubles(f, n, 1, 32, {}); },
                     kResultTooManyToWrite, ""},
                    {"preset strings register", Mode::Register, Framing::Rtu,
                     [&](M& m, auto* f, int& n) {
                         return m.buildPresetStrings(f, n, 0, 3, 3, strings);
                     },
                     0, "01 10 00 00 00 04 09 41 42 20 43 44 20 00 00 00"},
                    {"preset strings 248", Mode::Logical, Framing::Rtu,
                     [&](M& m, auto* f,
                         int& n) { return m.buildPresetStrings(f, n, 0, 2, 124, strings); },
                     kResultMessageTooLong, ""},
                    {"preset strings huge product", Mode::Register, Framing::Rtu,
                     [&](M& m, auto* f, int& n) {
                         return m.buildPresetStrings(f, n, 0, 65535, 65535, strings);
                     },
                     kResultMessageTooLong, ""},
                    {"user defined", Mode::Modicon, Framing::Rtu,
                     [&](M& m, auto* f,
                         int& n) { return m.buildUserDefined(f, n, 65, 3, userBytes); },
                     0, "01 41 01 02 FF", 0},
                    {"user defined 253 over rtu", Mode::Logical, Framing::Rtu,
                     [&](M& m, auto* f, int& n) {
                         return m.buildUserDefined(f, n, 65, 253, userBytes);
                     },
                     kResultMessageTooLong, ""},
                    {"user defined 255", Mode::Logical, Framing::Tcp,
                     [&](M& m, auto* f,
                         int& n) { return m.buildUserDefined(f, n, 65, 255, userBytes); },
                     kResultMessageTooLong, ""},
                };
    for (const auto& c : cases) {
        CModbusMessage m;
        setFraming(m, c.framing);
        setMode(m, c.mode);
        m.singleByteData = 7;
        Bytes frame(kFrameBufferSize);
        int length = 0;
        EXPECT_EQ(c.build(m, frame.data(), length), c.result) << c.name;
        if (*c.frame != '\0') {
            frame.resize(static_cast<std::size_t>(length));
            EXPECT_EQ(frame, framed(c.framing, hexBytes(c.frame))) << c.name;
        }
        if (c.singleByteData >= 0) {
            EXPECT_EQ(m.singleByteData, c.singleByteData) << c.name;
        }
    }
}

TEST(RequestBuilders, ReadsLeaveSingleByteDataAlone) {
    CModbusMessage m;
    m.singleByteData = 1;
    Bytes frame(kFrameBufferSize);
    int length = 0;
    m.buildReadWords(frame.data(), length, 3, 0, 1);
    m.buildDiagnostics(frame.data(), length, 0, 0);
    m.buildReadExceptionStatus(frame.data(), length);
    EXPECT_EQ(m.singleByteData, 1);
}
