#include "config/location.h"
#include "resources/string_table.h"
#include "tests/support/row_names.h"
#include "windows/about_dlg.h"
#include "windows/commands.h"
#include "windows/status_bar.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using vantrel_test::PrintTo;

TEST(ActivityIndicator, BlinkLengthFollowsTheAmount) {
    const struct {
        unsigned amount;
        int ticks;
    } cases[] = {{0, 10}, {10, 10}, {11, 20}, {199, 20}, {200, 30}, {65535, 30}};
    for (const auto& c : cases)
        EXPECT_EQ(activityBlinkLength(c.amount), c.ticks) << c.amount;
}

TEST(ActivityIndicator, LightsOnFirstTickAndGoesOutAfterItsLength) {
    CActivityIndicator indicator;
    EXPECT_EQ(indicator.tick(), -1) << "idle indicator does not change";
    indicator.start(10);
    EXPECT_EQ(indicator.tick(), 1);
    for (int tick = 2; tick < 10; ++tick)
        EXPECT_EQ(indicator.tick(), -1) << tick;
    EXPECT_EQ(indicator.tick(), 0);
    EXPECT_EQ(indicator.blinkLength(), 0);
    EXPECT_EQ(indicator.tick(), -1);
}

TEST(ActivityIndicator, NewActivityRestartsTheBlinkWithItsLength) {
    CActivityIndicator indicator;
    indicator.start(5);
    for (int tick = 0; tick < 5; ++tick)
        indicator.tick();
    indicator.start(250);
    EXPECT_EQ(indicator.counter(), 0);
    EXPECT_EQ(indicator.tick(), 1) << "a restarted blink lights again";
    int ticks = 1;
    while (indicator.tick() != 0 && ticks < 100)
        ++ticks;
    EXPECT_EQ(ticks + 1, 30);
}

TEST(IndicatorPlacement, SplitsThePaneIntoTwoHalves) {
    // A pane 40 pixels wide and 20 high at the origin: shrunk to 1..39 and 1..19.
    const IndicatorPlacement place = placeIndicators(0, 0, 40, 20);
    EXPECT_EQ(place.transmitX, 2);
    EXPECT_EQ(place.transmitWidth, 39 - 19 - 1 - 2);
    EXPECT_EQ(place.receiveX, 1 + 19 + 1);
    EXPECT_EQ(place.receiveWidth, 39 - 21 - 1);
    EXPECT_EQ(place.top, 1);
    EXPECT_EQ(place.height, 18);
    EXPECT_LE(place.transmitX + place.transmitWidth, place.receiveX);
}

TEST(AboutVersionLine, ChoosesTheFormatByTheFourthPart) {
    EXPECT_EQ(aboutVersionLine(0x00020007, 0), "Zarnex Modbus Tester - v2.07");
    EXPECT_EQ(aboutVersionLine(0, 0), "Zarnex Modbus Tester - v0.00");
    EXPECT_EQ(aboutVersionLine(0x00010002, 0x00030004), "Vantrel - v1.02.03.4");
    EXPECT_EQ(aboutVersionLine(0x00010002, 0x00000001), "Vantrel - v1.02.00.1");
}

TEST(CommandEnabling, KeysOnTheConnectionState) {
    const struct {
        Command command;
        bool offline;
        bool online;
    } cases[] = {
        {Command::Locations, true, false},   {Command::Connect, true, false},
        {Command::Disconnect, false, true},  {Command::TemporaryCommsSetup, false, true},
        {Command::TestComms, false, true},   {Command::LogCommunications, true, true},
        {Command::CommsLog, true, true},     {Command::Convertor, true, true},
        {Command::ReleaseNotes, true, true}, {Command::HelpTopics, true, true},
        {Command::About, true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isCommandEnabled(c.command, false), c.offline) << static_cast<int>(c.command);
        EXPECT_EQ(isCommandEnabled(c.command, true), c.online) << static_cast<int>(c.command);
    }
}

CLocation tcpLocation() {
    CLocation location(kMediaCodeTcpIp);
    location.name = "Plant";
    location.ipAddress = (192u << 24) | (168u << 16) | (0u << 8) | 10u;
    location.tcpPort = 6000;
    return location;
}

CLocation directLocation() {
    CLocation location(kMediaCodeDirect);
    location.name = "Bench";
    location.portName = "COM1";
    location.baudIndex = 5;
    location.dataBitsIndex = 1;
    location.stopBitsIndex = 0;
    location.parityIndex = kParityEven;
    return location;
}

