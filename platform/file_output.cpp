#include "platform/file_output.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

OutputFile createOutputFile(const std::string& path) {
    OutputFile file;
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC,
                                S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH);
    if (descriptor < 0) {
        file.error = errno;
        return file;
    }
    // An open-file-description lock conflicts with the record locks of other programs and with
    // other descriptions in this process alike.
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (fcntl(descriptor, F_OFD_SETLK, &lock) != 0 && (errno == EAGAIN || errno == EACCES)) {
        close(descriptor);
        file.inUse = true;
        file.error = EAGAIN;
        return file;
    }
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags >= 0)
        fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    if (ftruncate(descriptor, 0) != 0 && errno != EINVAL) {
        file.error = errno;
        close(descriptor);
        return file;
    }
    file.descriptor = descriptor;
    return file;
}

int writeAll(int descriptor, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(descriptor, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}
