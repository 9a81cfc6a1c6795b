#include "comms/port_map.h"

#include "platform/device_nodes.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <set>

namespace {

std::mutex directoryLock;
std::string configuredDirectory;

// A COM<n> name in the ports directory (case as written) with its number, or 0.
int comNumberOf(const std::string& name) {
    if (name.size() <= 3 || name.size() > 6)
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[static_cast<std::size_t>(i)])) != "COM"[i])
            return 0;
    }
    int value = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return 0;
        value = value * 10 + (name[i] - '0');
    }
    return value >= 1 && value <= kMaxComPort ? value : 0;
}

// Links named COM<n> in the ports directory: number -> path of the link.
std::vector<ComPortEntry> linkedPorts() {
    std::vector<ComPortEntry> out;
    const std::string dir = portsDirectory();
    if (dir.empty())
        return out;
    for (const std::string& name : directoryEntries(dir)) {
        if (name.size() < 4 || name.compare(0, 3, "COM") != 0)
            continue;
        const int n = comNumberOf(name);
        if (n > 0)
            out.push_back({n, dir + "/" + name});
    }
    return out;
}

} // namespace

void setPortsDirectory(const std::string& directory) {
    std::lock_guard lock(directoryLock);
    configuredDirectory = directory;
}

std::string portsDirectory() {
    if (const char* env = std::getenv("VANTREL_PORTS_DIR"); env && *env)
        return env;
    std::lock_guard lock(directoryLock);
    return configuredDirectory;
}

std::vector<ComPortEntry> mapComPorts() {
    std::vector<ComPortEntry> entries = linkedPorts();
    std::set<int> taken;
    for (const auto& e : entries)
        taken.insert(e.number);
    int next = 1;
    for (const char* series : {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"}) {
        for (int i = 0; i < 1000; ++i) {
            const std::string path = series + std::to_string(i);
            if (!nodeExists(path))
                break;
            if (!isSerialLineDevice(path))
                continue;
            while (next <= kMaxComPort && taken.count(next))
                ++next;
            if (next > kMaxComPort)
                break;
            entries.push_back({next, path});
            taken.insert(next);
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const ComPortEntry& a, const ComPortEntry& b) { return a.number < b.number; });
    return entries;
}

std::string resolveComPort(int portNumber) {
    if (portNumber < 1 || portNumber > kMaxComPort)
        return {};
    const std::string dir = portsDirectory();
    if (!dir.empty()) {
        const std::string link = dir + "/COM" + std::to_string(portNumber);
        if (nodeExists(link))
            return link;
    }
    for (const auto& e : mapComPorts()) {
        if (e.number == portNumber)
            return e.path;
    }
    return {};
}

void appendComNumbers(const std::vector<std::string>& names, std::vector<int>& numbers) {
    for (const auto& name : names) {
        if (const int n = comNumberOf(name); n > 0)
            numbers.push_back(n);
    }
}

namespace {

std::string realPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return {};
    std::string out = resolved;
    std::free(resolved);
    return out;
}

} // namespace

std::string comPortDevice(int portNumber) {
    const std::string path = resolveComPort(portNumber);
    return path.empty() ? std::string() : realPath(path);
}

std::string stableDeviceName(const std::string& device, const std::string& byIdDirectory) {
    if (device.empty())
        return {};
    std::vector<std::string> matches;
    for (const std::string& name : directoryEntries(byIdDirectory)) {
        const std::string entry = byIdDirectory + "/" + name;
        if (name[0] != '.' && realPath(entry) == device)
            matches.push_back(entry);
    }
    // Directory order is arbitrary; the first name in text order is the same on every run.
    std::sort(matches.begin(), matches.end());
    return matches.empty() ? std::string() : matches.front();
}
