#pragma once

// Identifiers of texts that have no number of their own in the message catalogue. Numbered texts
// (result codes, list entries, labels with an identifier) are used by their number directly.

// Descriptions of settings-file failures, filled into 7900 / 7901 ("%1" = the file's path).
constexpr unsigned kIdsFileBadPath = 7910;
constexpr unsigned kIdsFileTooManyOpen = 7911;
constexpr unsigned kIdsFileAccessDenied = 7912;
constexpr unsigned kIdsFileDirectoryFull = 7913;
constexpr unsigned kIdsFileHardwareIo = 7914;
constexpr unsigned kIdsFileSharingViolation = 7915;
constexpr unsigned kIdsFileLockingViolation = 7916;
constexpr unsigned kIdsFileDiskFull = 7917;
constexpr unsigned kIdsFileGeneric = 7918;
constexpr unsigned kIdsFileEndOfFile = 7919;
constexpr unsigned kIdsFileBadFormat = 7920;
constexpr unsigned kIdsFileBadClass = 7921;
constexpr unsigned kIdsFileOutOfMemory = 7922;
constexpr unsigned kIdsFileUnnamed = 7923; // "an unnamed file"
