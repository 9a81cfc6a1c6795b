#pragma once

#include <optional>
#include <string>

// When the device at `path` exists but the calling user may not both read and write it, the name
// of the group that owns it (its number when the group has no name): membership of that group is
// what gives a user the device. Nothing when the device is missing or the user may open it.
std::optional<std::string> deviceRefusingGroup(const std::string& path);
