#include "windows/number_convertor_dlg.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr unsigned kInvalid = 7016;
constexpr unsigned kUnsupported = 7015;
constexpr unsigned kBothSides = 7010;

// The expected bytes and values were computed once with Python's struct module (pack/unpack with
// ">f", ">d", ">I", ">H" and their reversals, "%f" and "%.15f" for the texts) and written here.
struct Row {
    const char* name;
    int type;
    int order = OrderMotorola;
    const char* in;
    const char* out = ""; // the text written into the other field
    unsigned code = 0;
    const char* separator = ",";
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

template <typename R> std::string rowName(const testing::TestParamInfo<R>& info) {
    return info.param.name;
}

class ValueToHex : public testing::TestWithParam<Row> {};

TEST_P(ValueToHex, GivesTheRegisterBytes) {
    const ConversionResult got =
        convertValueToHex(GetParam().type, GetParam().order, GetParam().in);
    EXPECT_EQ(got.result, GetParam().code);
    EXPECT_EQ(got.text, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Convertor, ValueToHex,
    testing::Values(
        Row{.name = "FloatMotorola", .type = 6, .in = "1.0", .out = "3F 80 00 00"},
        Row{.name = "FloatIntel", .type = 6, .order = 1, .in = "1", .out = "00 00 80 3F"},
        Row{.name = "FloatModicon", .type = 6, .order = 2, .in = "-2.5", .out = "00 00 C0 20"},
        Row{.name = "FloatNoOrder", .type = 6, .order = -1, .in = "3.14159", .out = "40 49 0F D0"},
        Row{.name = "FloatPointNotComma", .type = 6, .in = "1,5", .out = "3F 80 00 00"},
        Row{.name = "Double", .type = 7, .in = "-0.1", .out = "BF B9 99 99 99 99 99 9A"},
        Row{.name = "DoubleModicon",
            .type = 7,
            .order = 2,
            .in = "1",
            .out = "3F F0 00 00 00 00 00 00"},
        Row{.name = "DoubleIntel",
            .type = 7,
            .order = 1,
            .in = "1",
            .out = "00 00 00 00 00 00 F0 3F"},
        Row{.name = "Int32Intel", .type = 4, .order = 1, .in = "305419896", .out = "78 56 34 12"},
        Row{.name = "UInt32", .type = 5, .in = "4000000000", .out = "EE 6B 28 00"},
        Row{.name = "Int16MinusOne", .type = 2, .in = "-1", .out = "FF FF"},
        Row{.name = "UInt16Intel", .type = 3, .order = 1, .in = "1", .out = "01 00"},
        Row{.name = "Int8LowBits", .type = 0, .order = 1, .in = "300", .out = "2C"},
        Row{.name = "String", .type = 8, .in = "AB", .out = "41 42 "},
        Row{.name = "StringLatin1", .type = 8, .in = "\xC3\xA9\xC2\xB0", .out = "E9 B0 "},
        Row{.name = "StringBeyondByte", .type = 8, .in = "\xE2\x82\xAC", .code = kInvalid},
        Row{.name = "Junk", .type = 4, .in = "abc", .code = kInvalid},
        Row{.name = "Blanks", .type = 6, .in = "   ", .code = kInvalid},
        Row{.name = "Int64MinusTwo", .type = 9, .in = "-2", .out = "FF FF FF FF FF FF FF FE"},
        Row{.name = "UInt64Intel",
            .type = 10,
            .order = 1,
            .in = "1311768467463790320",
            .out = "F0 DE BC 9A 78 56 34 12"},
        Row{.name = "UInt64Largest",
            .type = 10,
            .in = "18446744073709551615",
            .out = "FF FF FF FF FF FF FF FF"},
        Row{.name = "TypeOutOfList", .type = 11, .in = "1", .code = kUnsupported}),
    rowName<Row>);

class HexToValue : public testing::TestWithParam<Row> {};

TEST_P(HexToValue, ReadsTheValueBack) {
    const Row& row = GetParam();
    const ConversionResult got = convertHexToValue(row.type, row.order, row.in, row.separator);
    EXPECT_EQ(got.result, row.code);
    EXPECT_EQ(got.text, row.out);
}

INSTANTIATE_TEST_SUITE_P(
    Convertor, HexToValue,
    testing::Values(
        Row{.name = "FloatMotorola", .type = 6, .in = "3F 80 00 00", .out = "1.000000"},
        Row{.name = "FloatIntel", .type = 6, .order = 1, .in = "00 00 80 3F", .out = "1.000000"},
        Row{.name = "FloatModicon",
            .type = 6,
            .order = 2,
            .in = "20 65 47 F1",
            .out = "123456.789062"},
        Row{.name = "FloatNoBlanks", .type = 6, .in = "0x3F800000", .out = "1.000000"},
        Row{.name = "DoubleTwoGroups", .type = 7, .in = "3F F0", .out = "1.000000000000000"},
        Row{.name = "DoubleIntel",
            .type = 7,
            .order = 1,
            .in = "18 2D 44 54 FB 21 09 40",
            .out = "3.141592653589793"},
        Row{.name = "DoubleModicon",
            .type = 7,
            .order = 2,
            .in = "40 09 21 FB",
            .out = "3.141592025756836"},
        Row{.name = "DoubleBlankRuns", .type = 7, .in = " 3F  F0 ", .out = "1.000000000000000"},
        Row{.name = "DoubleListSeparator",
            .type = 7,
            .in = "3F;F0;",
            .out = "1.000000000000000",
            .separator = ";"},
        Row{.name = "DoubleNineGroups", .type = 7, .in = "3F F0 0 0 0 0 0 0 0", .code = kInvalid},
        Row{.name = "DoubleWideGroup", .type = 7, .in = "3FF0000000000000", .code = kInvalid},
        Row{.name = "DoubleSeparatorsOnly", .type = 7, .in = ",,", .code = kInvalid},
        Row{.name = "Int16Signed", .type = 2, .in = "FF FF", .out = "-1"},
        Row{.name = "Int16Unsigned", .type = 3, .in = "CF C7", .out = "53191"},
        Row{.name = "Int16LeadingZeros", .type = 2, .in = "00 00 CF C7", .out = "-12345"},
        Row{.name = "Int16ThreeBytes", .type = 2, .in = "FF FF FF", .code = kInvalid},
        Row{.name = "Int8Signed", .type = 0, .in = "ff", .out = "-1"},
        Row{.name = "Int8TwoGroups", .type = 1, .in = "12 34", .code = kInvalid},
        Row{.name = "Int32", .type = 4, .in = "FF FF FF FE", .out = "-2"},
        Row{.name = "UInt32", .type = 5, .in = "FFFFFFFE", .out = "4294967294"},
        Row{.name = "Int32Intel", .type = 4, .order = 1, .in = "78 56 34 12", .out = "305419896"},
        Row{.name = "Junk", .type = 4, .in = "zz", .code = kInvalid},
        Row{.name = "Int64Smallest",
            .type = 9,
            .in = "80 00 00 00 00 00 00 00",
            .out = "-9223372036854775808"},
        Row{.name = "UInt64NoBlanks",
            .type = 10,
            .in = "FFFFFFFFFFFFFFFF",
            .out = "18446744073709551615"},
        Row{.name = "UInt64Intel",
            .type = 10,
            .order = 1,
            .in = "F0 DE BC 9A 78 56 34 12",
            .out = "1311768467463790320"},
        Row{.name = "Int64NineBytes",
            .type = 9,
            .in = "01 00 00 00 00 00 00 00 00",
            .code = kInvalid},
        Row{.name = "StringTrailingBlank", .type = 8, .in = "41 42 ", .out = "AB"},
        Row{.name = "StringLastGroupBare", .type = 8, .in = "41 42", .out = "AB"},
        Row{.name = "StringLatin1", .type = 8, .in = "E9,B0", .out = "\xC3\xA9\xC2\xB0"},
        Row{.name = "StringWideGroup", .type = 8, .in = "4142", .code = kInvalid},
        Row{.name = "StringJunkGroup", .type = 8, .in = "41 zz", .code = kInvalid}),
    rowName<Row>);

TEST(Convertor, EveryTypeAndOrderReadsItsOwnBytesBack) {
    const char* values[] = {"-2",        "-2",         "-2",        "65534",
                            "-2",        "4294967294", "-2.500000", "-2.000000000000000",
                            "A\xC3\xBF "};
    for (int type = 0; type <= 8; ++type) {
        for (int order = -1; order <= 2; ++order) {
            const ConversionResult hex = convertValueToHex(type, order, values[type]);
            ASSERT_EQ(hex.result, 0u) << type << " " << order;
            const ConversionResult back = convertHexToValue(type, order, hex.text, ",");
            EXPECT_EQ(back.text,
                      type <= 1 ? std::string(type == 0 ? "-2" : "254") : std::string(values[type]))
                << type << " " << order << " " << hex.text;
        }
    }
}

class Recorder : public INumberConvertorObserver {
public:
    void messageBox(unsigned id) override { messages.push_back(id); }
    void focusField(ConvertorField field) override { focus.push_back(field); }
    std::vector<unsigned> messages;
    std::vector<ConvertorField> focus;
};

// One cell of the every-order view after a conversion from the value side (or, with `hex`, from
// the hexadecimal side).
struct OrdersRow {
    const char* name;
    int type;
    int order;
    const char* value;
    WideType reading;
    WordOrder column;
    const char* text;
    bool plausible;
    const char* hex = "";
};

void PrintTo(const OrdersRow& row, std::ostream* os) {
    *os << row.name;
}

class AllOrders : public testing::TestWithParam<OrdersRow> {};

TEST_P(AllOrders, ReadsTheRegisterBytesOfTheConversion) {
    const OrdersRow& row = GetParam();
    Recorder recorder;
    CNumberConvertorDlg dlg(recorder, ",");
    dlg.dataTypeIndex = row.type;
    dlg.byteOrderIndex = row.order;
    dlg.valueText = row.value;
    dlg.hexText = row.hex;
    dlg.convert();
    ASSERT_TRUE(recorder.messages.empty());
    const OrderReading cell = dlg.allOrders()[static_cast<std::size_t>(row.reading)]
                                             [static_cast<std::size_t>(row.column)];
    EXPECT_EQ(cell.text, row.text);
    EXPECT_EQ(cell.plausible, row.plausible);
}

INSTANTIATE_TEST_SUITE_P(
    Convertor, AllOrders,
    testing::Values(OrdersRow{"FloatModiconAsCdab", ConvertFloat, OrderModicon, "-2.5",
                              WideType::Float32, WordOrder::CDAB, "-2.5", true},
                    OrdersRow{"FloatModiconAsAbcd", ConvertFloat, OrderModicon, "-2.5",
                              WideType::Float32, WordOrder::ABCD, "6.8921e-41", false},
                    OrdersRow{"Int32IntelAsDcba", ConvertInt32, OrderIntel, "1000", WideType::Int32,
                              WordOrder::DCBA, "1000", true},
                    OrdersRow{"Int32IntelAsAbcd", ConvertInt32, OrderIntel, "1000",
                              WideType::UInt32, WordOrder::ABCD, "3892510720", false},
                    OrdersRow{"Int64AsUnsigned", ConvertInt64, OrderMotorola, "-2",
                              WideType::UInt64, WordOrder::ABCD, "18446744073709551614", false},
                    OrdersRow{"DoubleIntelAsDcba", ConvertDouble, OrderIntel, "-0.1",
                              WideType::Float64, WordOrder::DCBA, "-0.1", true},
                    OrdersRow{"FloatHasNoDouble", ConvertFloat, OrderMotorola, "1",
                              WideType::Float64, WordOrder::ABCD, "", false},
                    OrdersRow{"Int16FillsNoPair", ConvertInt16, OrderMotorola, "-1",
                              WideType::Int32, WordOrder::ABCD, "", false},
                    OrdersRow{"FromTheHexSide", ConvertFloat, OrderIntel, "", WideType::Float32,
                              WordOrder::ABCD, "1", true, "3F 80 00 00"},
                    OrdersRow{"StringBytes", ConvertString, OrderMotorola, "ABCD", WideType::UInt32,
                              WordOrder::ABCD, "1094861636", false}),
    rowName<OrdersRow>);

TEST(Convertor, ConvertFillsTheOtherFieldOrFocusesTheFieldItRead) {
    const struct {
        const char* name;
        int type;
        const char* value;
        const char* hex;
        const char* valueAfter;
        const char* hexAfter;
        std::vector<unsigned> messages;
        std::vector<ConvertorField> focus;
    } cases[] = {
        {"value side", ConvertFloat, "1", "", "1", "3F 80 00 00", {}, {}},
        {"hex side", ConvertFloat, "", "3F 80 00 00", "1.000000", "3F 80 00 00", {}, {}},
        {"both filled",
         ConvertFloat,
         "2",
         "3F 80 00 00",
         "2",
         "3F 80 00 00",
         {kBothSides},
         {ConvertorField::Hexadecimal}},
        {"bad value", ConvertInt16, "x", "", "x", "", {kInvalid}, {ConvertorField::Value}},
        {"bad hex",
         ConvertDouble,
         "",
         "3F GG",
         "",
         "3F GG",
         {kInvalid},
         {ConvertorField::Hexadecimal}},
        {"both empty", ConvertUInt8, "", "", "", "", {kInvalid}, {ConvertorField::Value}},
        {"both empty string", ConvertString, "", "", "", "", {}, {}},
    };
    for (const auto& c : cases) {
        Recorder recorder;
        CNumberConvertorDlg dlg(recorder, ",");
        dlg.dataTypeIndex = c.type;
        dlg.valueText = c.value;
        dlg.hexText = c.hex;
        dlg.convert();
        EXPECT_EQ(dlg.valueText, c.valueAfter) << c.name;
        EXPECT_EQ(dlg.hexText, c.hexAfter) << c.name;
        EXPECT_EQ(recorder.messages, c.messages) << c.name;
        EXPECT_EQ(recorder.focus, c.focus) << c.name;
    }
}

} // namespace
