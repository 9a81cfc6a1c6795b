#include "windows/view_commands.h"
#include "config/location.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "resources/string_table.h"
#include "windows/commands.h"
#include "windows/status_bar.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

struct LocaleCase {
    const char* name;
    const char* decimal;
    const char* timeFormat;
    const char* list;
    const char* time;
};

class LocaleSeparators : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleSeparators, FollowTheDecimalPointAndTheTimeFormat) {
    const LocaleCase& c = GetParam();
    const UserLocale locale = deriveLocale(c.decimal, "%d/%m/%Y", c.timeFormat);
    EXPECT_EQ(locale.listSeparator, c.list);
    EXPECT_EQ(locale.timeSeparator, c.time);
}

INSTANTIATE_TEST_SUITE_P(
    Locale, LocaleSeparators,
    ::testing::Values(
        LocaleCase{.name = "DotAndColons",
                   .decimal = ".",
                   .timeFormat = "%H:%M:%S",
                   .list = ",",
                   .time = ":"},
        LocaleCase{.name = "CommaTakesSemicolonLists",
                   .decimal = ",",
                   .timeFormat = "%H:%M:%S",
                   .list = ";",
                   .time = ":"},
        LocaleCase{
            .name = "ShorthandT", .decimal = ",", .timeFormat = "%T", .list = ";", .time = ":"},
        LocaleCase{.name = "DotsBetweenTimeFields",
                   .decimal = ".",
                   .timeFormat = "%I.%M.%S %p",
                   .list = ",",
                   .time = "."},
        LocaleCase{.name = "ModifiedHourAndWordSeparator",
                   .decimal = ".",
                   .timeFormat = "%-H h %M",
                   .list = ",",
                   .time = " h"},
        LocaleCase{
            .name = "EmptyTimeFormat", .decimal = ".", .timeFormat = "", .list = ",", .time = ":"},
        LocaleCase{.name = "TrailingBlankOfDecimalDropped",
                   .decimal = ", ",
                   .timeFormat = "%H:%M",
                   .list = ";",
                   .time = ":"}),
    [](const ::testing::TestParamInfo<LocaleCase>& row) { return std::string(row.param.name); });

TEST(Locale, ReadingTheUserLocaleKeepsNumbersWithADot) {
    setenv("LC_ALL", "C.UTF-8", 1);
    const UserLocale locale = readUserLocale();
    EXPECT_EQ(locale.decimalSeparator, ".");
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%.1f", 1.5);
    EXPECT_STREQ(buffer, "1.5");
}

