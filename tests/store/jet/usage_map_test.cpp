// Usage maps: in every sample each table's maps name exactly the pages that name the table
// and the file's map names none of them free; bits set and cleared read back, a reference
// map growing a map page where it had none, an inline map refusing a page it cannot cover.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "jet/error.h"
#include "jet/usage_map.h"
#include "jet_sample_tables.h"
#include "jet_samples.h"

namespace varnix {
namespace {

using Pages = std::vector<std::uint32_t>;

TEST(JetUsageMap, EveryMapOfEverySampleNamesExactlyThePagesOfItsTable) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const auto samples = testing::OpenJetSamples(*folder);
    std::size_t pagesNamed = 0;
    for (const testing::JetSampleTable& table : testing::JetSampleTables(samples)) {
        SCOPED_TRACE(table.Name());
        const JetPages& pages = table.sample->file.Pages();
        const JetLayout& layout = pages.Layout();
        Pages data, index;
        for (std::uint32_t page = 0; page < pages.Count(); ++page) {
            const std::uint8_t* bytes = pages.Page(page);
            if (bytes[0] == kJetDataPage && JetU32(bytes + layout.dataOwner) == table.def.page) {
                data.push_back(page);
            }
            if ((bytes[0] == kJetIndexNodePage || bytes[0] == kJetIndexLeafPage) &&
                JetU32(bytes + layout.indexOwner) == table.def.page) {
                index.push_back(page);
            }
        }
        const JetUsageMap owned(pages, table.def.ownedPages);
        EXPECT_EQ(owned.Pages(), data);
        for (const std::uint32_t page : JetUsageMap(pages, table.def.freePages).Pages()) {
            EXPECT_TRUE(owned.Contains(page)) << page;
        }
        std::set<std::uint32_t> indexed;
        for (const JetRealIndex& real : table.def.realIndexes) {
            const Pages own = JetUsageMap(pages, real.usageMap).Pages();
            indexed.insert(own.begin(), own.end());
        }
        EXPECT_EQ(Pages(indexed.begin(), indexed.end()), index);
        const JetUsageMap global(pages, kJetGlobalUsageMap);
        for (const std::uint32_t page : data) {
            EXPECT_FALSE(global.Contains(page)) << page;
        }
        pagesNamed += data.size() + index.size();
    }
    EXPECT_GT(pagesNamed, 250u);
}

TEST(JetUsageMap, BitsSetAndClearedReadBackWhereTheMapCanHoldThem) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const JetFile file = JetFile::Open((*folder / "settings_small.mdb").string());
    JetPages pages = file.Pages();
    const JetTableDef phone = ReadJetTableDef(pages, file.TableDefinition("phone"));
    // The phone table's map lists map pages, each for 8 * 4092 pages; the second stretch
    // has none yet.
    const std::uint32_t far = 8 * 4092 + 5;
    JetUsageMap owned(pages, phone.ownedPages);
    ASSERT_EQ(owned.StoragePages().size(), 2u);
    const std::uint32_t count = pages.Count();
    owned.Set(pages, far, false);  // no map page needed to clear a bit
    EXPECT_EQ(pages.Count(), count);
    owned.Set(pages, far, true);
    owned.Set(pages, 28, false);
    const JetUsageMap grown(pages, phone.ownedPages);
    EXPECT_EQ(grown.Pages(), (Pages{32, 33, 34, 35, 36, far}));
    EXPECT_EQ(grown.StoragePages().size(), 3u);
    ASSERT_EQ(pages.Count(), count + 1);  // the new map page, its bitmap after 4 bytes
    EXPECT_EQ(pages.Page(count)[0], kJetUsageMapPage);
    EXPECT_EQ(pages.Page(count)[4], 1 << 5);
    owned.Set(pages, far, false);
    EXPECT_FALSE(JetUsageMap(pages, phone.ownedPages).Contains(far));

    // The catalogue's map holds its bitmap in its own record, for the first pages only.
    const JetTableDef catalogue = ReadJetTableDef(pages, 2);
    JetUsageMap inlineMap(pages, catalogue.ownedPages);
    const std::uint32_t last = 8 * 64 - 1;  // 64 bytes after the record's header
    ASSERT_TRUE(inlineMap.Covers(last));
    ASSERT_FALSE(inlineMap.Covers(last + 1));
    inlineMap.Set(pages, last, true);
    EXPECT_EQ(JetUsageMap(pages, catalogue.ownedPages).Pages(), (Pages{14, last}));
    EXPECT_THROW(inlineMap.Set(pages, last + 1, true), JetError);

    // A page given back is the next one handed out.
    const std::uint32_t page = AllocateJetPage(pages);
    EXPECT_EQ(page, pages.Count() - 1);
    EXPECT_FALSE(JetUsageMap(pages, kJetGlobalUsageMap).Contains(page));
    pages.MutablePage(page)[0] = kJetDataPage;
    ReleaseJetPage(pages, page);
    EXPECT_TRUE(JetUsageMap(pages, kJetGlobalUsageMap).Contains(page));
    EXPECT_EQ(pages.Page(page)[0], 0);
    EXPECT_EQ(AllocateJetPage(pages), page);
}

}  // namespace
}  // namespace varnix
