// The whole-file integrity walk: every genuine sample and every new file is sound, and a
// page claimed twice or by nothing is told by its number and its owners.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "jet/create.h"
#include "jet/integrity.h"
#include "jet/usage_map.h"
#include "jet_samples.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string FaultOf(const Bytes& bytes) {
    const JetPageWalk walk = WalkJetPages(JetFile(bytes));
    return walk.fault ? walk.fault->Explained() : "sound";
}

TEST(JetIntegrityTest, SamplesAndNewFilesAreSoundAndDamageIsNamed) {
    VARNIX_NEED_JET_SAMPLES(samples);
    for (const auto& entry : fs::directory_iterator(*samples)) {
        if (entry.path().extension() == ".mdb") {
            EXPECT_EQ(FaultOf(ReadBytes(entry.path())), "sound") << entry.path();
        }
    }
    const JetNewTable phone{"phone", {{"id"}, {"phone", JetNewColumn::Type::Text, 30}}};
    EXPECT_EQ(FaultOf(CreateJetDatabase({phone}, 45000)), "sound");

    const Bytes sample = ReadBytes(*samples / "settings_small.mdb");
    const JetFile file(sample);
    const std::uint32_t definition = file.TableDefinition("phone");
    const JetTableDef def = ReadJetTableDef(file.Pages(), definition);
    const std::uint32_t data = JetUsageMap(file.Pages(), def.ownedPages).Pages().front();

    JetPages freed = file.Pages();  // a data page of phone also marked free
    JetUsageMap(freed, kJetGlobalUsageMap).Set(freed, data, true);
    EXPECT_EQ(FaultOf(freed.Bytes()), "page " + std::to_string(data) +
                                          " belongs both to the file's free pages and to the "
                                          "data of the table phone");

    JetPages grown = file.Pages();  // a page at the end that nothing names
    const std::uint32_t orphan = grown.Append();
    JetUsageMap(grown, kJetGlobalUsageMap).Set(grown, orphan, false);
    EXPECT_EQ(FaultOf(grown.Bytes()),
              "page " + std::to_string(orphan) +
                  " belongs to nothing: neither a table nor the free pages name it");

    JetPages twice = file.Pages();  // the definition page of phone listed among its data
    JetUsageMap(twice, def.ownedPages).Set(twice, definition, true);
    const JetPageWalk walk = WalkJetPages(JetFile(twice.Bytes()));
    ASSERT_TRUE(walk.fault);
    EXPECT_EQ(walk.fault->kind, JetPageFault::Kind::OwnedTwice);
}

}  // namespace
}  // namespace varnix
