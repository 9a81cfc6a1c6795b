#pragma once

#include "config/location.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

// Receives the failures of reading and writing the settings file; the application shows each
// one in a message box and carries on.
class CSettingsErrorReporter {
public:
    virtual ~CSettingsErrorReporter() = default;
    // `messageId` is 7900 (reading) or 7901 (writing); `descriptionId` identifies the
    // description filled into it; `text` is the complete message.
    virtual void reportFileError(unsigned messageId, unsigned descriptionId,
                                 const std::string& text) = 0;
};

// The persistent settings: the name of the last location connected to and the user's list of
// locations. Used on the user-interface thread only.
class CSettingsFile {
public:
    using WriteFunction = std::function<ssize_t(int fd, const void* data, std::size_t size)>;

    CSettingsFile();

    // Failures go to `reporter` (not owned; null drops them).
    void setReporter(CSettingsErrorReporter* reporter) { errorReporter = reporter; }

    // Reads the file at `path`, replacing lastLocationName and the list. Returns true when the
    // file was read completely or does not exist (an empty list, nothing reported); false after
    // a reported failure, leaving what was read before it.
    bool load();
    // The same as load for the file's content already in memory.
    bool loadFromBuffer(const std::uint8_t* data, std::size_t size);
    // Writes the settings to `path` through a file beside it that replaces the old file only
    // once completely written, so a failed save leaves the previous file intact. Returns true
    // on success; false after a failure (reported unless the directory does not exist).
    bool save();
    // The file content for the current settings.
    std::vector<std::uint8_t> serializedBytes() const;

    // Number of entries, including empty ones left by a damaged file.
    int count() const { return static_cast<int>(locations.size()); }
    // The location at `index`, or null when the index is out of range or the entry is empty.
    const CLocation* getLocation(int index) const;
    CLocation* getLocation(int index);
    // Appends a location and takes ownership; a null pointer appends an empty entry.
    void append(std::unique_ptr<CLocation> location);
    void append(const CLocation& location) { append(std::make_unique<CLocation>(location)); }
    // Deletes every location and empties the list.
    void removeAll() { locations.clear(); }

    // Replaces the call that writes the file's bytes, so tests can make a write fail part-way.
    void setWriteFunction(WriteFunction function) { writeFunction = std::move(function); }

    std::string path;
    std::string lastLocationName;

private:
    void report(unsigned messageId, unsigned descriptionId) const;
    void reportErrno(unsigned messageId, int error) const;
    bool writeAll(int fd, const std::vector<std::uint8_t>& bytes, int& error) const;
    // Truncates and rewrites `target` itself; for a file whose folder refuses a new file.
    bool rewriteInPlace(const std::string& target, const std::vector<std::uint8_t>& bytes) const;

    std::vector<std::unique_ptr<CLocation>> locations;
    CSettingsErrorReporter* errorReporter = nullptr;
    WriteFunction writeFunction;
};

// The description identifier of an operating-system error number.
unsigned settingsErrorDescription(int error);
