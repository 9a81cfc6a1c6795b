#include "comms/port_map.h"

#include "platform/device_nodes.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <set>

namespace {

std::mutex directoryLock;
std::string configuredDirectory;

constexpr std::string_view kComPrefix = "COM";
constexpr std::size_t kMaxLinkDigits = 3;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool startsWithComAnyCase(std::string_view name) {
    if (name.size() < kComPrefix.size())
        return false;
    for (std::size_t i = 0; i < kComPrefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != kComPrefix[i])
            return false;
    }
    return true;
}

// The digits at the start of `text` as a number held at INT_MAX; nothing without a digit.
std::optional<int> leadingNumber(std::string_view text) {
    if (text.empty() || !isDigit(text.front()))
        return std::nullopt;
    constexpr int kHeld = std::numeric_limits<int>::max();
    int value = 0;
    for (std::size_t i = 0; i < text.size() && isDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        value = value > (kHeld - digit) / 10 ? kHeld : value * 10 + digit;
    }
    return value;
}

std::optional<int> linkNumber(std::string_view name) {
    if (!startsWithComAnyCase(name))
        return std::nullopt;
    const std::string_view digits = name.substr(kComPrefix.size());
    if (digits.empty() || digits.size() > kMaxLinkDigits ||
        !std::all_of(digits.begin(), digits.end(), isDigit))
        return std::nullopt;
    const std::optional<int> value = leadingNumber(digits);
    if (!value || *value < 1 || *value > kMaxComPort)
        return std::nullopt;
    return value;
}

std::optional<int> portNameNumber(std::string_view name) {
    const std::size_t com = name.find(kComPrefix);
    if (com == std::string_view::npos)
        return std::nullopt;
    return leadingNumber(name.substr(com + kComPrefix.size()));
}

// Links named COM<n> in the ports directory: number -> path of the link.
std::vector<ComPortEntry> linkedPorts() {
    std::vector<ComPortEntry> out;
    const std::string dir = portsDirectory();
    if (dir.empty())
        return out;
    for (const std::string& name : directoryEntries(dir)) {
        if (name.compare(0, kComPrefix.size(), kComPrefix) != 0)
            continue;
        if (const std::optional<int> n = readComNumber(name, ComNaming::LinkName))
            out.push_back({*n, dir + "/" + name});
    }
    return out;
}

} // namespace

std::optional<int> readComNumber(std::string_view name, ComNaming naming) {
    return naming == ComNaming::LinkName ? linkNumber(name) : portNameNumber(name);
}

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
        if (const std::optional<int> n = readComNumber(name, ComNaming::LinkName))
            numbers.push_back(*n);
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
