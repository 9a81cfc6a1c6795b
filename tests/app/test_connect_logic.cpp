#include "app/port_line_settings.h"
#include "comms/serial_port.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

struct LineRow {
    const char* name;
    std::int32_t baudIndex = 5;
    std::int32_t parityIndex = kParityNone;
    std::int32_t dataBitsIndex = 1;
    std::int32_t stopBitsIndex = 0;
    // Expected port codes; baudRate 0: the mapping refuses the location.
    std::uint32_t baudRate = 9600;
    int parity = Parity::None;
    int dataBits = 8;
    int stopBits = StopBits::One;
};

class PortLineSettingsRow : public ::testing::TestWithParam<LineRow> {};

TEST_P(PortLineSettingsRow, MapsTheLocationToThePortCodes) {
    const LineRow& row = GetParam();
    CLocation location;
    location.baudIndex = row.baudIndex;
    location.parityIndex = row.parityIndex;
    location.dataBitsIndex = row.dataBitsIndex;
    location.stopBitsIndex = row.stopBitsIndex;
    const std::optional<PortLineSettings> settings = portLineSettings(location);
    if (row.baudRate == 0) {
        EXPECT_FALSE(settings);
        return;
    }
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->baudRate, row.baudRate);
    EXPECT_EQ(settings->parity, row.parity);
    EXPECT_EQ(settings->dataBits, row.dataBits);
    EXPECT_EQ(settings->stopBits, row.stopBits);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PortLineSettingsRow,
    ::testing::Values(LineRow{.name = "Even", .parityIndex = kParityEven, .parity = Parity::Even},
                      // The port's code 1 is Mark: Odd must come out as its 3.
                      LineRow{.name = "Odd", .parityIndex = kParityOdd, .parity = Parity::Odd},
                      LineRow{.name = "None", .parityIndex = kParityNone, .parity = Parity::None},
                      LineRow{.name = "SevenDataBits", .dataBitsIndex = 0, .dataBits = 7},
                      LineRow{.name = "TwoStopBits", .stopBitsIndex = 1, .stopBits = StopBits::Two},
                      LineRow{.name = "Slowest", .baudIndex = 0, .baudRate = 300},
                      LineRow{.name = "Fastest", .baudIndex = 9, .baudRate = 115200},
                      LineRow{.name = "DamagedParity", .parityIndex = 3, .baudRate = 0},
                      LineRow{.name = "DamagedStopBits", .stopBitsIndex = 2, .baudRate = 0},
                      LineRow{.name = "DamagedDataBits", .dataBitsIndex = -1, .baudRate = 0},
                      LineRow{.name = "DamagedBaud", .baudIndex = 10, .baudRate = 0}),
    [](const ::testing::TestParamInfo<LineRow>& row) { return std::string(row.param.name); });

} // namespace
