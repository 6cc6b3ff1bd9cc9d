// The registry on Windows: the port choice is the REG_DWORD "COM1" of
// HKEY_CURRENT_USER\Software\ZUR\Pellion, where the utility Varnix replaces kept it, so a
// stored choice carries over in both directions.
#include "registry.h"

#include <gtest/gtest.h>

// After registry.h: <windows.h> defines the value type names as macros.
#include <windows.h>

namespace varnix {
namespace {

constexpr char kKeyPath[] = "\\Software\\ZUR\\Pellion";  // as the port dialog names it
constexpr char kSystemPath[] = "Software\\ZUR\\Pellion";

class RegistryWin32Test : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\ZUR"); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\ZUR"); }
};

TEST_F(RegistryWin32Test, ChoiceIsTheDwordOfTheKeyThePreviousUtilityUsed) {
    auto key = RegistryKey::Open(kKeyPath, true);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->WriteInteger("COM1", 12));

    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    ASSERT_EQ(
        RegGetValueA(HKEY_CURRENT_USER, kSystemPath, "COM1", RRF_RT_ANY, &type, &value, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 12u);

    // A choice stored by the previous utility is read back.
    const DWORD stored = 7;
    ASSERT_EQ(
        RegSetKeyValueA(HKEY_CURRENT_USER, kSystemPath, "COM1", REG_DWORD, &stored, sizeof stored),
        ERROR_SUCCESS);
    const auto again = RegistryKey::Open(kKeyPath, false);
    ASSERT_TRUE(again);
    std::uint8_t buffer[4] = {};
    std::uint32_t read = 0;
    std::uint32_t readType = 0;
    ASSERT_TRUE(again->ReadValue("COM1", buffer, read, readType));
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(readType, static_cast<std::uint32_t>(REG_DWORD));
    EXPECT_EQ(buffer[0], 7);
}

TEST_F(RegistryWin32Test, OpeningWithoutCreateFindsNoKeyAndMissingOrLargeValuesAreRefused) {
    EXPECT_FALSE(RegistryKey::Open(kKeyPath, false));
    auto key = RegistryKey::Open(kKeyPath, true);
    ASSERT_TRUE(key);
    EXPECT_TRUE(RegistryKey::Open(kKeyPath, false));

    std::uint8_t buffer[4] = {};
    std::uint32_t size = 0;
    std::uint32_t type = 0;
    EXPECT_FALSE(key->ReadValue("COM1", buffer, size, type));
    const char text[] = "COM12";  // six bytes with its zero
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kSystemPath, "COM1", REG_SZ, text, sizeof text),
              ERROR_SUCCESS);
    EXPECT_FALSE(key->ReadValue("COM1", buffer, size, type));
}

}  // namespace
}  // namespace varnix
