#pragma once

#include <string>

// A file created or truncated for writing, or why it could not be.
struct OutputFile {
    int descriptor = -1; // open for writing when >= 0; the caller closes it
    int error = 0;       // errno of the failure
    bool inUse = false;  // another writer holds a lock on the file
};

// Opens `path` for writing, creating it when missing. A file on which another open file holds a
// record lock (the usual sign of a program writing it) is left as it is and reported as in use;
// otherwise the file is truncated and an exclusive lock is held on it until it is closed. The
// open never blocks (a FIFO without a reader fails with ENXIO) and is not inherited by children.
OutputFile createOutputFile(const std::string& path);

// Writes all of `size` bytes; returns 0 or the errno of the failed write.
int writeAll(int descriptor, const char* data, std::size_t size);
