#pragma once

#include <string>
#include <vector>

// Questions about device nodes and directories asked by the serial port map and the port
// enumeration. None of them opens a serial line except probeTerminal.

// True when something (a file, a device node or a link, even a dangling one) exists at `path`.
bool nodeExists(const std::string& path);

// True when `path` is, or links to, a character device.
bool isCharacterDevice(const std::string& path);

// True when `path` is a character device that carries a serial line. A legacy ttyS node exists
// whether or not a UART stands behind it, so it counts only when the kernel reports a port type
// other than 0 (none) for it, or reports nothing; the answer never needs opening the device (an
// open would raise DTR on a real line).
bool isSerialLineDevice(const std::string& path);

// The names of the entries of `directory`, "." and ".." included, in the order the system lists
// them; empty when the directory cannot be read.
std::vector<std::string> directoryEntries(const std::string& directory);

enum class TerminalProbe {
    Terminal,    // opened, and a terminal
    NotTerminal, // opened, but not a terminal
    Busy,        // present but busy or not ours to open (EACCES, EBUSY, EPERM)
    Unavailable, // cannot be opened for any other reason
};

// Opens `path` for a moment, without making it the controlling terminal, and tells what it is.
TerminalProbe probeTerminal(const std::string& path);
