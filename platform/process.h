#pragma once

#include <functional>
#include <string>
#include <vector>

// The words of $VANTREL_VIEWER, the viewer command the user configured, or an empty list when it
// is not set or empty.
std::vector<std::string> configuredViewer();

// Splits a command line at blanks and tabs (no quoting).
std::vector<std::string> splitCommand(const std::string& command);

// True when `program` names an executable file, directly (with a slash) or on PATH.
bool programExists(const std::string& program);

// Starts `command` with `file` as its last argument. With `wait` the call returns only when the
// process has ended. Returns 0 when the process started, or the errno of the failed start
// (ENOENT when there is no command or its program is missing).
int startProcess(const std::vector<std::string>& command, const std::string& file, bool wait);

// Opens a file with the program the desktop associates with its type; true when the desktop
// took it. The application installs it (it needs the desktop session); none is installed in a
// program without one.
using DesktopHandler = std::function<bool(const std::string& file)>;
void setDesktopHandler(DesktopHandler handler);

// How showing a file went.
struct ShowResult {
    enum Kind {
        ViewerStarted,   // the configured viewer runs (or ran, when waited for)
        HandedToDesktop, // the desktop's handler took it; nothing waits for it
        ViewerFailed,    // the configured viewer could not be started (`error`)
        NotShown,        // no viewer is configured and the desktop has no handler for it
    };
    Kind kind = NotShown;
    int error = 0;      // errno of a viewer that could not be started
    std::string viewer; // the configured viewer command, as set
    bool shown() const { return kind == ViewerStarted || kind == HandedToDesktop; }
};

// Shows `file` with the configured viewer, waiting for it to end when `wait`; without a
// configured viewer, hands it to the desktop's handler.
ShowResult showFile(const std::string& file, bool wait);

// As showFile without waiting: when a configured viewer starts, `onViewerExit` is called on
// another thread once it has ended (never in any other case).
ShowResult showFileThen(const std::string& file, std::function<void()> onViewerExit);
