#pragma once

#include <string>

// The text the empty main view shows: the user's next step. Offline it leads to Setup ›
// Locations... and Online › Connect...; online it names `locationName` (shown as plain text) and
// leads to Online › Test Comms....
std::string viewHintText(bool online, const std::string& locationName);
