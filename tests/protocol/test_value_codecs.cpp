#include "protocol/data_types.h"
#include "protocol/value_codecs.h"
#include "test_support.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(ByteOrders, FloatOneInEachOrder) {
    std::uint8_t bytes[4];
    putFloat(bytes, 1.0f);
    EXPECT_EQ(Bytes(bytes, bytes + 4), hexBytes("3F 80 00 00"));
    wordSwap4(bytes);
    EXPECT_EQ(Bytes(bytes, bytes + 4), hexBytes("00 00 3F 80"));
    wordSwap4(bytes);
    reverse4(bytes);
    EXPECT_EQ(Bytes(bytes, bytes + 4), hexBytes("00 00 80 3F"));

    std::uint8_t wide[8];
    putDouble(wide, 1.0);
    EXPECT_EQ(Bytes(wide, wide + 8), hexBytes("3F F0 00 00 00 00 00 00"));
    reverse8(wide);
    EXPECT_EQ(Bytes(wide, wide + 8), hexBytes("00 00 00 00 00 00 F0 3F"));

    std::uint8_t pair[2] = {0x12, 0x34};
    swap2(pair);
    EXPECT_EQ(getUInt16(pair), 0x3412);
}

TEST(EntryFormats, ScanLikeAFormattedRead) {
    const struct {
        const char* token;
        std::optional<std::int32_t> asInt;
        std::optional<std::uint16_t> asUShort;
        std::optional<std::uint32_t> asHex;
    } cases[] = {
        {"12abc", 12, 12, 0x12ABC},
        {"  -5", -5, 65531, 0xFFFFFFFB},
        {"+7", 7, 7, 7},
        {"abc", std::nullopt, std::nullopt, 0xABC},
        {"xyz", std::nullopt, std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt, std::nullopt},
        {"-", std::nullopt, std::nullopt, std::nullopt},
        {"0x1F", 0, 0, 0x1F},
        {"0xZ", 0, 0, 0},
        {"70000", 70000, 4464, 0x70000},
        {"4294967297", 1, 1, 0x94967297}, // wraps to the width of the type
    };
    for (const auto& c : cases) {
        EXPECT_EQ(scanInt(c.token), c.asInt) << c.token;
        EXPECT_EQ(scanUShort(c.token), c.asUShort) << c.token;
        EXPECT_EQ(scanHex(c.token), c.asHex) << c.token;
    }
    EXPECT_EQ(scanShort("40000"), std::int16_t(-25536));
    EXPECT_EQ(scanLong("-2147483648"), INT32_MIN);
    EXPECT_EQ(scanULong("4294967295"), UINT32_MAX);
    EXPECT_EQ(scanHex("ff"), 0xFFu);
}

TEST(EntryFormats, RealNumbers) {
    EXPECT_EQ(scanFloat(" 1.5xyz"), 1.5f);
    EXPECT_EQ(scanFloat("-2e3"), -2000.0f);
    EXPECT_EQ(scanFloat("1e"), 1.0f);
    EXPECT_EQ(scanDouble(".25"), 0.25);
    EXPECT_EQ(scanDouble("abc"), std::nullopt);
    EXPECT_EQ(scanDouble("."), std::nullopt);
    EXPECT_TRUE(std::isinf(*scanFloat("1e60")));
    EXPECT_EQ(scanDouble("0.1"), 0.1);
}

TEST(DisplayFormats, ListsWithTheSeparator) {
    const std::uint8_t bits[] = {1, 0, 1};
    EXPECT_EQ(formatBooleans(bits, ","), "1, 0, 1");
    EXPECT_EQ(formatBooleans(bits, ";"), "1; 0; 1");
    EXPECT_EQ(formatBooleans({}, ","), "");
    const std::uint16_t words[] = {65535, 1};
    EXPECT_EQ(formatWords(words, true, ","), "-1, 1");
    EXPECT_EQ(formatWords(words, false, ","), "65535, 1");
    const std::uint32_t longs[] = {0xFFFFFFFF};
    EXPECT_EQ(formatLongs(longs, true, ","), "-1");
    EXPECT_EQ(formatLongs(longs, false, ","), "4294967295");
    const std::uint8_t bytes[] = {0x80, 0x7F};
    EXPECT_EQ(formatBytes(bytes, true, ","), "-128, 127");
    EXPECT_EQ(formatBytes(bytes, false, ","), "128, 127");
    const double doubles[] = {1.0, 1e300};
    const std::string text = formatDoubles(doubles, ",");
    EXPECT_EQ(text.substr(0, 19), "1.000000000000000, ");
    EXPECT_EQ(text.size(), 19u + 301u + 16u);
    const std::string strings[] = {"AB  ", "CD  ", "EF  "};
    EXPECT_EQ(formatStrings(strings, ","), "AB  , CD  , EF  ");
}

TEST(DisplayFormats, ExceptionStatus) {
    EXPECT_EQ(formatExceptionStatus(kDataTypeBoolean, 0x81, ","), "1, 0, 0, 0, 0, 0, 0, 1");
    EXPECT_EQ(formatExceptionStatus(kDataTypeHex8, 0x0A, ","), "0A");
    EXPECT_EQ(formatExceptionStatus(kDataTypeInt8, 0x81, ","), "129");
    EXPECT_EQ(formatExceptionStatus(kDataTypeUInt8, 0x81, ","), "129");
    EXPECT_EQ(formatExceptionStatus(kDataTypeFloat, 0x81, ","), "");
}

TEST(DataTypes, OfferedPerFunction) {
    const struct {
        int function;
        bool userDefined;
        std::size_t types;
        int first;
        int defaultType;
        bool enabled;
    } cases[] = {
        {1, false, 1, kDataTypeBoolean, kDataTypeBoolean, false},
        {15, false, 1, kDataTypeBoolean, kDataTypeBoolean, false},
        {3, false, 9, kDataTypeInt8, kDataTypeUInt16, true},
        {16, false, 10, kDataTypeHex8, kDataTypeUInt16, true},
        {7, false, 4, kDataTypeBoolean, kDataTypeBoolean, true},
        {8, false, 0, 0, 0, false},
        {3, true, 1, kDataTypeHex8, kDataTypeHex8, false},
    };
    for (const auto& c : cases) {
        const DataTypeChoice choice = dataTypeChoice(c.function, c.userDefined);
        EXPECT_EQ(choice.types.size(), c.types) << c.function;
        EXPECT_EQ(choice.types.empty() ? 0 : choice.types.front(), c.first) << c.function;
        EXPECT_EQ(choice.defaultType, c.defaultType) << c.function;
        EXPECT_EQ(choice.listEnabled, c.enabled) << c.function;
    }
}
