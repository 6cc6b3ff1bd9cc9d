#include "create.h"

#include <algorithm>
#include <stdexcept>

#include "catalogue.h"
#include "error.h"
#include "header_page.h"
#include "index_pages.h"
#include "properties.h"
#include "table_def.h"
#include "table_index.h"
#include "table_rows.h"
#include "usage_map.h"

namespace varnix {

namespace {

constexpr JetTextForm kNewFileText{kJet4Layout.text, kJetNewFileCodePage};
constexpr std::uint32_t kHeaderPage = 0;
constexpr std::uint32_t kGlobalMapPage = 1;  // it names itself as its owner, as in Access files

// A usage-map record: its type, a first page (inline) or the first map page (reference), then
// 64 bytes: an inline map's bitmap, or a reference map's further map pages.
constexpr std::size_t kMapRecordSize = 69;
constexpr std::size_t kMapBitmapStart = 5;
constexpr std::uint8_t kInlineMap = 0;
constexpr std::uint8_t kReferenceMap = 1;

// A data page for usage-map records, `owner` in its header: 0 on the tables' map pages.
void StartMapPage(JetPages& pages, std::uint32_t page, std::uint32_t owner) {
    std::uint8_t stored[4];
    JetPutU32(stored, owner);
    pages.InitDataPage(page, stored);
}

// An inline map of the pages from 0 on, with the bits of `used` set.
std::vector<std::uint8_t> InlineMap(const std::vector<std::uint32_t>& used) {
    std::vector<std::uint8_t> record(kMapRecordSize, 0);
    record[0] = kInlineMap;
    for (const std::uint32_t page : used) {
        record.at(kMapBitmapStart + page / 8) |= static_cast<std::uint8_t>(1u << (page % 8));
    }
    return record;
}

// The tables' usage-map records, on data pages of their own added as they fill.
class MapRecords {
  public:
    explicit MapRecords(JetPages& pages) : pages_(pages) {}
    std::uint32_t Add(const std::vector<std::uint8_t>& record) {
        if (page_ == 0 || !pages_.RowFits(page_, record.size())) {
            page_ = pages_.Append();
            StartMapPage(pages_, page_, 0);
        }
        return JetRowId{page_, pages_.AddRow(page_, record)}.Pointer();
    }
    std::uint32_t Inline(const std::vector<std::uint32_t>& used = {}) {
        return Add(InlineMap(used));
    }
    // A map that lists map pages, none yet: it grows with the table beyond 512 pages.
    std::uint32_t Reference() {
        std::vector<std::uint8_t> record(kMapRecordSize, 0);
        record[0] = kReferenceMap;
        return Add(record);
    }

  private:
    JetPages& pages_;
    std::uint32_t page_ = 0;
};

// Page 1: the file's map, a set bit marking a free page, every page from the end of the
// file on free; then an empty second record, as Access keeps one there.
void WriteGlobalMap(JetPages& pages) {
    StartMapPage(pages, kGlobalMapPage, kGlobalMapPage);
    std::vector<std::uint32_t> free;
    for (std::uint32_t page = pages.Count(); page < (kMapRecordSize - kMapBitmapStart) * 8;
         ++page) {
        free.push_back(page);
    }
    if (JetRowId{kGlobalMapPage, pages.AddRow(kGlobalMapPage, InlineMap(free))}.Pointer() !=
        kJetGlobalUsageMap) {
        throw std::logic_error("the file's usage map is not the first record of page 1");
    }
    pages.AddRow(kGlobalMapPage, std::vector<std::uint8_t>(kMapRecordSize, 0));
}

JetNewTableDef DefinitionOf(const JetTableSchema& schema, std::uint32_t page) {
    JetNewTableDef table;
    table.system = schema.system;
    JetTableDef& def = table.def;
    def.page = page;
    def.columns = schema.columns;
    def.realIndexes = schema.realIndexes;
    def.logicalIndexes = schema.logicalIndexes;
    def.maxColumns = static_cast<std::uint16_t>(def.columns.size());
    def.varColumns = static_cast<std::uint16_t>(std::count_if(
        def.columns.begin(), def.columns.end(), [](const JetColumnDef& c) { return !c.Fixed(); }));
    return table;
}

// Writes, for each index of the table, how many different keys its rows give.
void CountIndexKeys(JetPages& pages, std::uint32_t definition) {
    const JetTableDef def = ReadJetTableDef(pages, definition);
    const std::vector<JetStoredRow> rows = ReadJetTableRows(pages, def);
    std::vector<std::uint32_t> counts;
    for (const JetRealIndex& index : def.realIndexes) {
        const std::vector<JetIndexEntry> entries =
            JetIndexEntriesFor(pages, kNewFileText, def, index, rows);
        std::uint32_t keys = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            keys += i == 0 || entries[i].key != entries[i - 1].key ? 1 : 0;
        }
        counts.push_back(keys);
    }
    WriteJetIndexKeyCounts(pages, def, counts);
}

}  // namespace

