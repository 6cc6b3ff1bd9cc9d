// The row codec against every stored row of every sample, system tables too: each row
// decodes, and its fields encoded anew give the row's own bytes.
#include <gtest/gtest.h>

#include "jet/error.h"
#include "jet/row.h"
#include "jet/table_rows.h"
#include "jet_sample_tables.h"
#include "jet_samples.h"

namespace varnix {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(JetRow, EveryStoredRowEncodesBackToItsOwnBytes) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const auto samples = testing::OpenJetSamples(*folder);
    std::size_t rows = 0;
    for (const testing::JetSampleTable& table : testing::JetSampleTables(samples)) {
        SCOPED_TRACE(table.Name());
        const JetPages& pages = table.sample->file.Pages();
        for (const JetStoredRow& row : ReadJetTableRows(pages, table.def)) {
            const JetPages::RowSpan span = pages.Row(row.at);
            const std::uint8_t* data = pages.Page(row.at.page);
            const Bytes stored(data + span.start, data + span.end);
            const Bytes encoded = EncodeJetRow(pages.Layout(), table.def, row.fields);
            EXPECT_EQ(encoded, stored) << "row " << row.at.page << "." << int{row.at.row};
            ++rows;
        }
    }
    EXPECT_GT(rows, 1000u);
}

// A row that contradicts itself is damage; a row the version cannot keep exactly is
// refused, to the byte.
TEST(JetRow, DamagedAndOverlongRowsAreRefused) {
    VARNIX_NEED_JET_SAMPLES(folder);
    for (const char* name : {"write_extra_columns.mdb", "generic_access97_jet3.mdb"}) {
        SCOPED_TRACE(name);
        const JetFile file = JetFile::Open((*folder / name).string());
        const JetTableDef def =
            ReadJetTableDef(file.Pages(), file.TableDefinition(file.TableNames().front()));
        const JetLayout& layout = file.Pages().Layout();
        const std::vector<JetStoredRow> rows = ReadJetTableRows(file.Pages(), def);
        ASSERT_FALSE(rows.empty());
        const std::vector<JetField>& fields = rows.front().fields;
        const Bytes row = EncodeJetRow(layout, def, fields);

        // The offset table's end of the variable data (before the column starts, the
        // count and the null mask) pointed past the row.
        Bytes damaged = row;
        damaged[damaged.size() - (def.maxColumns + 7) / 8 -
                layout.rowCountBytes * (def.varColumns + 2)] = 0xff;
        EXPECT_THROW(DecodeJetRow(layout, def, damaged.data(), damaged.size()), JetError);

        // The longest row: below the jump tables of Access 97, else what a page holds.
        const std::size_t longest = layout.rowJumpTableFrom ? 255 : JetMaxRowSize(layout);
        std::vector<JetField> longer = fields;
        JetField& text =
            longer.at(*JetColumnNamed(def.columns, layout.version == 0 ? "A" : "phone"));
        text.bytes.resize(text.bytes.size() + longest - row.size(), 'x');
        EXPECT_EQ(EncodeJetRow(layout, def, longer).size(), longest);
        text.bytes.push_back('x');
        EXPECT_THROW(EncodeJetRow(layout, def, longer), JetError);
    }
}

}  // namespace
}  // namespace varnix
