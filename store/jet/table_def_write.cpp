#include "table_def.h"

#include <algorithm>
#include <string>

#include "error.h"
#include "text.h"

namespace varnix {

namespace {

// Numbers Access writes into every table definition and every index in it, of unknown
// meaning: one in the header, each column and each logical index, another in each real index.
constexpr std::uint32_t kTableMagic = 1625;
constexpr std::uint32_t kRealIndexMagic = 1923;

constexpr std::uint8_t kUserTable = 0x4e;
constexpr std::uint8_t kSystemTable = 0x53;
constexpr std::uint32_t kNoRelatedIndex = 0xffffffff;
constexpr std::size_t kLongValueMapEntry = 10;  // column, owned map, free-space map
constexpr std::size_t kTdefEnd = 2;             // 0xffff closes the definition
// Access records a definition page's free space 8 bytes short of what follows the definition.
constexpr std::size_t kUncountedSpace = 8;

std::vector<std::uint8_t> Ucs2Name(const std::string& name) {
    const auto text = Utf8ToJet4Text(name, false);
    if (!text || text->empty() || text->size() > 0xffff) {
        JetUnsupported("the name \"" + name + "\" cannot be a table, column or index name");
    }
    return *text;
}

class Writer {
  public:
    explicit Writer(std::vector<std::uint8_t>& out) : out_(out) {}
    void U8(std::size_t at, std::uint8_t value) { Room(at, 1)[0] = value; }
    void U16(std::size_t at, std::uint16_t value) { JetPutU16(Room(at, 2), value); }
    void U32(std::size_t at, std::uint32_t value) { JetPutU32(Room(at, 4), value); }
    std::size_t Name(std::size_t at, const std::vector<std::uint8_t>& name) {
        U16(at, static_cast<std::uint16_t>(name.size()));
        std::copy(name.begin(), name.end(), Room(at + 2, name.size()));
        return at + 2 + name.size();
    }

