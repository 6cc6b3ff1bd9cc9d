// Data pages of both versions filled row by row: each row reads back where it was put, the
// recorded free space stays the gap, and a page takes rows exactly until its room or its
// row numbers run out.
#include <gtest/gtest.h>

#include "jet/error.h"
#include "jet/pages.h"
#include "jet/row.h"
#include "jet/table_rows.h"

namespace varnix {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(JetPages, ADataPageTakesRowsUntilItsRoomOrItsRowNumbersRunOut) {
    for (const JetLayout* layout : {&kJet3Layout, &kJet4Layout}) {
        for (const std::size_t size : {std::size_t{3}, std::size_t{100}}) {
            SCOPED_TRACE("page of " + std::to_string(layout->pageSize) + ", rows of " +
                         std::to_string(size));
            JetPages pages({}, *layout);
            pages.Append();
            const std::uint32_t page = pages.Append();
            pages.MutablePage(page)[layout->pageSize - 1] = 0xee;  // cleared by the start
            pages.InitDataPage(page, {'L', 'V', 'A', 'L'});
            EXPECT_EQ(Bytes(pages.Page(page) + layout->dataOwner,
                            pages.Page(page) + layout->dataOwner + 4),
                      (Bytes{'L', 'V', 'A', 'L'}));
            // An empty page holds the longest row the row codec makes, and no longer one.
            EXPECT_TRUE(pages.RowFits(page, JetMaxRowSize(*layout)));
            EXPECT_FALSE(pages.RowFits(page, JetMaxRowSize(*layout) + 1));
            std::vector<Bytes> rows;
            while (pages.RowFits(page, size)) {
                rows.push_back(Bytes(size, static_cast<std::uint8_t>(rows.size() + 1)));
                EXPECT_EQ(pages.AddRow(page, rows.back()), rows.size() - 1);
                ASSERT_EQ(JetU16(pages.Page(page) + layout->dataFreeSpace),
                          JetDataPageGap(pages, page));
            }
            const std::size_t room = layout->pageSize - layout->dataRowTable;
            EXPECT_EQ(rows.size(), std::min(kJetMaxRowsPerPage, room / (size + 2)));
            ASSERT_EQ(pages.RowCount(page), rows.size());
            for (std::size_t r = 0; r < rows.size(); ++r) {
                const JetPages::RowSpan span = pages.Row({page, static_cast<std::uint8_t>(r)});
                EXPECT_EQ(Bytes(pages.Page(page) + span.start, pages.Page(page) + span.end),
                          rows[r]);
                EXPECT_EQ(span.flags, 0);
            }
            if (rows.size() < kJetMaxRowsPerPage) {
                // The last bytes take one row exactly: its bytes and its offset.
                const std::size_t gap = JetDataPageGap(pages, page);
                EXPECT_TRUE(pages.RowFits(page, gap - 2));
                EXPECT_FALSE(pages.RowFits(page, gap - 1));
                EXPECT_THROW(pages.Row({page, static_cast<std::uint8_t>(rows.size())}), JetError);
            }
            EXPECT_THROW(pages.Page(pages.Count()), JetError);
        }
    }
}

}  // namespace
}  // namespace varnix
