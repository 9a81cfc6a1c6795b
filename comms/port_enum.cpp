#include "comms/port_enum.h"

#include "comms/port_map.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// True when the node is a character device (a terminal, once opened).
bool isCharDevice(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

} // namespace

bool enumPortsByOpening(std::vector<int>& ports) {
    ports.clear();
    for (const auto& entry : mapComPorts()) {
        const int fd = ::open(entry.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            // Present but busy or not ours to open.
            if (errno == EACCES || errno == EBUSY || errno == EPERM)
                ports.push_back(entry.number);
            continue;
        }
        const bool terminal = ::isatty(fd) != 0;
        ::close(fd);
        if (terminal)
            ports.push_back(entry.number);
    }
    return true;
}

bool enumPortsByDosDevices(std::vector<int>& ports) {
    ports.clear();
    std::vector<std::string> names;
    if (const std::string dir = portsDirectory(); !dir.empty()) {
        if (DIR* d = ::opendir(dir.c_str())) {
            while (const dirent* e = ::readdir(d))
                names.emplace_back(e->d_name);
            ::closedir(d);
        }
    }
    for (const auto& entry : mapComPorts())
        names.push_back("COM" + std::to_string(entry.number));
    std::vector<int> all;
    appendComNumbers(names, all);
    for (const int n : all) {
        if (std::find(ports.begin(), ports.end(), n) == ports.end())
            ports.push_back(n);
    }
    return true;
}

bool enumPortsByCommConfig(std::vector<int>& ports) {
    ports.clear();
    for (const auto& entry : mapComPorts()) {
        if (isCharDevice(entry.path))
            ports.push_back(entry.number);
    }
    return true;
}

bool enumeratePorts(int osClass, std::vector<int>& ports) {
    if (osClass < 4)
        return enumPortsByOpening(ports);
    if (osClass <= 6)
        return enumPortsByDosDevices(ports);
    return enumPortsByCommConfig(ports);
}
