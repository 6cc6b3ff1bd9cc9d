// The device's state kept in a file between runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "device_state.h"

namespace varnix {
namespace {

TEST(DeviceStateTest, FileRoundTripAndErrors) {
    const auto folder = std::filesystem::temp_directory_path() / "varnix_device_state_test";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "state.txt").string();
    DeviceState state;
    state.phones[1] = "+123";
    state.phones[500] = "9";
    state.timeoutMs = 59999;
    state.externalDisconnect = true;
    state.password = "0000";
    std::string error;
    ASSERT_TRUE(SaveDeviceState(path, state, error)) << error;
    DeviceState loaded;
    ASSERT_TRUE(LoadDeviceState(path, loaded, error)) << error;
    EXPECT_EQ(loaded.phones, state.phones);
    EXPECT_EQ(loaded.timeoutMs, 59999);
    EXPECT_TRUE(loaded.externalDisconnect);
    EXPECT_EQ(loaded.password, "0000");

    std::ofstream(path) << "1=+1\n501=2\n";
    EXPECT_FALSE(LoadDeviceState(path, loaded, error));
    EXPECT_NE(error.find(":2:"), std::string::npos) << error;
    EXPECT_EQ(loaded.phones[1], "+123");  // left as it was
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace varnix
