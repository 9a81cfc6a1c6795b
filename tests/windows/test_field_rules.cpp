#include "protocol/modbus_limits.h"
#include "tests/support/row_names.h"
#include "windows/field_rules.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

// The texts every integer field accepts and refuses, and the message that refuses them.

namespace {

using vantrel_test::PrintTo;

const std::string kInteger = "Please enter an integer.";

struct IntegerCase {
    const char* name = "";
    const char* text = "";
    IntegerRule rule{};
    std::optional<int> value = std::nullopt;
    std::string message = {};
};

class IntegerFieldRule : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerFieldRule, ReadsOrRefuses) {
    const IntegerField read = readIntegerField(GetParam().text, GetParam().rule);
    EXPECT_EQ(read.value, GetParam().value);
    EXPECT_EQ(read.message, GetParam().message);
}

constexpr IntegerRule kModbusId = integerBetween(kModbusIdMin, kModbusIdMax);

INSTANTIATE_TEST_SUITE_P(
    Texts, IntegerFieldRule,
    ::testing::Values(
        IntegerCase{.name = "Plain", .text = "12", .value = 12},
        IntegerCase{.name = "BlanksAndMinus", .text = "  -5\t", .value = -5},
        IntegerCase{.name = "LineBreaksAround", .text = "\r\n8\n", .value = 8},
        IntegerCase{.name = "Plus", .text = "+7", .value = 7},
        IntegerCase{.name = "Largest", .text = "2147483647", .value = 2147483647},
        IntegerCase{.name = "Smallest", .text = "-2147483648", .value = -2147483647 - 1},
        IntegerCase{.name = "Empty", .text = "", .message = kInteger},
        IntegerCase{.name = "BlanksOnly", .text = "   ", .message = kInteger},
        IntegerCase{.name = "Letters", .text = "abc", .message = kInteger},
        IntegerCase{.name = "TrailingLetter", .text = "12a", .message = kInteger},
        IntegerCase{.name = "InnerBlank", .text = "1 2", .message = kInteger},
        IntegerCase{.name = "SignAlone", .text = "-", .message = kInteger},
        IntegerCase{.name = "TwoSigns", .text = "+-1", .message = kInteger},
        IntegerCase{.name = "PlusBlank", .text = "+ 1", .message = kInteger},
        IntegerCase{.name = "Huge", .text = "99999999999", .message = kInteger},
        IntegerCase{.name = "Beyond32Bits", .text = "2147483648", .message = kInteger},
        IntegerCase{.name = "Decimal", .text = "1.5", .message = kInteger},
        IntegerCase{.name = "ModbusIdTop", .text = "247", .rule = kModbusId, .value = 247},
        IntegerCase{.name = "ModbusIdBroadcast", .text = " 0 ", .rule = kModbusId, .value = 0},
        IntegerCase{.name = "ModbusIdAbove",
                    .text = "248",
                    .rule = kModbusId,
                    .message = "Please enter an integer between 0 and 247."},
        IntegerCase{.name = "ModbusIdNegative",
                    .text = "-1",
                    .rule = kModbusId,
                    .message = "Please enter an integer between 0 and 247."},
        IntegerCase{.name = "RangedJunk", .text = "x", .rule = kModbusId, .message = kInteger}),
    [](const ::testing::TestParamInfo<IntegerCase>& row) { return std::string(row.param.name); });

} // namespace
