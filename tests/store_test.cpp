// The settings store on its own, without the window: a work file made from the template
// keeps what was saved, and a genuine Access file is read through the Jet reader, both
// under names outside the ANSI code page. This is the store's test in the Windows build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "file_copy.h"
#include "jet_samples.h"
#include "jet_settings.h"
#include "map_values.h"
#include "settings_file.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

using Values = testing::MapValues;

class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / ("varnix-store-" + std::string(info->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // A UTF-8 path in the test's folder, its name outside the ANSI code page ("Жπ").
    std::string OutsideCodePage(const char* suffix) const {
        return folder_.string() + static_cast<char>(fs::path::preferred_separator) +
               "\xD0\x96\xCF\x80" + suffix;
    }

    fs::path folder_;
};

TEST_F(StoreTest, WorkFileMadeFromTheTemplateKeepsWhatWasSaved) {
    const std::string work = OutsideCodePage(".mdb");
    ASSERT_TRUE(CopyFileNoOverwrite(VARNIX_TEMPLATE, work));

    Values saved;
    saved.phones = {{1, "0123456"}, {250, "7093"}, {500, "\u00e9\u00ff"}};
    saved.timeout = "42";
    saved.external = true;
    AdoQuery query;
    SaveSettings(query, work, saved);

    Values loaded;
    LoadSettings(query, work, loaded);
    for (int slot = 1; slot <= 500; ++slot) {
        EXPECT_EQ(loaded.PhoneText(slot), saved.PhoneText(slot)) << "slot " << slot;
    }
    EXPECT_EQ(loaded.timeout, "42");
    EXPECT_TRUE(loaded.external);
}

TEST_F(StoreTest, AccessFileIsReadThroughTheJetReader) {
    VARNIX_NEED_JET_SAMPLES(samples);
    const std::string copy = OutsideCodePage("-small.mdb");
    ASSERT_TRUE(CopyFileNoOverwrite((*samples / "settings_small.mdb").string(), copy));
    Values loaded;
    LoadJetSettings(copy, loaded);
    EXPECT_EQ(loaded.Filled(), (std::map<int, std::string>{{3, "333"}}));
    EXPECT_EQ(loaded.timeout, "5");
    EXPECT_TRUE(loaded.external);
}

}  // namespace
}  // namespace varnix
