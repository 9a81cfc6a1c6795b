#include "platform/device_nodes.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// sysfs port type of a tty that has no UART behind it.
constexpr int kPortTypeNone = 0;

} // namespace

bool nodeExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool isCharacterDevice(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

bool isSerialLineDevice(const std::string& path) {
    if (!isCharacterDevice(path))
        return false;
    const std::string name = path.substr(path.rfind('/') + 1);
    if (name.rfind("ttyS", 0) != 0)
        return true;
    std::ifstream type("/sys/class/tty/" + name + "/type");
    int value = -1;
    if (type >> value)
        return value != kPortTypeNone;
    return true;
}

std::vector<std::string> directoryEntries(const std::string& directory) {
    std::vector<std::string> names;
    DIR* d = ::opendir(directory.c_str());
    if (d == nullptr)
        return names;
    while (const dirent* e = ::readdir(d))
        names.emplace_back(e->d_name);
    ::closedir(d);
    return names;
}

TerminalProbe probeTerminal(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EBUSY || errno == EPERM)
            return TerminalProbe::Busy;
        return TerminalProbe::Unavailable;
    }
    const bool terminal = ::isatty(fd) != 0;
    ::close(fd);
    return terminal ? TerminalProbe::Terminal : TerminalProbe::NotTerminal;
}
