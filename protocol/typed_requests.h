#pragma once

#include "protocol/modbus_message.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The builder and the decoder of each data type, chosen in one place for every caller.

// A request on the values of one data type.
struct TypedRequest {
    int dataType = 0;
    int functionCode = 0; // reads: 01 to 04
    std::uint16_t address = 0;
    std::uint16_t count = 0;
    std::uint16_t stringSize = 0; // ASCII String only
};

// Values to write, in the array of their type: coils and 8-bit values in `bits`, 16-bit values
// in `words`, 32-bit integers in `longs`. A single write takes the first.
struct WriteValues {
    std::vector<int> bits;
    std::vector<std::uint16_t> words;
    std::vector<std::uint32_t> longs;
    std::vector<float> floats;
    std::vector<double> doubles;
    std::vector<std::string> strings;
};

// Values read, in the array of their type; nothing for a type without a decoder.
using ReadValues = std::variant<std::monostate, std::vector<std::uint8_t>,
                                std::vector<std::uint16_t>, std::vector<std::uint32_t>,
                                std::vector<float>, std::vector<double>, std::vector<std::string>>;

// Builds the read of `request.count` values (Boolean: points); kResultTypeNotSupported for a
// type without a builder.
int buildTypedRead(CModbusMessage& message, std::uint8_t* frame, int& length,
                   const TypedRequest& request);
// Builds the single write (05 for Boolean, 06 otherwise) of the first value.
int buildTypedSingle(CModbusMessage& message, std::uint8_t* frame, int& length,
                     const TypedRequest& request, const WriteValues& values);
// Builds the multiple write (15 for Boolean, 16 otherwise) of `request.count` values.
int buildTypedMultiple(CModbusMessage& message, std::uint8_t* frame, int& length,
                       const TypedRequest& request, const WriteValues& values);
// Decodes the registers of a read response as `request` asked for them. A type without a
// decoder gives no values and kResultOk.
int decodeTypedRegisters(const CModbusMessage& message, const std::uint8_t* frame, int length,
                         const TypedRequest& request, ReadValues& values);
// The values as the data values box shows them; signed types print with their sign.
std::string formatReadValues(const ReadValues& values, bool isSigned,
                             std::string_view listSeparator);
