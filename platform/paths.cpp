#include "platform/paths.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string executablePath() {
    std::string buffer(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0)
        return {};
    buffer.resize(static_cast<std::size_t>(length));
    return buffer;
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// Creates every missing directory of `path`; returns whether it exists afterwards.
bool makeDirectories(const std::string& path) {
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            const std::string part = path.substr(0, pos);
            if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
                return false;
        }
    }
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

} // namespace

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string executableDirectory() {
    const std::string path = executablePath();
    return path.empty() ? std::string(".") : directoryOf(path);
}

std::string executableBaseName() {
    const std::string path = executablePath();
    if (path.empty())
        return "vantrel";
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string helpFilePath(const std::string& directory, const std::string& baseName) {
    return directory + "/" + baseName + ".HLP";
}

std::string replaceHelpFileName(const std::string& helpPath, const std::string& fileName) {
    for (const char* name : {"Vantrel.HLP", "VANTREL.HLP", "vantrel.HLP"}) {
        const std::string needle(name);
        const std::size_t pos = helpPath.rfind(needle);
        if (pos != std::string::npos)
            return helpPath.substr(0, pos) + fileName + helpPath.substr(pos + needle.size());
    }
    return helpPath;
}

std::string documentDirectory(const std::string& executableDirectory, const std::string& fileName,
                              const std::string& dataFromExecutable) {
    if (fileExists(executableDirectory + "/" + fileName))
        return executableDirectory;
    const std::string installed = executableDirectory + "/" + dataFromExecutable;
    if (fileExists(installed + "/" + fileName))
        return installed;
    return executableDirectory;
}

std::string installedDataFromExecutable() {
    return VANTREL_DATA_FROM_BIN;
}

std::string resolveSettingsPath(const std::string& besideExecutable, const std::string& fileName) {
    const std::string overridePath = environment("VANTREL_SETTINGS");
    if (!overridePath.empty())
        return overridePath;
    if (fileExists(besideExecutable) || access(directoryOf(besideExecutable).c_str(), W_OK) == 0)
        return besideExecutable;
    std::string configHome = environment("XDG_CONFIG_HOME");
    if (configHome.empty()) {
        const std::string home = environment("HOME");
        if (home.empty())
            return besideExecutable;
        configHome = home + "/.config";
    }
    const std::string directory = configHome + "/vantrel";
    if (!makeDirectories(directory))
        return besideExecutable;
    return directory + "/" + fileName;
}
