// Feeds arbitrary tokens through the value entry formats and arbitrary requests through the
// builders, then shows the results with the display formats.

#include "protocol/data_types.h"
#include "protocol/modbus_message.h"
#include "protocol/value_codecs.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8)
        return 0;
    const std::uint8_t flags = data[0];
    const auto address = static_cast<std::uint16_t>((data[1] << 8) | data[2]);
    const auto count = static_cast<std::uint16_t>((data[3] << 8) | data[4]);
    const auto stringSize = static_cast<std::uint16_t>(data[5]);
    const int function = data[6];
    const std::string_view token(reinterpret_cast<const char*>(data + 7), size - 7);

    const std::string separator = flags & 1 ? ";" : ",";
    const auto i = scanInt(token);
    const auto s = scanShort(token);
    const auto us = scanUShort(token);
    const auto l = scanLong(token);
    const auto ul = scanULong(token);
    const auto h = scanHex(token);
    const auto f = scanFloat(token);
    const auto d = scanDouble(token);

    auto m = std::make_unique<CModbusMessage>();
    m->binaryMode = (flags >> 1) % 3 != 1;
    m->tcpMode = (flags >> 1) % 3 == 2;
    m->registerAddressing = (flags >> 3) & 1;
    m->modiconCompatible = (flags >> 4) & 1;
    m->modbusId = (flags >> 5) & 1;

    const std::vector<int> ints(std::min<std::size_t>(token.size(), 300), i.value_or(0));
    const std::vector<std::uint16_t> words(token.size() % 130, us.value_or(0));
    const std::vector<std::uint32_t> longs(token.size() % 70, ul.value_or(0));
    const std::vector<float> floats(token.size() % 70, f.value_or(0));
    const std::vector<double> doubles(token.size() % 40, d.value_or(0));
    const std::vector<std::string> strings(token.size() % 5, std::string(token));
    const std::vector<std::uint8_t> raw(token.begin(), token.end());

    std::vector<std::uint8_t> frame(kFrameBufferSize);
    int length = 0;
    std::uint8_t* out = frame.data();
    m->buildReadBits(out, length, function, address, count);
    m->buildReadBytes(out, length, function, address, count);
    m->buildReadWords(out, length, function, address, count);
    m->buildReadLongs(out, length, function, address, count);
    m->buildReadDoubles(out, length, function, address, count);
    m->buildReadStrings(out, length, function, address, count, stringSize);
    m->buildForceCoil(out, length, address, i.value_or(0));
    m->buildPresetByte(out, length, address, static_cast<int>(h.value_or(0)));
    m->buildPresetWord(out, length, address, static_cast<std::uint16_t>(s.value_or(0)));
    m->buildPresetLong(out, length, address, static_cast<std::uint32_t>(l.value_or(0)));
    m->buildPresetFloat(out, length, address, f.value_or(0));
    m->buildPresetDouble(out, length, address, d.value_or(0));
    m->buildPresetString(out, length, address, stringSize, token);
    m->buildReadExceptionStatus(out, length);
    m->buildDiagnostics(out, length, address, count);
    m->buildForceCoils(out, length, address, count, ints);
    m->buildPresetBytes(out, length, address, count, ints);
    m->buildPresetWords(out, length, address, count, words);
    m->buildPresetLongs(out, length, address, count, longs);
    m->buildPresetFloats(out, length, address, count, floats);
    m->buildPresetDoubles(out, length, address, count, doubles);
    m->buildPresetStrings(out, length, address, count, stringSize, strings);
    m->buildUserDefined(out, length, function, count, raw);

    std::vector<std::uint8_t> bytes(raw.begin(), raw.end());
    formatBooleans(bytes, separator);
    formatBytes(bytes, flags & 2, separator);
    formatWords(words, flags & 2, separator);
    formatLongs(longs, flags & 2, separator);
    formatFloats(floats, separator);
    formatDoubles(doubles, separator);
    formatStrings(strings, separator);
    formatExceptionStatus(kDataTypeBoolean + function % 12, data[1], separator);
    return 0;
}
