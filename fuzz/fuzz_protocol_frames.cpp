// Feeds arbitrary received bytes through the response scanners, checks, the completion rule of
// the exchanges, ASCII conversion, decoders and echo checks, in every framing, against a request
// also taken from the input.

#include "protocol/modbus_message.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void decodeEverything(const CModbusMessage& m, const std::uint8_t* frame, int length,
                      std::uint16_t count, std::uint16_t size, const std::uint8_t* request,
                      int requestLength) {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint16_t> words;
    std::vector<std::uint32_t> longs;
    std::vector<float> floats;
    std::vector<double> doubles;
    std::vector<std::string> strings;
    m.decodeBits(frame, length, count, bytes);
    m.decodeBytes(frame, length, count, bytes);
    m.decodeWords(frame, length, count, words);
    m.decodeLongs(frame, length, count, longs);
    m.decodeFloats(frame, length, count, floats);
    m.decodeDoubles(frame, length, count, doubles);
    m.decodeStrings(frame, length, count, size, strings);
    m.checkCoilEcho(frame, length, request, requestLength);
    m.checkRegisterEcho(frame, length, request, requestLength);
    m.checkMultipleEcho(frame, length, request, requestLength);
    m.diagnosticsEchoMatches(frame, length, request, requestLength);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8)
        return 0;
    const std::uint8_t flags = data[0];
    const std::uint8_t requestSize = data[1];
    const std::uint16_t count = static_cast<std::uint16_t>((data[2] << 8) | data[3]);
    const std::uint16_t stringSize = data[4];
    const int expectedOverride = (data[5] << 8) | data[6];
    data += 7;
    size -= 7;

    auto m = std::make_unique<CModbusMessage>();
    const int framing = flags % 3;
    m->binaryMode = framing != 1;
    m->tcpMode = framing == 2;
    m->singleByteData = (flags >> 2) & 1;
    m->registerAddressing = (flags >> 3) & 1;
    m->modiconCompatible = (flags >> 4) & 1;

    // The request: either framed by assembleFrame from input bytes, or raw input bytes.
    const std::size_t taken = std::min<std::size_t>(requestSize % 64, size);
    if (flags & 0x20) {
        m->modbusId = taken > 0 ? data[0] : 1;
        const int function = taken > 1 ? data[1] : 3;
        const int dataLength = taken > 2 ? static_cast<int>(taken - 2) : 0;
        if (dataLength > 0)
            std::memcpy(m->pduData, data + 2, static_cast<std::size_t>(dataLength));
        m->assembleFrame(m->txFrame, m->txLength, function, dataLength);
    } else {
        std::memcpy(m->txFrame, data, taken);
        m->txLength = static_cast<int>(taken);
    }
    data += taken;
    size -= taken;

    // The received bytes, in a buffer of exactly their size so that overruns are caught.
    const int received = static_cast<int>(std::min<std::size_t>(size, kFrameBufferSize));
    std::vector<std::uint8_t> bytes(data, data + received);
    int result = 0;
    if (m->binaryMode) {
        m->scanBinaryResponse(bytes.data(), received);
        result = m->checkBinaryResponse();
    } else {
        m->scanAsciiResponse(bytes.data(), received);
        result = m->checkAsciiResponse();
    }

    if (m->rxCount < 0 || m->rxCount > kFrameBufferSize || m->rxExpected > kFrameBufferSize)
        __builtin_trap();

    // The completion rule as the exchanges ask it: after a first piece, then with everything.
    const int piece = received > 0 ? expectedOverride % (received + 1) : 0;
    for (const int held : {piece, received}) {
        const ReplyVerdict verdict = m->assessResponse(bytes.data(), held);
        if (m->rxCount < 0 || m->rxCount > held || m->rxExpected > kFrameBufferSize)
            __builtin_trap();
        // Success only with a checked frame: at least address, function and check value.
        if (verdict.result == 0 && (verdict.status != ReplyStatus::Complete || m->rxCount < 5))
            __builtin_trap();
    }

    // The check again with an expected length that the scanner did not compute.
    if (flags & 0x40) {
        m->rxExpected = expectedOverride;
        result = m->binaryMode ? m->checkBinaryResponse() : m->checkAsciiResponse();
        if (m->rxCount < 0 || m->rxCount > kFrameBufferSize)
            __builtin_trap();
    }
    (void)result;

    // What the dialog does with the extracted frame: convert, then decode and compare.
    std::vector<std::uint8_t> frame(m->rxFrame, m->rxFrame + kFrameBufferSize);
    int length = m->rxCount;
    std::vector<std::uint8_t> request(m->txFrame, m->txFrame + kFrameBufferSize);
    int requestLength = m->txLength;
    if (!m->binaryMode) {
        m->asciiToBinary(frame.data(), length);
        m->asciiToBinary(request.data(), requestLength);
    }
    if (length < 0 || length > m->rxCount || requestLength < 0 || requestLength > kFrameBufferSize)
        __builtin_trap();
    frame.resize(static_cast<std::size_t>(length));
    request.resize(static_cast<std::size_t>(requestLength));
    decodeEverything(*m, frame.data(), length, count, stringSize, request.data(), requestLength);

    // And the decoders straight on the received bytes, trusting nothing.
    decodeEverything(*m, bytes.data(), received, count, stringSize, request.data(), requestLength);
    return 0;
}
