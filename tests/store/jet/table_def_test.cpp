// Table definitions: every definition of every Access 2000 sample, system tables too,
// written anew on a page of its own reads back to the same definition; its counts written
// in place read back; an Access 97 file takes no new definition.
#include <gtest/gtest.h>

#include <sstream>

#include "jet/error.h"
#include "jet/table_def.h"
#include "jet_sample_tables.h"
#include "jet_samples.h"

namespace varnix {
namespace {

// Every field the reader gives, but the page, in one text to compare and show.
std::string Described(const JetTableDef& def) {
    std::ostringstream out;
    out << "rows " << def.rowCount << " auto " << def.autoNumber << " columns " << def.maxColumns
        << "/" << def.varColumns << " maps " << def.ownedPages << "/" << def.freePages << "\n";
    for (const JetColumnDef& c : def.columns) {
        out << c.name << " type " << int{c.type} << " #" << c.number << " var " << c.varIndex
            << " at " << c.fixedOffset << " length " << c.length << " flags " << int{c.flags} << "/"
            << int{c.miscFlags} << " sort " << c.sortOrder << "/" << int{c.sortVersion} << "\n";
    }
    for (const JetRealIndex& index : def.realIndexes) {
        out << "real";
        for (const JetRealIndex::Part& part : index.parts) {
            out << " " << part.column << (part.ascending ? "+" : "-");
        }
        out << " map " << index.usageMap << " first " << index.firstPage << " flags "
            << int{index.flags} << "\n";
    }
    for (const JetLogicalIndex& index : def.logicalIndexes) {
        out << index.name << " #" << index.number << " real " << index.real << " type "
            << int{index.type} << "\n";
    }
    return out.str();
}

TEST(JetTableDef, EverySampleDefinitionWrittenAnewReadsBackAlike) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const auto samples = testing::OpenJetSamples(*folder);
    std::size_t written = 0;
    for (const testing::JetSampleTable& table : testing::JetSampleTables(samples)) {
        SCOPED_TRACE(table.Name());
        JetPages pages = table.sample->file.Pages();
        JetNewTableDef fresh{table.def, !table.entry.user, {}};
        fresh.def.page = pages.Append();
        if (!table.sample->file.IsJet4()) {
            EXPECT_THROW(WriteJetTableDefinition(pages, fresh), JetError);
            continue;
        }
        WriteJetTableDefinition(pages, fresh);
        EXPECT_EQ(Described(ReadJetTableDef(pages, fresh.def.page)), Described(table.def));
        ++written;

        fresh.def.rowCount += 70000;
        fresh.def.autoNumber += 3;
        WriteJetTableCounts(pages, fresh.def);
        EXPECT_EQ(Described(ReadJetTableDef(pages, fresh.def.page)), Described(fresh.def));

        // The fields the samples leave alike: other sort versions, descending index parts.
        for (JetColumnDef& column : fresh.def.columns) {
            ++column.sortVersion;
        }
        for (JetRealIndex& index : fresh.def.realIndexes) {
            index.parts.front().ascending = !index.parts.front().ascending;
        }
        WriteJetTableDefinition(pages, fresh);
        EXPECT_EQ(Described(ReadJetTableDef(pages, fresh.def.page)), Described(fresh.def));
    }
    EXPECT_GT(written, 90u);
}

}  // namespace
}  // namespace varnix
