// The stored port choice on its own: the index as a little-endian DWORD, an index outside
// the list selecting no name, and a value of another kind refused in the registry's words.
#include "port_choice.h"

#include <gtest/gtest.h>

#include "config_sandbox.h"

namespace varnix {
namespace {

TEST(PortChoiceTest, StoredIndexSelectsItsNameAndOtherValuesAreRefused) {
    testing::ConfigSandbox sandbox;
    EXPECT_EQ(StoredPortIndex(), std::nullopt);
    EXPECT_EQ(RememberedPortName(), "COM1");
    const auto store = [&](const std::string& value) {
        sandbox.WriteHive("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\ZUR\\Pellion]\n" + value +
                          "\n");
    };
    for (auto [value, index, name] :
         {std::tuple{"dword:0000000e", 14, "COM15"}, std::tuple{"dword:0000000f", 15, ""},
          std::tuple{"dword:ff00fffe", -16711682, ""}}) {
        store(std::string("\"COM1\"=") + value);
        EXPECT_EQ(StoredPortIndex(), index) << value;
        EXPECT_EQ(RememberedPortName(), name) << value;
    }
    for (auto [value, error] :
         {std::pair{"\"COM1\"=\"3\"", "Invalid data type for 'COM1'"},
          std::pair{"\"COM1\"=hex:01,02,03,04,05", "Failed to get data for 'COM1'"},
          std::pair{"\"Other\"=dword:00000001", "Failed to get data for 'COM1'"}}) {
        store(value);
        try {
            RememberedPortName();
            ADD_FAILURE() << value << " was taken";
        } catch (const std::runtime_error& refused) {
            EXPECT_STREQ(refused.what(), error);
        }
    }
}

}  // namespace
}  // namespace varnix
