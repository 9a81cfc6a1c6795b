#include "platform/device_access.h"

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

std::optional<std::string> deviceRefusingGroup(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    if (::access(path.c_str(), R_OK | W_OK) == 0 || errno != EACCES)
        return std::nullopt;
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->gr_name != nullptr)
        return std::string(found->gr_name);
    return std::to_string(info.st_gid);
}
