#include "registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "config_sandbox.h"
#include "registry_hive.h"

namespace varnix {
namespace {

const char kKey[] = "\\Software\\ZUR\\Pellion";

TEST(RegistryHiveTest, ParsesAndFormatsEveryValueForm) {
    const std::string text =
        "REGEDIT4\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\ZUR\\Pellion]\r\n"
        "\"COM1\"=dword:0000000e\r\n"
        "\"Say \\\"hi\\\"\"=\"C:\\\\Temp\"\r\n"
        "@=hex:01,02,\\\r\n"
        "  03\r\n"
        "\"Multi\"=hex(7):41,00,00\r\n"
        "[hkey_current_user\\software\\zur\\pellion]\r\n"
        "\"Extra\"=dword:ffffffff\r\n";
    const auto hive = ParseHive(text);
    ASSERT_TRUE(hive);
    ASSERT_EQ(hive->size(), 1u);  // key paths ignore case
    const auto& values = hive->begin()->second.values;
    EXPECT_EQ(values.at("com1"), (RegistryValue{REG_DWORD, {14, 0, 0, 0}}));
    EXPECT_EQ(values.at("Say \"hi\""),
              (RegistryValue{REG_SZ, {'C', ':', '\\', 'T', 'e', 'm', 'p', 0}}));
    EXPECT_EQ(values.at(""), (RegistryValue{REG_BINARY, {1, 2, 3}}));
    EXPECT_EQ(values.at("Multi"), (RegistryValue{7, {0x41, 0, 0}}));
    EXPECT_EQ(values.at("Extra").data, (std::vector<std::uint8_t>{0xff, 0xff, 0xff, 0xff}));

    const auto again = ParseHive(FormatHive(*hive));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->begin()->second.values, values);

    for (const char* bad :
         {"", "REGEDIT5\n", "REGEDIT4\n\"a\"=dword:1\n", "REGEDIT4\n[K]\n\"a\"=dword:1\n",
          "REGEDIT4\n[K]\n\"a\"=hex:zz\n", "REGEDIT4\n[K]\n\"a=\"x\"\n", "REGEDIT4\n[K\n"}) {
        EXPECT_FALSE(ParseHive(bad)) << bad;
    }
}

TEST(RegistryTest, KeysOpenCreateReadAndWrite) {
    testing::ConfigSandbox sandbox;
    EXPECT_EQ(RegistryKey::Open(kKey, false), nullptr);
    auto key = RegistryKey::Open(kKey, true);
    ASSERT_NE(key, nullptr);
    EXPECT_FALSE(std::filesystem::exists(sandbox.Folder() / "user.reg"));
    ASSERT_TRUE(key->WriteInteger("COM1", 2));
    EXPECT_EQ(testing::ConfigSandbox::Read(sandbox.Folder() / "user.reg"),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\ZUR\\Pellion]\n\"COM1\"=dword:00000002\n");

    const auto reopened = RegistryKey::Open(kKey, false);
    ASSERT_NE(reopened, nullptr);
    std::uint8_t data[4] = {};
    std::uint32_t size = 0, type = 0;
    ASSERT_TRUE(reopened->ReadValue("COM1", data, size, type));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(data[0], 2);
    EXPECT_FALSE(reopened->ReadValue("COM2", data, size, type));

    // Other keys and values in the file survive a write.
    sandbox.WriteHive("REGEDIT4\n\n[HKEY_CURRENT_USER\\Other]\n\"Keep\"=\"me\"\n");
    ASSERT_TRUE(RegistryKey::Open(kKey, true)->WriteInteger("COM1", -1));
    const auto hive = ParseHive(testing::ConfigSandbox::Read(sandbox.Folder() / "user.reg"));
    ASSERT_TRUE(hive);
    EXPECT_EQ(hive->at("HKEY_CURRENT_USER\\Other").values.at("Keep").type, REG_SZ);
    EXPECT_EQ(hive->at("HKEY_CURRENT_USER\\Software\\ZUR\\Pellion").values.at("COM1").data,
              (std::vector<std::uint8_t>{0xff, 0xff, 0xff, 0xff}));
}

TEST(RegistryTest, CorruptHiveHoldsNoKeysAndIsKeptAside) {
    testing::ConfigSandbox sandbox;
    const std::string garbage = "this is not a hive\n\x01\x02";
    sandbox.WriteHive(garbage);
    EXPECT_EQ(RegistryKey::Open(kKey, false), nullptr);
    ASSERT_TRUE(RegistryKey::Open(kKey, true)->WriteInteger("COM1", 4));
    EXPECT_EQ(testing::ConfigSandbox::Read(sandbox.Folder() / "user.reg.bak"), garbage);
    EXPECT_NE(RegistryKey::Open(kKey, false), nullptr);

    // A second corrupt file does not replace the first backup.
    sandbox.WriteHive("again not a hive");
    ASSERT_TRUE(RegistryKey::Open(kKey, true)->WriteInteger("COM1", 5));
    EXPECT_EQ(testing::ConfigSandbox::Read(sandbox.Folder() / "user.reg.bak"), garbage);
    EXPECT_EQ(testing::ConfigSandbox::Read(sandbox.Folder() / "user.reg.bak.1"),
              "again not a hive");
}

TEST(RegistryTest, InaccessibleHiveCannotBeOpenedAndUnwritableFolderFailsTheWrite) {
    {
        testing::ConfigSandbox sandbox;
        // The configuration folder cannot be created under a plain file, even by root.
        std::ofstream(sandbox.Root() / "file") << "x";
        setenv("XDG_CONFIG_HOME", (sandbox.Root() / "file").c_str(), 1);
        auto key = RegistryKey::Open(kKey, true);
        ASSERT_NE(key, nullptr);
        EXPECT_FALSE(key->WriteInteger("COM1", 1));
    }
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads and writes any file";
    }
    testing::ConfigSandbox sandbox;
    sandbox.WriteHive(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\ZUR\\Pellion]\n\"COM1\"=dword:00000001\n");
    std::filesystem::permissions(sandbox.Folder() / "user.reg", std::filesystem::perms::owner_read);
    EXPECT_EQ(RegistryKey::Open(kKey, false), nullptr);
    EXPECT_EQ(RegistryKey::Open(kKey, true), nullptr);
}

}  // namespace
}  // namespace varnix
