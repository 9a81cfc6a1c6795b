#pragma once

#include <functional>
#include <string>
#include <vector>

// The command that shows text and help files: the words of $VANTREL_VIEWER when it is set and
// not empty, otherwise the first of xdg-open, gedit, mousepad and "xterm -e less" found on PATH.
// Returns an empty list when there is none.
std::vector<std::string> viewerCommand();

// Splits a command line at blanks and tabs (no quoting).
std::vector<std::string> splitCommand(const std::string& command);

// True when `program` names an executable file, directly (with a slash) or on PATH.
bool programExists(const std::string& program);

// Starts `command` with `file` as its last argument. With `wait` the call returns only when the
// process has ended. Returns 0 when the process started, or the errno of the failed start
// (ENOENT when there is no command or its program is missing).
int startProcess(const std::vector<std::string>& command, const std::string& file, bool wait);

// startProcess with viewerCommand().
int openInViewer(const std::string& file, bool wait);

// Starts the viewer on `file` and returns at once: 0 when it started, with `onExit` then called
// on another thread when the viewer has ended; otherwise the errno of the failed start, and
// `onExit` is never called.
int openInViewerThen(const std::string& file, std::function<void()> onExit);
