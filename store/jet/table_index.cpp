#include "table_index.h"

#include <algorithm>
#include <string>

#include "error.h"
#include "index_key.h"
#include "usage_map.h"

namespace varnix {

namespace {

std::string IndexName(const JetTableDef& def, const JetRealIndex& index) {
    for (const JetLogicalIndex& logical : def.logicalIndexes) {
        if (logical.real < def.realIndexes.size() && &def.realIndexes[logical.real] == &index) {
            return "\"" + logical.name + "\"";
        }
    }
    return "an index";
}

}  // namespace

std::vector<JetIndexEntry> JetIndexEntriesFor(const JetPages& pages, JetTextForm form,
                                              const JetTableDef& def, const JetRealIndex& index,
                                              const std::vector<JetStoredRow>& rows) {
    struct Keyed {
        JetIndexEntry entry;
        bool hasNull = false;  // rows with a null key part may repeat a unique key
    };
    std::vector<Keyed> keyed;
    keyed.reserve(rows.size());
    for (const JetStoredRow& row : rows) {
        Keyed item{{{}, row.at}, false};
        bool allNull = true;
        for (const JetRealIndex::Part& part : index.parts) {
            const auto position = JetColumnNumbered(def.columns, part.column);
            if (!position) {
                JetDamaged("an index names a column the table does not have");
            }
            const JetColumnDef& column = def.columns[*position];
            const JetValue value = DecodeJetValue(pages, form, column, row.fields[*position]);
            const bool null = value.kind == JetValue::Kind::Null;
            allNull = allNull && null;
            item.hasNull = item.hasNull || null;
            auto key = JetIndexKeyPart(column, value, part.ascending, pages.Layout());
            if (!key) {
                JetUnsupported("the index " + IndexName(def, index) + " on the column " +
                               column.name + " cannot be kept exact for the value \"" +
                               (value.kind == JetValue::Kind::Text
                                    ? value.text
                                    : std::to_string(value.integer)) +
                               "\"");
            }
            if (item.entry.key.empty()) {
                item.entry.key = std::move(*key);
            } else {
                item.entry.key.insert(item.entry.key.end(), key->begin(), key->end());
            }
        }
        if (allNull && index.IgnoreNulls()) {
            continue;  // such an index leaves out rows that have no key at all
        }
        keyed.push_back(std::move(item));
    }
    std::sort(keyed.begin(), keyed.end(),
              [](const Keyed& a, const Keyed& b) { return a.entry < b.entry; });
    std::vector<JetIndexEntry> entries;
    entries.reserve(keyed.size());
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        if (index.Unique() && i > 0 && !keyed[i].hasNull &&
            keyed[i].entry.key == entries.back().key) {
            JetUnsupported("two rows would share one key of the unique index " +
                           IndexName(def, index));
        }
        entries.push_back(std::move(keyed[i].entry));
    }
    return entries;
}

std::vector<JetIndexTree> ReadJetTableIndexes(const JetPages& pages, const JetTableDef& def) {
    std::vector<JetIndexTree> trees;
    for (const JetRealIndex& index : def.realIndexes) {
        trees.push_back(ReadJetIndex(pages, def.page, index.firstPage));
    }
    return trees;
}

void RebuildJetTableIndexes(JetPages& pages, JetTextForm form, const JetTableDef& def,
                            const std::vector<JetIndexTree>& before,
                            const std::vector<JetStoredRow>& rows) {
    for (std::size_t i = 0; i < def.realIndexes.size(); ++i) {
        const JetRealIndex& index = def.realIndexes[i];
        const std::vector<JetIndexEntry> entries =
            JetIndexEntriesFor(pages, form, def, index, rows);
        const auto allocate = [&]() {
            const std::uint32_t page = AllocateJetPage(pages);
            if (index.usageMap != 0) {
                JetUsageMap(pages, index.usageMap).Set(pages, page, true);
            }
            return page;
        };
        const std::vector<std::uint32_t> unused =
            WriteJetIndex(pages, def.page, index.firstPage, entries, before.at(i).pages, allocate);
        for (const std::uint32_t page : unused) {
            if (index.usageMap != 0) {
                JetUsageMap(pages, index.usageMap).Set(pages, page, false);
            }
            ReleaseJetPage(pages, page);
        }
    }
}

void ReplaceJetTableRows(JetPages& pages, JetTextForm form, JetTableDef& def,
                         const std::vector<std::vector<JetField>>& rows) {
    const std::vector<JetIndexTree> indexes = ReadJetTableIndexes(pages, def);
    std::vector<std::vector<std::uint8_t>> encoded;
    encoded.reserve(rows.size());
    for (const std::vector<JetField>& fields : rows) {
        encoded.push_back(EncodeJetRow(pages.Layout(), def, fields));
    }
    const std::vector<JetRowId> placed = WriteJetTableRows(pages, def, encoded);
    std::vector<JetStoredRow> stored;
    stored.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        stored.push_back({placed[i], rows[i]});
    }
    RebuildJetTableIndexes(pages, form, def, indexes, stored);
    WriteJetTableCounts(pages, def);
}

}  // namespace varnix
