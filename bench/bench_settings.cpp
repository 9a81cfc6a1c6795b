#include "config/settings_file.h"
#include "tests/support/temp_folder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// Saves and loads a settings file of 1000 locations and prints the mean time of each.
int main() {
    constexpr int kLocations = 1000;
    constexpr int kRounds = 50;
    const CTempFolder folder("vantrel-bench");
    if (!folder.valid())
        return 1;
    const std::filesystem::path dir(folder.path());

    CSettingsFile settings;
    settings.path = (dir / "VNTLSettings.dat").string();
    settings.lastLocationName = "Location 500";
    for (int i = 0; i < kLocations; ++i) {
        CLocation location(8000 + i % 4);
        location.name = "Location " + std::to_string(i);
        location.number = "+44 1234 " + std::to_string(100000 + i);
        location.ipAddress = 0xC0A80000u + static_cast<unsigned>(i);
        settings.append(location);
    }

    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    for (int round = 0; round < kRounds; ++round) {
        if (!settings.save())
            return 1;
    }
    const double saveSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    start = Clock::now();
    for (int round = 0; round < kRounds; ++round) {
        CSettingsFile loaded;
        loaded.path = settings.path;
        if (!loaded.load() || loaded.count() != kLocations)
            return 1;
    }
    const double loadSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    start = Clock::now();
    for (int round = 0; round < kRounds; ++round) {
        if (settings.serializedBytes().empty())
            return 1;
    }
    const double encodeSeconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::printf("file: %ju bytes for %d locations\n",
                static_cast<std::uintmax_t>(std::filesystem::file_size(settings.path)), kLocations);
    std::printf("save (with fsync): %.3f ms\n", saveSeconds * 1000 / kRounds);
    std::printf("  of which encoding: %.3f ms\n", encodeSeconds * 1000 / kRounds);
    std::printf("load: %.3f ms\n", loadSeconds * 1000 / kRounds);
    return 0;
}
