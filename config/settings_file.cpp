#include "config/settings_file.h"

#include "config/archive.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr unsigned kUnknownExceptionCode = 7021;

constexpr std::uint16_t kNullTag = 0x0000;
constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassTag = 0x8000;
constexpr std::uint16_t kLocationClassTag = 0x8001;
constexpr std::uint16_t kLocationSchema = 1;
constexpr std::uint16_t kMaxClassNameLength = 63;
constexpr char kLocationClassName[] = "CLocation";

class CFileDescriptor {
public:
    explicit CFileDescriptor(int descriptor) : fd(descriptor) {}
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;
    ~CFileDescriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    int get() const { return fd; }
    // Closes now; returns 0 or the error number.
    int close() {
        const int result = ::close(fd);
        fd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd;
};

// Reads the whole file; returns 0 or the error number.
int readFile(int fd, std::vector<std::uint8_t>& content) {
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        content.insert(content.end(), chunk, chunk + got);
    }
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file to replace: the target of a symbolic link rather than the link itself.
std::string resolveTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string target(resolved);
            std::free(resolved);
            return target;
        }
        // A link to a file not yet created: follow the one level.
        std::string link(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length > 0 && static_cast<std::size_t>(length) < link.size()) {
            link.resize(static_cast<std::size_t>(length));
            if (link.front() == '/')
                return link;
            return directoryOf(path) + "/" + link;
        }
    }
    return path;
}

// Creates a new file beside `target` for the replacement and names it in `temporary`. Returns
// its descriptor, or -1 with errno set when no such file can be made.
int createTemporaryBeside(const std::string& target, std::string& temporary) {
    constexpr int kAttempts = 100;
    int fd = -1;
    for (int attempt = 0; attempt < kAttempts && fd < 0; ++attempt) {
        temporary = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    return fd;
}

// The replacement keeps the old file's owner, so that the program run by the administrator does
// not take the user's file away. Only the administrator may give a file away; for anyone else
// the file is theirs already and the failure changes nothing.
void keepOwnerAndMode(int fd, const struct stat& existing) {
    [[maybe_unused]] const int ownerKept = ::fchown(fd, existing.st_uid, existing.st_gid);
    ::fchmod(fd, existing.st_mode & 07777);
}

// Makes a rename in the folder of `path` durable; a failure here leaves a complete file either
// way.
void syncDirectoryOf(const std::string& path) {
    const int directory = ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
}

} // namespace

unsigned settingsErrorDescription(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return kIdsFileAccessDenied;
    case EMFILE:
    case ENFILE:
        return kIdsFileTooManyOpen;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return kIdsFileDiskFull;
    case EMLINK:
        return kIdsFileDirectoryFull;
    case EIO:
        return kIdsFileHardwareIo;
    case ETXTBSY:
    case EBUSY:
        return kIdsFileSharingViolation;
    case ENOLCK:
    case EDEADLK:
        return kIdsFileLockingViolation;
    case ENAMETOOLONG:
    case ENOTDIR:
    case EISDIR:
    case ELOOP:
    case EINVAL:
    case ENXIO:
    case ENODEV:
        return kIdsFileBadPath;
    case ENOMEM:
        return kIdsFileOutOfMemory;
    default:
        return kIdsFileGeneric;
    }
}

CSettingsFile::CSettingsFile()
    : writeFunction(
          [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }) {}

void CSettingsFile::report(unsigned messageId, unsigned descriptionId) const {
    if (errorReporter == nullptr)
        return;
    std::string description;
    if (descriptionId == kIdsFileEndOfFile)
        description = substituteArgs(loadString(descriptionId), {loadString(kIdsFileUnnamed)});
    else
        description = substituteArgs(loadString(descriptionId), {path});
    errorReporter->reportFileError(messageId, descriptionId,
                                   formatString(messageId, description.c_str()));
}

void CSettingsFile::reportErrno(unsigned messageId, int error) const {
    report(messageId, settingsErrorDescription(error));
}

const CLocation* CSettingsFile::getLocation(int index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return locations[static_cast<std::size_t>(index)].get();
}

CLocation* CSettingsFile::getLocation(int index) {
    if (index < 0 || index >= count())
        return nullptr;
    return locations[static_cast<std::size_t>(index)].get();
}

void CSettingsFile::append(std::unique_ptr<CLocation> location) {
    locations.push_back(std::move(location));
}

bool CSettingsFile::load() {
    if (path.empty()) {
        report(kIdsFileErrorOnRead, kIdsFileBadPath);
        return false;
    }
    // Non-blocking so that a FIFO cannot stall the program; only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return true;
        reportErrno(kIdsFileErrorOnRead, error);
        return false;
    }
    CFileDescriptor file(fd);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        reportErrno(kIdsFileErrorOnRead, errno);
        return false;
    }
    // A device or pipe could deliver bytes without end.
    if (!S_ISREG(info.st_mode)) {
        report(kIdsFileErrorOnRead, kIdsFileBadPath);
        return false;
    }
    std::vector<std::uint8_t> content;
    try {
        if (const int error = readFile(file.get(), content); error != 0) {
            reportErrno(kIdsFileErrorOnRead, error);
            return false;
        }
    } catch (const std::bad_alloc&) {
        report(kIdsFileErrorOnRead, kIdsFileOutOfMemory);
        return false;
    }
    return loadFromBuffer(content.data(), content.size());
}

