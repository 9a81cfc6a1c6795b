#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "tests/support/row_names.h"
#include "tests/support/temp_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using vantrel_test::PrintTo;

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

// The folder and its path, under the names the tests use.
struct TempDir {
    CTempFolder folder{"tmp-app"};
    std::string path = folder.path();
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

// The build tree keeps the documents beside the executable, an installed program under
// ../share/vantrel; beside the executable wins, and with neither the name beside it is kept.
TEST(DocumentDirectory, BesideTheExecutableThenTheInstalledDataFolder) {
    TempDir temp;
    ASSERT_FALSE(temp.path.empty());
    const std::string bin = temp.path + "/usr/bin";
    const std::string data = temp.path + "/usr/share/vantrel";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(data);
    const std::string fromBin = "../share/vantrel";
    EXPECT_EQ(installedDataFromExecutable(), fromBin);

    EXPECT_EQ(documentDirectory(bin, "Vantrel.html", fromBin), bin);
    std::ofstream(data + "/Vantrel.html") << "x";
    EXPECT_EQ(documentDirectory(bin, "Vantrel.html", fromBin), bin + "/" + fromBin);
    std::ofstream(bin + "/Vantrel.html") << "x";
    EXPECT_EQ(documentDirectory(bin, "Vantrel.html", fromBin), bin);
}

TEST(Viewer, SplitsItsCommandAndFailsCleanly) {
    EXPECT_EQ(splitCommand("  xterm\t-e  less "),
              (std::vector<std::string>{"xterm", "-e", "less"}));
    EXPECT_EQ(startProcess({}, "notes.txt", true), ENOENT);
}

} // namespace
