#include "app/vantrel_app.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "tests/support/temp_folder.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Finished {
    int status = -1; // the exit status, or -1 when the process did not end by itself
    std::string out;
    std::string err;
};

std::string readAll(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Runs `argv` with only PATH and HOME in its environment (so no display) plus `extra`, waiting
// at most 20 s.
Finished runProgram(const std::vector<std::string>& argv,
                    const std::vector<std::string>& extra = {}) {
    const CTempFolder temp("vantrel_cli");
    if (!temp.valid())
        return {};
    const std::string& folder = temp.path();
    const std::string outPath = std::string(folder) + "/out";
    const std::string errPath = std::string(folder) + "/err";
    std::vector<std::string> environment = {"PATH=/usr/bin:/bin", std::string("HOME=") + folder,
                                            std::string("VANTREL_SETTINGS=") + folder + "/s.dat"};
    environment.insert(environment.end(), extra.begin(), extra.end());
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        std::vector<char*> args;
        for (const std::string& word : argv)
            args.push_back(const_cast<char*>(word.c_str()));
        args.push_back(nullptr);
        std::vector<char*> env;
        for (const std::string& entry : environment)
            env.push_back(const_cast<char*>(entry.c_str()));
        env.push_back(nullptr);
        execve(args[0], args.data(), env.data());
        _exit(127);
    }
    Finished run;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (status != -1 && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.out = readAll(outPath);
    run.err = readAll(errPath);
    return run;
}

std::string usage() {
    return std::string(loadString(kIdsUsage));
}

// ---- The program started from a shell ----

struct CommandCase {
    const char* name;
    std::vector<std::string> argv; // "vantrel" and "run.sh" stand for the built program and script
    int status;
    enum Out { Nothing, Usage, Version } out;
    std::string errStart; // what standard error begins with; empty: nothing at all
};

void PrintTo(const CommandCase& row, std::ostream* out) {
    *out << row.name;
}

class ProgramCommandLine : public ::testing::TestWithParam<CommandCase> {};

TEST_P(ProgramCommandLine, PrintsAndEndsWithoutADisplay) {
    const CommandCase& c = GetParam();
    std::vector<std::string> argv = c.argv;
    if (argv[0] == "vantrel")
        argv[0] = VANTREL_EXECUTABLE;
    else
        argv.insert(argv.begin(), {"/bin/bash", VANTREL_SOURCE_DIR "/scripts/run.sh"});
    const Finished run = runProgram(argv);
    EXPECT_EQ(run.status, c.status);
    const std::string out[] = {"", usage(), programVersionLine() + "\n"};
    EXPECT_EQ(run.out, out[c.out]);
    if (c.out == CommandCase::Version) {
        EXPECT_TRUE(std::regex_match(run.out, std::regex("Vantrel - v[0-9]+\\.[0-9]{2}\\.[0-9]{2}"
                                                         "\\.[0-9]+\n")))
            << run.out;
    }
    if (c.errStart.empty()) {
        EXPECT_EQ(run.err, "");
    } else {
        EXPECT_EQ(run.err.substr(0, c.errStart.size()), c.errStart) << run.err;
    }
    // A missing display is told in one line that says what to do instead.
    if (c.status == 1) {
        EXPECT_NE(run.err.find("xvfb-run -a"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Starts, ProgramCommandLine,
    ::testing::Values(
        CommandCase{"Help", {"vantrel", "--help"}, 0, CommandCase::Usage, ""},
        // Qt's own options before it are left for Qt.
        CommandCase{
            "Version", {"vantrel", "-style", "fusion", "--version"}, 0, CommandCase::Version, ""},
        CommandCase{"UnknownOption",
                    {"vantrel", "--bogus"},
                    2,
                    CommandCase::Nothing,
                    "vantrel: unknown option or argument '--bogus'\n\n" + usage()},
        CommandCase{"StrayArgument",
                    {"vantrel", "notes.txt"},
                    2,
                    CommandCase::Nothing,
                    "vantrel: unknown option or argument 'notes.txt'\n"},
        CommandCase{"PlatformWithoutName",
                    {"vantrel", "-platform"},
                    2,
                    CommandCase::Nothing,
                    "vantrel: option '-platform' needs a value\n"},
        CommandCase{"NoDisplay", {"vantrel"}, 1, CommandCase::Nothing, "vantrel: "},
        // The run script stops at the same point, before installing or building anything.
        CommandCase{"RunScriptNoDisplay", {"run.sh"}, 1, CommandCase::Nothing, "run.sh: "}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Whether the windows have somewhere to go ----

struct DisplayCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* display;
    const char* waylandDisplay;
    const char* qpaPlatform;
    bool available;
};

void PrintTo(const DisplayCase& row, std::ostream* out) {
    *out << row.name;
}

class DisplayCheck : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayCheck, FollowsTheEnvironmentAndThePlatform) {
    const DisplayCase& c = GetParam();
    EXPECT_EQ(
        displayAvailable(parseCommandLine(c.arguments), c.display, c.waylandDisplay, c.qpaPlatform),
        c.available);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, DisplayCheck,
    ::testing::Values(
        DisplayCase{"XDisplay", {}, ":0", nullptr, nullptr, true},
        DisplayCase{"NothingSet", {}, nullptr, nullptr, nullptr, false},
        DisplayCase{"EmptyValues", {}, "", "", "", false},
        DisplayCase{"Offscreen", {}, nullptr, nullptr, "offscreen", true},
        DisplayCase{"ListOfServers", {}, nullptr, nullptr, "wayland-egl;xcb", false},
        DisplayCase{"ListEndingOffscreen", {}, nullptr, nullptr, "xcb;offscreen", true},
        DisplayCase{"PlatformWithOptions", {}, nullptr, nullptr, "vnc:size=800x600", true},
        DisplayCase{"OptionWinsOverEnvironment",
                    {"-platform", "xcb"},
                    nullptr,
                    nullptr,
                    "offscreen",
                    false},
        DisplayCase{"OptionWithEquals", {"--platform=offscreen"}, nullptr, nullptr, nullptr, true},
        DisplayCase{"DisplayOption", {"-display", ":1"}, nullptr, nullptr, nullptr, true}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
