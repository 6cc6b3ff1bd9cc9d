// A table's rows written anew: every table of every sample takes its own rows back in
// reverse order; a table grows onto pages the file hands out and gives them back when it
// shrinks; the page maps and each page's free space stay true throughout.
#include <gtest/gtest.h>

#include <algorithm>

#include "jet/table_rows.h"
#include "jet/usage_map.h"
#include "jet_sample_tables.h"
#include "jet_samples.h"

namespace varnix {
namespace {

using Rows = std::vector<std::vector<std::uint8_t>>;

// The stored bytes of each row, in the order a table scan reads them.
Rows StoredRows(const JetPages& pages, const JetTableDef& def) {
    Rows rows;
    for (const JetStoredRow& row : ReadJetTableRows(pages, def)) {
        rows.push_back(EncodeJetRow(pages.Layout(), def, row.fields));
    }
    return rows;
}

// The maps name exactly the table's data pages; a page lacks room only when it is full.
void ExpectPagesTrue(const JetPages& pages, const JetTableDef& def) {
    const std::vector<std::uint32_t> data = JetTableDataPages(pages, def);
    EXPECT_EQ(JetUsageMap(pages, def.ownedPages).Pages(), data);
    const JetUsageMap free(pages, def.freePages);
    const JetUsageMap global(pages, kJetGlobalUsageMap);
    for (const std::uint32_t page : data) {
        EXPECT_EQ(JetU16(pages.Page(page) + pages.Layout().dataFreeSpace),
                  JetDataPageGap(pages, page));
        EXPECT_FALSE(global.Contains(page)) << page;
    }
    for (const std::uint32_t page : data) {
        EXPECT_EQ(free.Contains(page), page == data.back()) << page;  // the others are full
    }
}

TEST(JetTableRows, EveryTableTakesItsRowsBackInReverseOrder) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const auto samples = testing::OpenJetSamples(*folder);
    for (const testing::JetSampleTable& table : testing::JetSampleTables(samples)) {
        SCOPED_TRACE(table.Name());
        JetPages pages = table.sample->file.Pages();
        JetTableDef def = table.def;
        Rows rows = StoredRows(pages, def);
        std::reverse(rows.begin(), rows.end());
        const std::vector<JetRowId> placed = WriteJetTableRows(pages, def, rows);
        WriteJetTableCounts(pages, def);
        EXPECT_EQ(StoredRows(pages, def), rows);
        std::vector<JetRowId> read;
        for (const JetStoredRow& row : ReadJetTableRows(pages, def)) {
            read.push_back(row.at);
        }
        EXPECT_EQ(read, placed);
        ExpectPagesTrue(pages, def);
    }
}

TEST(JetTableRows, ATableGrowsOntoNewPagesAndGivesThemBack) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const JetFile file = JetFile::Open((*folder / "write_full500_indexed.mdb").string());
    JetPages pages = file.Pages();
    JetTableDef def = ReadJetTableDef(pages, file.TableDefinition("phone"));
    const Rows original = StoredRows(pages, def);
    const std::vector<std::uint32_t> before = JetTableDataPages(pages, def);
    // A page below the table's own given back (an index's): taken first, yet the rows must
    // still read in their order.
    ASSERT_LT(27u, before.front());
    ReleaseJetPage(pages, 27);
    Rows many;
    for (int copy = 0; copy < 6; ++copy) {
        many.insert(many.end(), original.begin(), original.end());
    }
    WriteJetTableRows(pages, def, many);
    const std::vector<std::uint32_t> grown = JetTableDataPages(pages, def);
    EXPECT_EQ(StoredRows(pages, def), many);
    EXPECT_GT(grown.size(), before.size());
    EXPECT_GT(pages.Count(), file.Pages().Count());
    ExpectPagesTrue(pages, def);

    for (const std::size_t count : {std::size_t{1}, std::size_t{0}}) {
        const Rows few(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(count));
        WriteJetTableRows(pages, def, few);
        EXPECT_EQ(StoredRows(pages, def), few);
        EXPECT_EQ(JetTableDataPages(pages, def).size(), count);
        ExpectPagesTrue(pages, def);
    }
    const JetUsageMap global(pages, kJetGlobalUsageMap);
    for (const std::uint32_t page : grown) {
        EXPECT_TRUE(global.Contains(page)) << page;
        EXPECT_EQ(pages.Page(page)[0], 0) << page;
    }
}

}  // namespace
}  // namespace varnix
