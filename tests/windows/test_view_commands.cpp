#include "platform/process.h"
#include "tests/support/temp_folder.h"
#include "windows/view_commands.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

// The folder and its path, under the names the tests use.
struct TempDir {
    CTempFolder folder{"tmp-app"};
    std::string path = folder.path();
};

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

} // namespace
