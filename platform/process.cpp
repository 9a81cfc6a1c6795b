#include "platform/process.h"

#include <cerrno>
#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

std::vector<std::string> splitCommand(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : command) {
        if (c == ' ' || c == '\t') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

bool programExists(const std::string& program) {
    if (program.empty())
        return false;
    const auto isExecutableFile = [](const std::string& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
               access(path.c_str(), X_OK) == 0;
    };
    if (program.find('/') != std::string::npos)
        return isExecutableFile(program);
    const char* pathVariable = std::getenv("PATH");
    const std::string path = pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string directory = end > start ? path.substr(start, end - start) : ".";
        if (isExecutableFile(directory + "/" + program))
            return true;
        start = end + 1;
    }
    return false;
}

std::vector<std::string> configuredViewer() {
    const char* configured = std::getenv("VANTREL_VIEWER");
    return configured ? splitCommand(configured) : std::vector<std::string>{};
}

namespace {

void waitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

int spawn(const std::vector<std::string>& command, const std::string& file, pid_t& child) {
    if (command.empty() || !programExists(command.front()))
        return ENOENT;
    std::vector<std::string> words = command;
    words.push_back(file);
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    return posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ);
}

} // namespace

int startProcess(const std::vector<std::string>& command, const std::string& file, bool wait) {
    pid_t child = 0;
    const int result = spawn(command, file, child);
    if (result != 0)
        return result;
    if (wait)
        waitForChild(child);
    else
        // Nobody waits for a viewer left running: a small thread reaps it when it ends so that
        // no zombie stays behind.
        std::thread([child] { waitForChild(child); }).detach();
    return 0;
}

namespace {

DesktopHandler desktopHandler;

// Without a configured viewer the desktop decides.
ShowResult showWithoutViewer(const std::string& file) {
    ShowResult result;
    result.kind =
        desktopHandler && desktopHandler(file) ? ShowResult::HandedToDesktop : ShowResult::NotShown;
    return result;
}

ShowResult viewerResult(int error) {
    ShowResult result;
    result.kind = error == 0 ? ShowResult::ViewerStarted : ShowResult::ViewerFailed;
    result.error = error;
    const char* configured = std::getenv("VANTREL_VIEWER");
    result.viewer = configured ? configured : "";
    return result;
}

} // namespace

void setDesktopHandler(DesktopHandler handler) {
    desktopHandler = std::move(handler);
}

ShowResult showFile(const std::string& file, bool wait) {
    const std::vector<std::string> viewer = configuredViewer();
    if (viewer.empty())
        return showWithoutViewer(file);
    return viewerResult(startProcess(viewer, file, wait));
}

ShowResult showFileThen(const std::string& file, std::function<void()> onViewerExit) {
    const std::vector<std::string> viewer = configuredViewer();
    if (viewer.empty())
        return showWithoutViewer(file);
    pid_t child = 0;
    const int error = spawn(viewer, file, child);
    if (error == 0)
        std::thread([child, done = std::move(onViewerExit)] {
            waitForChild(child);
            if (done)
                done();
        }).detach();
    return viewerResult(error);
}