TEST(SettingsPath, ReplacesTheHelpFileName) {
    const struct {
        const char* helpPath;
        const char* expected;
    } cases[] = {
        {"/opt/v/Vantrel.HLP", "/opt/v/VNTLSettings.dat"},
        {"/opt/v/VANTREL.HLP", "/opt/v/VNTLSettings.dat"},
        {"/opt/v/vantrel.HLP", "/opt/v/VNTLSettings.dat"},
        {"/opt/v/Tester.HLP", "/opt/v/Tester.HLP"},
        {"/opt/v/Vantrel.hlp", "/opt/v/Vantrel.hlp"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(replaceHelpFileName(c.helpPath, "VNTLSettings.dat"), c.expected) << c.helpPath;
    EXPECT_EQ(helpFilePath("/a/b", "vantrel"), "/a/b/vantrel.HLP");
}

class TempDir {
public:
    TempDir() {
        std::string pattern = std::string(VANTREL_BINARY_DIR) + "/tmp-app-XXXXXX";
        path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string path;
};

TEST(SettingsPath, OverrideBesideExecutableAndFallback) {
    TempDir temp;
    ASSERT_FALSE(temp.path.empty());
    const std::string readOnly = temp.path + "/ro";
    ASSERT_EQ(mkdir(readOnly.c_str(), 0500), 0);
    const bool runningAsRoot = geteuid() == 0;

    setenv("VANTREL_SETTINGS", (temp.path + "/chosen.dat").c_str(), 1);
    EXPECT_EQ(resolveSettingsPath(readOnly + "/VNTLSettings.dat", "VNTLSettings.dat"),
              temp.path + "/chosen.dat");
    unsetenv("VANTREL_SETTINGS");

    EXPECT_EQ(resolveSettingsPath(temp.path + "/VNTLSettings.dat", "VNTLSettings.dat"),
              temp.path + "/VNTLSettings.dat");

    // A folder that cannot be written (or does not exist, which holds even for root) sends the
    // settings to the user's configuration folder, created on demand.
    setenv("XDG_CONFIG_HOME", (temp.path + "/config").c_str(), 1);
    const std::string unwritable = runningAsRoot ? temp.path + "/missing" : readOnly;
    EXPECT_EQ(resolveSettingsPath(unwritable + "/VNTLSettings.dat", "VNTLSettings.dat"),
              temp.path + "/config/vantrel/VNTLSettings.dat");
    struct stat info {};
    EXPECT_EQ(stat((temp.path + "/config/vantrel").c_str(), &info), 0);
    // An existing file beside the executable is used even where it cannot be rewritten.
    chmod(readOnly.c_str(), 0700);
    std::ofstream(readOnly + "/VNTLSettings.dat") << "x";
    chmod(readOnly.c_str(), 0500);
    EXPECT_EQ(resolveSettingsPath(readOnly + "/VNTLSettings.dat", "VNTLSettings.dat"),
              readOnly + "/VNTLSettings.dat");
    unsetenv("XDG_CONFIG_HOME");
    chmod(readOnly.c_str(), 0700);
}

// ---- Showing a file: the configured viewer, else the desktop, else words that name the file ----

struct ShowCase {
    const char* name;
    const char* viewer; // VANTREL_VIEWER, "$DIR" standing for the test's folder; null: unset
    int desktop;        // -1: no desktop handler; 0 or 1: a handler answering false or true
    ShowResult::Kind kind;
    bool waited;         // the viewer had ended when showFile returned
    const char* message; // what the user is told ("$FILE", "$DIR"); empty when shown
};

void PrintTo(const ShowCase& row, std::ostream* out) {
    *out << row.name;
}

class ShowingAFile : public ::testing::TestWithParam<ShowCase> {};

TEST_P(ShowingAFile, TakesTheConfiguredViewerThenTheDesktop) {
    const ShowCase& c = GetParam();
    TempDir temp;
    ASSERT_FALSE(temp.path.empty());
    // A viewer that takes a moment and leaves a mark proves the wait.
    std::ofstream(temp.path + "/viewer.sh") << "#!/bin/sh\nsleep 0.2\ncp \"$1\" \"$1.seen\"\n";
    chmod((temp.path + "/viewer.sh").c_str(), 0700);
    const std::string file = temp.path + "/notes.txt";
    std::ofstream(file) << "notes";
    const auto expand = [&](std::string text) {
        for (const auto& [name, value] : {std::pair{"$DIR", temp.path}, std::pair{"$FILE", file}})
            for (std::size_t at; (at = text.find(name)) != std::string::npos;)
                text.replace(at, std::string(name).size(), value);
        return text;
    };
    if (c.viewer)
        setenv("VANTREL_VIEWER", expand(c.viewer).c_str(), 1);
    std::vector<std::string> handed;
    if (c.desktop >= 0)
        setDesktopHandler([&handed, &c](const std::string& shown) {
            handed.push_back(shown);
            return c.desktop == 1;
        });

    const ShowResult result = showFile(file, true);
    EXPECT_EQ(result.kind, c.kind);
    struct stat info {};
    EXPECT_EQ(stat((file + ".seen").c_str(), &info) == 0, c.waited);
    const bool viewerTried =
        c.kind == ShowResult::ViewerStarted || c.kind == ShowResult::ViewerFailed;
    const bool desktopAsked = !viewerTried && c.desktop >= 0;
    EXPECT_EQ(handed, desktopAsked ? std::vector<std::string>{file} : std::vector<std::string>{});
    EXPECT_EQ(result.shown() ? std::string() : fileNotShownText(result, file), expand(c.message));
    unsetenv("VANTREL_VIEWER");
    setDesktopHandler({});
}

INSTANTIATE_TEST_SUITE_P(
    Choices, ShowingAFile,
    ::testing::Values(
        ShowCase{"ConfiguredViewerIsWaitedFor", "$DIR/viewer.sh", 1, ShowResult::ViewerStarted,
                 true, ""},
        ShowCase{"MissingConfiguredViewer", "$DIR/no-viewer --flag", 1, ShowResult::ViewerFailed,
                 false,
                 "The viewer \"$DIR/no-viewer --flag\" set in VANTREL_VIEWER could not be started "
                 "to open $FILE: No such file or directory. Open the file in a web browser or "
                 "text editor, or set VANTREL_VIEWER to a command that exists."},
        ShowCase{"EmptyViewerLeavesItToTheDesktop", " ", 1, ShowResult::HandedToDesktop, false, ""},
        ShowCase{"DesktopTakesIt", nullptr, 1, ShowResult::HandedToDesktop, false, ""},
        ShowCase{"DesktopHasNothingForIt", nullptr, 0, ShowResult::NotShown, false,
                 "Nothing on this desktop could open $FILE: xdg-open is missing or knows no "
                 "program for this kind of file. Open the file in a web browser or text editor, "
                 "or set VANTREL_VIEWER to a viewer command (for example VANTREL_VIEWER=firefox) "
                 "and start Vantrel again."},
        ShowCase{"NoDesktop", nullptr, -1, ShowResult::NotShown, false,
                 "Nothing on this desktop could open $FILE: xdg-open is missing or knows no "
                 "program for this kind of file. Open the file in a web browser or text editor, "
                 "or set VANTREL_VIEWER to a viewer command (for example VANTREL_VIEWER=firefox) "
                 "and start Vantrel again."}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Viewer, SplitsItsCommandAndFailsCleanly) {
    EXPECT_EQ(splitCommand("  xterm\t-e  less "),
              (std::vector<std::string>{"xterm", "-e", "less"}));
    EXPECT_EQ(startProcess({}, "notes.txt", true), ENOENT);
}

} // namespace
