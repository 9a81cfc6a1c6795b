#include "protocol/word_orders.h"
#include "test_support.h"
#include "tests/support/row_names.h"

#include <gtest/gtest.h>

namespace {

using vantrel_test::PrintTo;

// One value as a unit laid it out; the bytes are written by hand, independent of the codecs.
struct OrderRow {
    const char* name;
    WideType type;
    WordOrder laidOut;
    const char* registerBytes;
    WideNumber value;
    const char* plausible; // the orders that read plausibly, as letters of kWordOrders' indexes
};

std::string plausibleLetters(const std::array<bool, 4>& plausible) {
    std::string letters;
    for (std::size_t i = 0; i < plausible.size(); ++i)
        if (plausible[i])
            letters += static_cast<char>('0' + i);
    return letters;
}

class WordOrderRows : public testing::TestWithParam<OrderRow> {};

TEST_P(WordOrderRows, ReadsTheValueInItsOrderAndMarksThePlausibleOnes) {
    const OrderRow& row = GetParam();
    const Bytes bytes = hexBytes(row.registerBytes);
    EXPECT_EQ(readWide(bytes, row.type, row.laidOut), row.value);
    EXPECT_EQ(plausibleLetters(plausibleOrders(bytes, row.type)), row.plausible);
    const bool single = std::string(row.plausible).size() == 1;
    EXPECT_EQ(onlyPlausibleOrder(bytes, row.type),
              single ? std::optional<WordOrder>(row.laidOut) : std::nullopt);
}

// Indexes: 0 ABCD, 1 CDAB, 2 BADC, 3 DCBA.
INSTANTIATE_TEST_SUITE_P(
    Rows, WordOrderRows,
    testing::Values(OrderRow{"Float230_5Motorola", WideType::Float32, WordOrder::ABCD,
                             "43 66 80 00", 230.5, "0"},
                    OrderRow{"Float230_5WordsExchanged", WideType::Float32, WordOrder::CDAB,
                             "80 00 43 66", 230.5, "1"},
                    OrderRow{"Float230_5BytesExchanged", WideType::Float32, WordOrder::BADC,
                             "66 43 00 80", 230.5, "2"},
                    OrderRow{"Float230_5Reversed", WideType::Float32, WordOrder::DCBA,
                             "00 80 66 43", 230.5, "3"},
                    OrderRow{"ModiconFloatWhoseMotorolaReadingIsTooLargeForAFloat",
                             WideType::Float32, WordOrder::CDAB, "50 00 44 9A", 1234.5, "1"},
                    OrderRow{"Int32OfBytesWithoutZerosNamesNoOrder", WideType::Int32,
                             WordOrder::ABCD, "50 00 44 9A", std::int64_t{1342194842}, ""},
                    OrderRow{"FloatZeroReadsTheSameInEveryOrder", WideType::Float32,
                             WordOrder::ABCD, "00 00 00 00", 0.0, "0123"},
                    OrderRow{"Int32HundredWordsExchanged", WideType::Int32, WordOrder::CDAB,
                             "00 64 00 00", std::int64_t{100}, "1"},
                    OrderRow{"Int32MinusOneEveryOrder", WideType::Int32, WordOrder::DCBA,
                             "FF FF FF FF", std::int64_t{-1}, "0123"},
                    OrderRow{"UInt32ThousandBytesOfOneRegisterAmbiguous", WideType::UInt32,
                             WordOrder::ABCD, "00 00 03 E8", std::uint64_t{1000}, "02"},
                    OrderRow{"DoubleOneWordsReversed", WideType::Float64, WordOrder::CDAB,
                             "00 00 00 00 00 00 3F F0", 1.0, "1"},
                    OrderRow{"DoubleOneReversed", WideType::Float64, WordOrder::DCBA,
                             "00 00 00 00 00 00 F0 3F", 1.0, "3"},
                    OrderRow{"Int64MinusTwoEveryOrderWithinAByte", WideType::Int64, WordOrder::ABCD,
                             "FF FF FF FF FF FF FF FE", std::int64_t{-2}, "02"},
                    OrderRow{"UInt64SeventyBytesExchanged", WideType::UInt64, WordOrder::BADC,
                             "00 00 00 00 00 00 46 00", std::uint64_t{70}, "2"},
                    // 65707 with its bytes exchanged, or 16820992: too large for one register.
                    OrderRow{"UInt64OfTwoRegistersNamesNoOrder", WideType::UInt64, WordOrder::ABCD,
                             "00 00 00 00 01 00 AB 00", std::uint64_t{16820992}, ""}));

TEST(WordOrders, ShortBytesGiveNoValueAndNoPlausibleOrder) {
    const Bytes half = hexBytes("3F F0 00 00");
    EXPECT_EQ(readWide(half, WideType::Float64, WordOrder::ABCD), std::nullopt);
    EXPECT_EQ(plausibleLetters(plausibleOrders(half, WideType::Float64)), "");
}

} // namespace
