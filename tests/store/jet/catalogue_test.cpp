// The catalogue: each sample's tables as its README lists them, each at a definition page;
// and a new database's catalogue rows reading back as its tables, user tables apart.
#include <gtest/gtest.h>

#include <map>

#include "jet/create.h"
#include "jet_sample_tables.h"
#include "jet_samples.h"

namespace varnix {
namespace {

using Names = std::vector<std::string>;

Names UserTables(const std::vector<JetCatalogueEntry>& entries) {
    Names names;
    for (const JetCatalogueEntry& entry : entries) {
        if (entry.user) {
            names.push_back(entry.name);
        }
    }
    return names;
}

TEST(JetCatalogue, EverySampleNamesItsTablesAtTheirDefinitions) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const std::map<std::string, Names> special{
        {"generic_access97_jet3.mdb", {"Table1", "Table2", "Table3", "Table4"}},
        {"generic_access2000_jet4.mdb", {"Table"}},
        {"settings_no_pcong.mdb", {"phone"}},
    };
    for (const testing::JetSample& sample : testing::OpenJetSamples(*folder)) {
        SCOPED_TRACE(sample.name);
        const std::vector<JetCatalogueEntry> entries =
            ReadJetCatalogue(sample.file.Pages(), sample.file.TextForm());
        const auto named = special.find(sample.name);
        const Names user = named != special.end() ? named->second : Names{"phone", "pcong"};
        EXPECT_EQ(UserTables(entries), user);
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries.front().name, "MSysObjects");
        EXPECT_EQ(entries.front().definition, kJetCatalogueDefinition);
        for (const JetCatalogueEntry& entry : entries) {
            EXPECT_EQ(sample.file.Pages().Page(entry.definition)[0], kJetDefinitionPage)
                << entry.name;
            EXPECT_EQ(entry.user, entry.name.rfind("MSys", 0) != 0) << entry.name;
        }
    }
}

TEST(JetCatalogue, ANewCatalogueReadsBackAsItsTables) {
    const JetNewTable phone{"phone",
                            {{"id", JetNewColumn::Type::LongInteger, 0, false},
                             {"phone", JetNewColumn::Type::Text, 40, true}}};
    const JetNewTable settings{"Einstellungen",
                               {{"time", JetNewColumn::Type::LongInteger, 0, true}}};
    const JetFile file(CreateJetDatabase({phone, settings}, 46000.5));
    const std::vector<JetCatalogueEntry> entries = ReadJetCatalogue(file.Pages(), file.TextForm());
    Names all;
    for (const JetCatalogueEntry& entry : entries) {
        all.push_back(entry.name);
    }
    EXPECT_EQ(all, (Names{"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships",
                          "MSysAccessObjects", "phone", "Einstellungen"}));
    EXPECT_EQ(UserTables(entries), (Names{"phone", "Einstellungen"}));
    EXPECT_EQ(ReadJetTableDef(file.Pages(), entries[5].definition).columns.at(1).name, "phone");
    EXPECT_EQ(ReadJetTableDef(file.Pages(), entries[6].definition).columns.at(0).name, "time");
}

}  // namespace
}  // namespace varnix