bool CSettingsFile::loadFromBuffer(const std::uint8_t* data, std::size_t size) {
    lastLocationName.clear();
    locations.clear();
    CArchive archive(data, size);
    try {
        lastLocationName = archive.readString();
        const std::uint32_t stored = archive.readCount();
        // Every entry takes at least its 2-byte tag: a larger count cannot be genuine, and
        // sizing the list to it would let a damaged file claim any amount of memory.
        if (stored > archive.remaining() / 2)
            throw CArchiveException(kIdsFileEndOfFile);
        locations.resize(stored);
        bool classDefined = false;
        for (auto& entry : locations) {
            const std::uint16_t tag = archive.readUInt16();
            if (tag == kNullTag)
                continue;
            if (tag == kNewClassTag) {
                archive.readUInt16(); // the class schema; every schema is read the same way
                const std::uint16_t nameLength = archive.readUInt16();
                if (nameLength > kMaxClassNameLength)
                    throw CArchiveException(kIdsFileBadClass);
                if (archive.readBytes(nameLength) != kLocationClassName)
                    throw CArchiveException(kIdsFileBadClass);
                classDefined = true;
            } else if ((tag & kClassTag) == 0 || tag != kLocationClassTag || !classDefined) {
                throw CArchiveException(kIdsFileBadFormat);
            }
            auto location = std::make_unique<CLocation>();
            location->serialize(archive);
            entry = std::move(location);
        }
    } catch (const CArchiveException& failure) {
        report(kIdsFileErrorOnRead, failure.descriptionId);
        return false;
    } catch (const std::bad_alloc&) {
        report(kIdsFileErrorOnRead, kIdsFileOutOfMemory);
        return false;
    } catch (const std::exception&) {
        report(kIdsFileErrorOnRead, kUnknownExceptionCode);
        return false;
    }
    return true;
}

std::vector<std::uint8_t> CSettingsFile::serializedBytes() const {
    CArchive archive;
    archive.writeString(lastLocationName);
    archive.writeCount(static_cast<std::uint32_t>(locations.size()));
    bool classWritten = false;
    for (const auto& entry : locations) {
        if (!entry) {
            archive.writeUInt16(kNullTag);
            continue;
        }
        if (!classWritten) {
            archive.writeUInt16(kNewClassTag);
            archive.writeUInt16(kLocationSchema);
            archive.writeUInt16(sizeof kLocationClassName - 1);
            for (const char c : std::string_view(kLocationClassName))
                archive.writeUInt8(static_cast<std::uint8_t>(c));
            classWritten = true;
        } else {
            archive.writeUInt16(kLocationClassTag);
        }
        entry->store(archive);
    }
    return archive.buffer();
}

bool CSettingsFile::writeAll(int fd, const std::vector<std::uint8_t>& bytes, int& error) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = writeFunction(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            return false;
        }
        if (written == 0) {
            error = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool CSettingsFile::rewriteInPlace(const std::string& target,
                                   const std::vector<std::uint8_t>& bytes) const {
    const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        reportErrno(kIdsFileErrorOnWrite, errno);
        return false;
    }
    CFileDescriptor file(fd);
    int error = 0;
    if (!writeAll(file.get(), bytes, error)) {
        reportErrno(kIdsFileErrorOnWrite, error);
        return false;
    }
    if (::fsync(file.get()) != 0) {
        reportErrno(kIdsFileErrorOnWrite, errno);
        return false;
    }
    if (const int closeError = file.close(); closeError != 0) {
        reportErrno(kIdsFileErrorOnWrite, closeError);
        return false;
    }
    return true;
}

bool CSettingsFile::save() {
    if (path.empty()) {
        report(kIdsFileErrorOnWrite, kIdsFileBadPath);
        return false;
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes = serializedBytes();
    } catch (const std::bad_alloc&) {
        report(kIdsFileErrorOnWrite, kIdsFileOutOfMemory);
        return false;
    }

    const std::string target = resolveTarget(path);
    // A file that may not be written must stay as it is, although replacing it through the
    // directory would succeed.
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    // A link that leads nowhere usable (a loop, a file as a folder) must not be replaced by a
    // plain file.
    if (!exists && errno != ENOENT) {
        reportErrno(kIdsFileErrorOnWrite, errno);
        return false;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        report(kIdsFileErrorOnWrite, kIdsFileBadPath);
        return false;
    }
    if (exists) {
        const int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (probe < 0) {
            reportErrno(kIdsFileErrorOnWrite, errno);
            return false;
        }
        ::close(probe);
    }

    std::string temporary;
    const int fd = createTemporaryBeside(target, temporary);
    if (fd < 0) {
        const int error = errno;
        // A folder that takes no new files may still hold a settings file the user may write:
        // rewrite that file in place rather than refuse to save at all.
        if (exists && (error == EACCES || error == EPERM))
            return rewriteInPlace(target, bytes);
        if (error != ENOENT)
            reportErrno(kIdsFileErrorOnWrite, error);
        return false;
    }
    CFileDescriptor file(fd);
    auto fail = [&](int error) {
        ::unlink(temporary.c_str());
        reportErrno(kIdsFileErrorOnWrite, error);
        return false;
    };
    if (exists)
        keepOwnerAndMode(file.get(), existing);
    int error = 0;
    if (!writeAll(file.get(), bytes, error))
        return fail(error);
    if (::fsync(file.get()) != 0)
        return fail(errno);
    if (const int closeError = file.close(); closeError != 0)
        return fail(closeError);
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        return fail(errno);
    syncDirectoryOf(target);
    return true;
}
