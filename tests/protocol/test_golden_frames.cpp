// Checks the builders, the completion rule with its scanners and checks, and the decoders against
// frames that pymodbus built (golden/make_golden.py writes golden/golden_frames.txt).

#include "protocol/data_types.h"
#include "protocol/modbus_message.h"
#include "protocol/result_codes.h"
#include "protocol/typed_requests.h"
#include "protocol/value_codecs.h"
#include "test_support.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <type_traits>
#include <variant>

namespace {

using Fields = std::map<std::string, std::string>;

std::vector<Fields> loadVectors() {
    std::ifstream in(std::string(VANTREL_SOURCE_DIR) + "/tests/protocol/golden/golden_frames.txt");
    std::vector<Fields> vectors;
    std::string text;
    while (std::getline(in, text)) {
        if (text.empty() || text[0] == '#')
            continue;
        Fields fields;
        std::istringstream words(text);
        std::string word;
        while (words >> word) {
            const auto eq = word.find('=');
            fields[word.substr(0, eq)] = word.substr(eq + 1);
        }
        vectors.push_back(fields);
    }
    return vectors;
}

Bytes unhex(const std::string& text) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<std::string> listOf(const Fields& f, const char* key) {
    std::vector<std::string> out;
    const auto it = f.find(key);
    if (it == f.end() || it->second.empty())
        return out;
    std::istringstream in(it->second);
    std::string item;
    while (std::getline(in, item, ','))
        out.push_back(item);
    return out;
}

int number(const Fields& f, const char* key) {
    const auto it = f.find(key);
    return it == f.end() ? 0 : std::stoi(it->second);
}

template <typename T> std::vector<T> integers(const Fields& f) {
    std::vector<T> out;
    for (const auto& v : listOf(f, "values"))
        out.push_back(static_cast<T>(std::stoll(v)));
    return out;
}

template <typename T> std::vector<T> reals(const Fields& f) {
    std::vector<T> out;
    for (const auto& v : listOf(f, "values"))
        out.push_back(static_cast<T>(std::stod(v)));
    return out;
}

std::vector<std::string> strings(const Fields& f) {
    std::vector<std::string> out;
    for (const auto& v : listOf(f, "values")) {
        const Bytes b = unhex(v);
        out.emplace_back(b.begin(), b.end());
    }
    return out;
}

// The vector's values in the array of their type.
WriteValues writeValues(const Fields& f, int type) {
    WriteValues values;
    if (type == kDataTypeString)
        values.strings = strings(f);
    else if (type == kDataTypeFloat)
        values.floats = reals<float>(f);
    else if (type == kDataTypeDouble)
        values.doubles = reals<double>(f);
    else {
        values.bits = integers<int>(f);
        values.words = integers<std::uint16_t>(f);
        values.longs = integers<std::uint32_t>(f);
    }
    return values;
}

void configure(CModbusMessage& m, const Fields& f) {
    const std::string& framing = f.at("framing");
    setFraming(m, framing == "rtu"   ? Framing::Rtu
                  : framing == "tcp" ? Framing::Tcp
                                     : Framing::Ascii);
    const auto mode = f.find("mode");
    m.registerAddressing = mode != f.end() && mode->second == "register";
    m.modiconCompatible = mode != f.end() && mode->second == "modicon";
    m.modbusId = 0x11;
}

int build(CModbusMessage& m, const Fields& f, std::uint8_t* frame, int& length) {
    const std::string& op = f.at("op");
    const int fc = number(f, "fc");
    const int type = number(f, "type");
    const auto addr = static_cast<std::uint16_t>(number(f, "addr"));
    const auto count = static_cast<std::uint16_t>(number(f, "count"));
    const auto size = static_cast<std::uint16_t>(number(f, "size"));
    if (op == "status")
        return m.buildReadExceptionStatus(frame, length);
    if (op == "diag")
        return m.buildDiagnostics(frame, length, 0, integers<std::uint16_t>(f).at(0));
    const TypedRequest request{type, fc, addr, count, size};
    if (op == "read")
        return buildTypedRead(m, frame, length, request);
    const WriteValues values = writeValues(f, type);
    if (op == "single")
        return buildTypedSingle(m, frame, length, request, values);
    return buildTypedMultiple(m, frame, length, request, values);
}

template <typename T> std::vector<T> expectedValues(const Fields& f) {
    if constexpr (std::is_same_v<T, std::string>)
        return strings(f);
    else if constexpr (std::is_floating_point_v<T>)
        return reals<T>(f);
    else
        return integers<T>(f);
}

// Decodes a read response of registers and compares the values with the vector's.
void expectRegisterValues(const CModbusMessage& m, const Fields& f, const Bytes& response,
                          const std::string& where) {
    const TypedRequest request{number(f, "type"), number(f, "fc"), 0,
                               static_cast<std::uint16_t>(number(f, "count")),
                               static_cast<std::uint16_t>(number(f, "size"))};
    ReadValues values;
    EXPECT_EQ(decodeTypedRegisters(m, response.data(), static_cast<int>(response.size()), request,
                                   values),
              kResultOk)
        << where;
    std::visit(
        [&](const auto& got) {
            using V = std::decay_t<decltype(got)>;
            if constexpr (std::is_same_v<V, std::monostate>)
                ADD_FAILURE() << where << ": no decoder for the type";
            else
                EXPECT_EQ(got, expectedValues<typename V::value_type>(f)) << where;
        },
        values);
}

void checkContent(CModbusMessage& m, const Fields& f, Bytes request, Bytes response,
                  const std::string& where) {
    if (!m.binaryMode) {
        int requestLength = static_cast<int>(request.size());
        int responseLength = static_cast<int>(response.size());
        request.resize(kFrameBufferSize);
        response.resize(kFrameBufferSize);
        m.asciiToBinary(request.data(), requestLength);
        m.asciiToBinary(response.data(), responseLength);
        request.resize(static_cast<std::size_t>(requestLength));
        response.resize(static_cast<std::size_t>(responseLength));
    }
    const int rq = static_cast<int>(request.size());
    const int rs = static_cast<int>(response.size());
    switch (number(f, "fc")) {
    case 1:
    case 2: {
        std::vector<std::uint8_t> bits;
        EXPECT_EQ(
            m.decodeBits(response.data(), rs, static_cast<std::uint16_t>(number(f, "count")), bits),
            kResultOk)
            << where;
        EXPECT_EQ(bits, integers<std::uint8_t>(f)) << where;
        break;
    }
    case 3:
    case 4:
        expectRegisterValues(m, f, response, where);
        break;
    case 5:
        EXPECT_EQ(m.checkCoilEcho(response.data(), rs, request.data(), rq), kResultOk) << where;
        break;
    case 6:
        EXPECT_EQ(m.checkRegisterEcho(response.data(), rs, request.data(), rq), kResultOk) << where;
        break;
    case 7: {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", number(f, "values"));
        EXPECT_EQ(formatExceptionStatus(
                      kDataTypeHex8, response[static_cast<std::size_t>(m.frameOffset() + 2)], ","),
                  hex)
            << where;
        break;
    }
    case 8:
        EXPECT_TRUE(m.diagnosticsEchoMatches(response.data(), rs, request.data(), rq)) << where;
        break;
    default:
        EXPECT_EQ(m.checkMultipleEcho(response.data(), rs, request.data(), rq), kResultOk) << where;
        break;
    }
}

} // namespace

