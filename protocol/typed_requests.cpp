#include "protocol/typed_requests.h"

#include "protocol/data_types.h"
#include "protocol/result_codes.h"
#include "protocol/value_codecs.h"

#include <type_traits>

namespace {

template <typename T> T first(const std::vector<T>& values) {
    return values.empty() ? T{} : values.front();
}

template <typename T> int decodeInto(ReadValues& values, int code, std::vector<T>&& decoded) {
    values = std::move(decoded);
    return code;
}

} // namespace

int buildTypedRead(CModbusMessage& message, std::uint8_t* frame, int& length,
                   const TypedRequest& request) {
    const auto [type, fc, address, count, size] = request;
    switch (type) {
    case kDataTypeBoolean:
        return message.buildReadBits(frame, length, fc, address, count);
    case kDataTypeInt8:
    case kDataTypeUInt8:
        return message.buildReadBytes(frame, length, fc, address, count);
    case kDataTypeInt16:
    case kDataTypeUInt16:
        return message.buildReadWords(frame, length, fc, address, count);
    case kDataTypeInt32:
    case kDataTypeUInt32:
    case kDataTypeFloat:
        return message.buildReadLongs(frame, length, fc, address, count);
    case kDataTypeDouble:
        return message.buildReadDoubles(frame, length, fc, address, count);
    case kDataTypeString:
        return message.buildReadStrings(frame, length, fc, address, count, size);
    default:
        return kResultTypeNotSupported;
    }
}

int buildTypedSingle(CModbusMessage& message, std::uint8_t* frame, int& length,
                     const TypedRequest& request, const WriteValues& values) {
    const std::uint16_t address = request.address;
    switch (request.dataType) {
    case kDataTypeBoolean:
        return message.buildForceCoil(frame, length, address, first(values.bits));
    case kDataTypeHex8:
    case kDataTypeInt8:
    case kDataTypeUInt8:
        return message.buildPresetByte(frame, length, address, first(values.bits));
    case kDataTypeInt16:
    case kDataTypeUInt16:
        return message.buildPresetWord(frame, length, address, first(values.words));
    case kDataTypeInt32:
    case kDataTypeUInt32:
        return message.buildPresetLong(frame, length, address, first(values.longs));
    case kDataTypeFloat:
        return message.buildPresetFloat(frame, length, address, first(values.floats));
    case kDataTypeDouble:
        return message.buildPresetDouble(frame, length, address, first(values.doubles));
    case kDataTypeString:
        return message.buildPresetString(frame, length, address, request.stringSize,
                                         first(values.strings));
    default:
        return kResultTypeNotSupported;
    }
}

int buildTypedMultiple(CModbusMessage& message, std::uint8_t* frame, int& length,
                       const TypedRequest& request, const WriteValues& values) {
    const auto [type, fc, address, count, size] = request;
    switch (type) {
    case kDataTypeBoolean:
        return message.buildForceCoils(frame, length, address, count, values.bits);
    case kDataTypeInt8:
    case kDataTypeUInt8:
        return message.buildPresetBytes(frame, length, address, count, values.bits);
    case kDataTypeInt16:
    case kDataTypeUInt16:
        return message.buildPresetWords(frame, length, address, count, values.words);
    case kDataTypeInt32:
    case kDataTypeUInt32:
        return message.buildPresetLongs(frame, length, address, count, values.longs);
    case kDataTypeFloat:
        return message.buildPresetFloats(frame, length, address, count, values.floats);
    case kDataTypeDouble:
        return message.buildPresetDoubles(frame, length, address, count, values.doubles);
    case kDataTypeString:
        return message.buildPresetStrings(frame, length, address, count, size, values.strings);
    default:
        return kResultTypeNotSupported;
    }
}

int decodeTypedRegisters(const CModbusMessage& message, const std::uint8_t* frame, int length,
                         const TypedRequest& request, ReadValues& values) {
    const std::uint16_t count = request.count;
    values = std::monostate{};
    switch (request.dataType) {
    case kDataTypeInt8:
    case kDataTypeUInt8: {
        std::vector<std::uint8_t> v;
        return decodeInto(values, message.decodeBytes(frame, length, count, v), std::move(v));
    }
    case kDataTypeInt16:
    case kDataTypeUInt16: {
        std::vector<std::uint16_t> v;
        return decodeInto(values, message.decodeWords(frame, length, count, v), std::move(v));
    }
    case kDataTypeInt32:
    case kDataTypeUInt32: {
        std::vector<std::uint32_t> v;
        return decodeInto(values, message.decodeLongs(frame, length, count, v), std::move(v));
    }
    case kDataTypeFloat: {
        std::vector<float> v;
        return decodeInto(values, message.decodeFloats(frame, length, count, v), std::move(v));
    }
    case kDataTypeDouble: {
        std::vector<double> v;
        return decodeInto(values, message.decodeDoubles(frame, length, count, v), std::move(v));
    }
    case kDataTypeString: {
        std::vector<std::string> v;
        return decodeInto(values,
                          message.decodeStrings(frame, length, count, request.stringSize, v),
                          std::move(v));
    }
    default:
        return kResultOk;
    }
}

std::string formatReadValues(const ReadValues& values, bool isSigned,
                             std::string_view listSeparator) {
    return std::visit(
        [&](const auto& v) -> std::string {
            using V = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<V, std::vector<std::uint8_t>>)
                return formatBytes(v, isSigned, listSeparator);
            else if constexpr (std::is_same_v<V, std::vector<std::uint16_t>>)
                return formatWords(v, isSigned, listSeparator);
            else if constexpr (std::is_same_v<V, std::vector<std::uint32_t>>)
                return formatLongs(v, isSigned, listSeparator);
            else if constexpr (std::is_same_v<V, std::vector<float>>)
                return formatFloats(v, listSeparator);
            else if constexpr (std::is_same_v<V, std::vector<double>>)
                return formatDoubles(v, listSeparator);
            else if constexpr (std::is_same_v<V, std::vector<std::string>>)
                return formatStrings(v, listSeparator);
            else
                return {};
        },
        values);
}