CLocation modemLocation() {
    CLocation location(kMediaCodeModem);
    location.name = "Pump";
    location.number = "5551234";
    location.portName = "COM2";
    location.baudIndex = 9;
    location.dataBitsIndex = 0;
    location.stopBitsIndex = 1;
    location.parityIndex = kParityOdd;
    return location;
}

enum class PaneLocation { None, Tcp, Direct, Modem };

struct PaneCase {
    const char* name;
    PaneLocation location;
    int modbusId, time1, time2, retries;
    unsigned closeError;
    const char* decimalSeparator;
    const char* expected;
};

class ConnectionPaneStates : public ::testing::TestWithParam<PaneCase> {};

TEST_P(ConnectionPaneStates, AreDescribed) {
    const PaneCase& c = GetParam();
    const CLocation tcp = tcpLocation();
    const CLocation direct = directLocation();
    const CLocation modem = modemLocation();
    const CLocation* const locations[] = {nullptr, &tcp, &direct, &modem};
    ConnectionPaneInput input;
    input.online = c.location != PaneLocation::None;
    input.location = locations[static_cast<int>(c.location)];
    input.modbusId = c.modbusId;
    input.time1 = c.time1;
    input.time2 = c.time2;
    input.retries = c.retries;
    input.closeError = c.closeError;
    input.decimalSeparator = c.decimalSeparator;
    EXPECT_EQ(connectionPaneText(input), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ConnectionPane, ConnectionPaneStates,
    ::testing::Values(
        PaneCase{.name = "Offline",
                 .location = PaneLocation::None,
                 .modbusId = 1,
                 .time1 = 0,
                 .time2 = 0,
                 .retries = 0,
                 .closeError = 0,
                 .decimalSeparator = ".",
                 .expected = "Offline"},
        PaneCase{.name = "OfflineAfterAReset",
                 .location = PaneLocation::None,
                 .modbusId = 1,
                 .time1 = 0,
                 .time2 = 0,
                 .retries = 0,
                 .closeError = 5531,
                 .decimalSeparator = ".",
                 .expected = "Offline - An existing connection was forcibly closed by the "
                             "remote host."},
        PaneCase{.name = "TcpWithAComma",
                 .location = PaneLocation::Tcp,
                 .modbusId = 7,
                 .time1 = 1000,
                 .time2 = 50,
                 .retries = 3,
                 .closeError = 0,
                 .decimalSeparator = ",",
                 .expected = "Plant   IP 192,168,0,10 TCP 6000   ID 7  1000,50,3"},
        PaneCase{.name = "TcpIgnoresAnOldCloseError",
                 .location = PaneLocation::Tcp,
                 .modbusId = 1,
                 .time1 = 500,
                 .time2 = 100,
                 .retries = 2,
                 .closeError = 5531,
                 .decimalSeparator = ".",
                 .expected = "Plant   IP 192.168.0.10 TCP 6000   ID 1  500,100,2"},
        PaneCase{.name = "DirectHasNoNumber",
                 .location = PaneLocation::Direct,
                 .modbusId = 1,
                 .time1 = 500,
                 .time2 = 100,
                 .retries = 2,
                 .closeError = 0,
                 .decimalSeparator = ".",
                 .expected = "Bench      ID 1  COM1,9600,8,1,E,  500,100,2"},
        PaneCase{.name = "ModemShowsItsNumber",
                 .location = PaneLocation::Modem,
                 .modbusId = 12,
                 .time1 = 4000,
                 .time2 = 300,
                 .retries = 0,
                 .closeError = 0,
                 .decimalSeparator = ".",
                 .expected = "Pump   5551234   ID 12  COM2,115200,7,2,O,  4000,300,0"}),
    [](const ::testing::TestParamInfo<PaneCase>& row) { return std::string(row.param.name); });

TEST(ConnectionPane, DamagedIndexesDoNotInjectStrayCharacters) {
    CLocation direct(kMediaCodeDirect);
    direct.name = "X";
    direct.portName = "COM1";
    direct.baudIndex = 42;
    direct.parityIndex = -3;
    direct.dataBitsIndex = 0x7FFFFFFF;
    ConnectionPaneInput input{true, &direct, 1, 1, 2, 3, 0, "."};
    const std::string text = connectionPaneText(input);
    EXPECT_EQ(text, "X      ID 1  COM1,,2147483654,1,?,  1,2,3");
    EXPECT_EQ(text.find('\0'), std::string::npos);
}

} // namespace