  private:
    std::uint8_t* Room(std::size_t at, std::size_t length) {
        if (out_.size() < at + length) {
            out_.resize(at + length, 0);
        }
        return out_.data() + at;
    }
    std::vector<std::uint8_t>& out_;
};

// The header: the fields the reader reads, and those Access writes besides.
void WriteHeader(Writer& out, const JetLayout& layout, const JetNewDefinitionFields& more,
                 const JetNewTableDef& table) {
    const JetTableDef& def = table.def;
    out.U8(0, kJetDefinitionPage);
    out.U8(1, 0x01);
    out.U32(more.tdefMagic, kTableMagic);
    out.U32(layout.tdefRowCount, def.rowCount);
    out.U32(layout.tdefAutoNumber, def.autoNumber);
    out.U8(more.tdefAutoNumberOn, 1);
    out.U8(more.tdefTableType, table.system ? kSystemTable : kUserTable);
    out.U16(layout.tdefColumnCounts, def.maxColumns);
    out.U16(layout.tdefColumnCounts + 2, def.varColumns);
    out.U16(layout.tdefColumnCounts + 4, static_cast<std::uint16_t>(def.columns.size()));
    out.U32(layout.tdefIndexCounts, static_cast<std::uint32_t>(def.logicalIndexes.size()));
    out.U32(layout.tdefIndexCounts + 4, static_cast<std::uint32_t>(def.realIndexes.size()));
    out.U32(layout.tdefOwnedPages, def.ownedPages);
    out.U32(layout.tdefFreePages, def.freePages);
}

// The column entries from `at` on, then their names; returns where they end.
std::size_t WriteColumns(Writer& out, const JetLayout& layout, const JetNewDefinitionFields& more,
                         const JetTableDef& def, std::size_t at) {
    for (const JetColumnDef& column : def.columns) {
        out.U8(at, column.type);
        out.U32(at + more.columnMagic, kTableMagic);
        out.U16(at + layout.columnNumber, column.number);
        out.U16(at + layout.columnVarIndex, column.varIndex);
        out.U16(at + more.columnNumberAgain, column.number);
        out.U16(at + layout.columnSortOrder, column.sortOrder);
        if (layout.columnSortVersion) {
            out.U8(at + *layout.columnSortVersion, column.sortVersion);
        }
        out.U8(at + layout.columnFlags, column.flags);
        if (layout.columnMiscFlags) {
            out.U8(at + *layout.columnMiscFlags, column.miscFlags);
        }
        out.U16(at + layout.columnFixedOffset, column.fixedOffset);
        out.U16(at + layout.columnLength, column.length);
        at += layout.columnEntry;
    }
    for (const JetColumnDef& column : def.columns) {
        at = out.Name(at, Ucs2Name(column.name));
    }
    return at;
}

// The real index entries, the logical ones and their names; returns where they end.
std::size_t WriteIndexes(Writer& out, const JetLayout& layout, const JetNewDefinitionFields& more,
                         const JetTableDef& def, std::size_t at) {
    for (const JetRealIndex& index : def.realIndexes) {
        if (index.parts.empty() || index.parts.size() > kJetIndexColumnSlots) {
            JetUnsupported("an index must have 1 to 10 columns");
        }
        out.U32(at, kRealIndexMagic);
        for (std::size_t slot = 0; slot < kJetIndexColumnSlots; ++slot) {
            const std::size_t part = at + layout.realIndexColumns + kJetIndexColumnSlot * slot;
            const bool used = slot < index.parts.size();
            out.U16(part, used ? index.parts[slot].column : kJetNoColumn);
            out.U8(part + 2, used && index.parts[slot].ascending ? kJetIndexAscending : 0);
        }
        out.U32(at + layout.realIndexUsageMap, index.usageMap);
        out.U32(at + layout.realIndexFirstPage, index.firstPage);
        out.U8(at + layout.realIndexFlags, index.flags);
        at += layout.realIndexEntry;
    }
    for (const JetLogicalIndex& index : def.logicalIndexes) {
        out.U32(at, kTableMagic);
        out.U32(at + layout.logicalIndexNumber, index.number);
        out.U32(at + layout.logicalIndexReal, index.real);
        out.U32(at + more.logicalRelatedIndex, kNoRelatedIndex);
        out.U8(at + layout.logicalIndexType, index.type);
        at += layout.logicalIndexEntry;
    }
    for (const JetLogicalIndex& index : def.logicalIndexes) {
        at = out.Name(at, Ucs2Name(index.name));
    }
    return at;
}

}  // namespace

void WriteJetTableDefinition(JetPages& pages, const JetNewTableDef& table) {
    const JetLayout& layout = pages.Layout();
    if (!layout.newDefinition) {
        JetUnsupported("Varnix writes new table definitions only into Access 2000 files");
    }
    const JetNewDefinitionFields& more = *layout.newDefinition;
    const JetTableDef& def = table.def;
    std::vector<std::uint8_t> bytes;
    Writer out(bytes);
    WriteHeader(out, layout, more, table);
    // The entry counts stay 0 until the rows are in (WriteJetIndexKeyCounts).
    std::size_t at = layout.tdefBlocks + def.realIndexes.size() * layout.realIndexCountEntry;
    at = WriteColumns(out, layout, more, def, at);
    at = WriteIndexes(out, layout, more, def, at);
    for (const JetNewTableDef::LongValueMaps& maps : table.longValueMaps) {
        out.U16(at, maps.column);
        out.U32(at + 2, maps.ownedPages);
        out.U32(at + 6, maps.freePages);
        at += kLongValueMapEntry;
    }
    out.U16(at, kJetNoColumn);
    at += kTdefEnd;

    if (at > layout.pageSize) {
        JetUnsupported("the definition of a new table does not fit one page");
    }
    out.U32(more.tdefLength, static_cast<std::uint32_t>(at));
    out.U32(layout.tdefNextPage, 0);
    out.U16(more.tdefFreeSpace,
            static_cast<std::uint16_t>(layout.pageSize -
                                       std::min(layout.pageSize, at + kUncountedSpace)));
    bytes.resize(layout.pageSize, 0);
    std::copy(bytes.begin(), bytes.end(), pages.MutablePage(def.page));
}

void WriteJetTableCounts(JetPages& pages, const JetTableDef& def) {
    const JetLayout& layout = pages.Layout();
    std::uint8_t* data = pages.MutablePage(def.page);
    JetPutU32(data + layout.tdefRowCount, def.rowCount);
    JetPutU32(data + layout.tdefAutoNumber, def.autoNumber);
}

void WriteJetIndexKeyCounts(JetPages& pages, const JetTableDef& def,
                            const std::vector<std::uint32_t>& counts) {
    const JetLayout& layout = pages.Layout();
    if (counts.size() != def.realIndexes.size()) {
        JetUnsupported("one key count for each index is needed");
    }
    std::uint8_t* data = pages.MutablePage(def.page);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        JetPutU32(
            data + layout.tdefBlocks + i * layout.realIndexCountEntry + layout.realIndexKeyCount,
            counts[i]);
    }
}

}  // namespace varnix
