#include "config/demo_locations.h"
#include "config/settings_file.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct StandingCase {
    const char* name;
    std::function<void(const fs::path&)> place; // puts something at the path, or nothing
    DemoSettingsResult expected;
};

void PrintTo(const StandingCase& row, std::ostream* out) {
    *out << row.name;
}

class DemoSettings : public ::testing::TestWithParam<StandingCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.valid());
        directory = folder.path();
        path = directory / "VNTLSettings.dat";
    }

    CTempFolder folder{"vantrel-demo"};
    fs::path directory;
    fs::path path;
};

TEST_P(DemoSettings, WritesOnlyWhereNothingStands) {
    const StandingCase& row = GetParam();
    row.place(path);
    const bool wasThere = fs::exists(fs::symlink_status(path));
    const std::string before = wasThere ? contentOf(path) : std::string();

    CSettingsFile settings;
    EXPECT_EQ(writeDemoSettings(settings, path.string(), 1600, 4), row.expected);

    if (wasThere) {
        EXPECT_EQ(contentOf(path), before) << "what stood there is left as it is";
        EXPECT_FALSE(fs::exists(directory / "elsewhere")) << "a link is not followed";
        return;
    }
    if (row.expected != DemoSettingsResult::Written)
        return;
    CSettingsFile loaded;
    loaded.path = path.string();
    ASSERT_TRUE(loaded.load());
    ASSERT_EQ(loaded.count(), 2);
    const CLocation& tcp = *loaded.getLocation(0);
    const CLocation& rtu = *loaded.getLocation(1);
    EXPECT_EQ(tcp.name, "Demo unit (Modbus/TCP)");
    EXPECT_EQ(tcp.mediaType, MediaType::TcpIp);
    EXPECT_EQ(tcp.modbusType, ModbusType::ModbusTcp);
    EXPECT_EQ(tcp.numberText("."), "IP 127.0.0.1  TCP 1600");
    EXPECT_EQ(rtu.name, "Demo unit (RTU)");
    EXPECT_EQ(rtu.mediaType, MediaType::Direct);
    EXPECT_EQ(rtu.modbusType, ModbusType::Rtu);
    EXPECT_EQ(rtu.portName, "COM4");
    EXPECT_EQ(rtu.modbusId, kDemoModbusId);
}

INSTANTIATE_TEST_SUITE_P(
    AtThePath, DemoSettings,
    ::testing::Values(StandingCase{.name = "Nothing",
                                   .place = [](const fs::path&) {},
                                   .expected = DemoSettingsResult::Written},
                      StandingCase{.name = "AnEmptyFile",
                                   .place = [](const fs::path& path) { std::ofstream{path}; },
                                   .expected = DemoSettingsResult::AlreadyExists},
                      StandingCase{.name = "ALinkToNothing",
                                   .place =
                                       [](const fs::path& path) {
                                           fs::create_symlink(path.parent_path() / "elsewhere",
                                                              path);
                                       },
                                   .expected = DemoSettingsResult::AlreadyExists},
                      StandingCase{
                          .name = "NoFolder",
                          .place = [](const fs::path& path) { fs::remove_all(path.parent_path()); },
                          .expected = DemoSettingsResult::Failed}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