TEST(GoldenFrames, RequestsMatchIndependentFraming) {
    int checked = 0;
    for (const auto& f : loadVectors()) {
        if (f.at("kind") != "request")
            continue;
        CModbusMessage m;
        configure(m, f);
        Bytes frame(kFrameBufferSize);
        int length = 0;
        std::string where;
        for (const auto& [key, value] : f)
            where += key + "=" + value + " ";
        ASSERT_EQ(build(m, f, frame.data(), length), kResultOk) << where;
        frame.resize(static_cast<std::size_t>(length));
        EXPECT_EQ(frame, unhex(f.at("frame"))) << where;
        ++checked;
    }
    EXPECT_GE(checked, 300);
}

TEST(GoldenFrames, ResponsesScanCheckAndDecode) {
    int checked = 0;
    for (const auto& f : loadVectors()) {
        if (f.at("kind") != "response")
            continue;
        std::string where;
        for (const auto& [key, value] : f)
            where += key + "=" + value + " ";
        CModbusMessage m;
        configure(m, f);
        const Bytes request = unhex(f.at("request"));
        const Bytes response = unhex(f.at("frame"));
        std::copy(request.begin(), request.end(), m.txFrame);
        m.txLength = static_cast<int>(request.size());

        // Leading noise before a serial response is skipped by the scanners.
        Bytes received;
        if (!m.tcpMode)
            received = m.binaryMode ? Bytes{0x00, 0xFF} : bytesOf("\n?zz");
        received.insert(received.end(), response.begin(), response.end());
        const ReplyVerdict verdict =
            m.assessResponse(received.data(), static_cast<int>(received.size()));
        ASSERT_EQ(Bytes(m.rxFrame, m.rxFrame + m.rxCount), response) << where;
        EXPECT_EQ(m.rxExpected, m.tcpMode ? 0 : static_cast<int>(response.size())) << where;

        EXPECT_EQ(verdict.status, ReplyStatus::Complete) << where;
        const int result = verdict.result;
        EXPECT_EQ(result, number(f, "result")) << where;
        EXPECT_EQ(m.exceptionReceived, result != kResultOk ? 1 : 0) << where;
        if (result == kResultOk)
            checkContent(m, f, request, response, where);
        ++checked;
    }
    EXPECT_GE(checked, 400);
}