double JetDateOf(std::time_t time) {
    constexpr double kSecondsADay = 86400;
    constexpr double kDaysTo1970 = 25569;  // from 30 December 1899
    return static_cast<double>(time) / kSecondsADay + kDaysTo1970;
}

std::vector<std::uint8_t> CreateJetDatabase(const std::vector<JetNewTable>& tables,
                                            double created) {
    std::vector<JetTableSchema> schemas = JetSystemTableSchemas();
    for (const JetNewTable& table : tables) {
        schemas.push_back(JetUserTableSchema(table));
    }
    // Pages in order: the header, the file's map, the definitions (the catalogue's on page
    // 2), the root of each index, then the usage-map records.
    JetPages pages({}, kJet4Layout);
    pages.Append();
    pages.Append();
    std::vector<JetNewTableDef> definitions;
    for (const JetTableSchema& schema : schemas) {
        definitions.push_back(DefinitionOf(schema, pages.Append()));
    }
    for (JetNewTableDef& table : definitions) {
        for (JetRealIndex& index : table.def.realIndexes) {
            index.firstPage = pages.Append();
        }
    }
    MapRecords maps(pages);
    for (JetNewTableDef& table : definitions) {
        // Access's own tables list their pages inline; a user table, like one Access makes,
        // by map pages.
        table.def.ownedPages = table.system ? maps.Inline() : maps.Reference();
        table.def.freePages = maps.Inline();
        for (JetRealIndex& index : table.def.realIndexes) {
            index.usageMap = maps.Inline({index.firstPage});
        }
        for (const JetColumnDef& column : table.def.columns) {
            if (JetColumnTypeOf(column.type).longValue) {
                const std::uint32_t owned = maps.Inline();
                table.longValueMaps.push_back({column.number, owned, maps.Inline()});
            }
        }
    }
    WriteGlobalMap(pages);

    const auto noNewPage = []() -> std::uint32_t {
        throw std::logic_error("an empty index takes its root page alone");
    };
    std::vector<JetCatalogueTable> catalogue;
    for (std::size_t t = 0; t < definitions.size(); ++t) {
        const JetNewTableDef& table = definitions[t];
        WriteJetTableDefinition(pages, table);
        for (const JetRealIndex& index : table.def.realIndexes) {
            WriteJetIndex(pages, table.def.page, index.firstPage, {}, {}, noNewPage);
        }
        catalogue.push_back({schemas[t].name, table.def.page,
                             JetRequiredColumnsProperties(schemas[t].requiredColumns)});
    }
    WriteJet4HeaderPage(pages.MutablePage(kHeaderPage), created);

    JetTableDef objects = ReadJetTableDef(pages, definitions[0].def.page);
    JetTableDef aces = ReadJetTableDef(pages, definitions[1].def.page);
    const JetCatalogueRows rows = JetNewCatalogueRows(objects, aces, catalogue, created);
    ReplaceJetTableRows(pages, kNewFileText, objects, rows.objects);
    ReplaceJetTableRows(pages, kNewFileText, aces, rows.aces);
    for (const JetNewTableDef& table : definitions) {
        if (!table.def.realIndexes.empty()) {
            CountIndexKeys(pages, table.def.page);
        }
    }
    return std::move(pages).Bytes();
}

}  // namespace varnix
