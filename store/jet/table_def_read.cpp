#include "table_def.h"

#include <algorithm>
#include <set>

#include "error.h"
#include "text.h"

namespace varnix {

namespace {

// A continuation page's header, which the joined definition leaves out.
constexpr std::size_t kContinuationHeader = 8;

// Bounds-checked reads from the joined definition; any read past its end is damage.
class Cursor {
  public:
    explicit Cursor(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    const std::uint8_t* At(std::size_t offset, std::size_t length) const {
        if (offset > bytes_.size() || length > bytes_.size() - offset) {
            JetDamaged("a table definition runs past its end");
        }
        return bytes_.data() + offset;
    }
    std::uint8_t U8(std::size_t offset) const { return *At(offset, 1); }
    std::uint16_t U16(std::size_t offset) const { return JetU16(At(offset, 2)); }
    std::uint32_t U32(std::size_t offset) const { return JetU32(At(offset, 4)); }

  private:
    const std::vector<std::uint8_t>& bytes_;
};

// The definition's pages joined: the first whole, each continuation after its header.
std::vector<std::uint8_t> DefinitionBytes(const JetPages& pages, std::uint32_t first) {
    std::vector<std::uint8_t> out;
    std::set<std::uint32_t> seen;
    for (std::uint32_t next = first; next != 0;) {
        const std::uint8_t* data = pages.Page(next);
        if (data[0] != kJetDefinitionPage || !seen.insert(next).second) {
            JetDamaged("page " + std::to_string(next) + " is not a table definition");
        }
        out.insert(out.end(), data + (out.empty() ? 0 : kContinuationHeader),
                   data + pages.PageSize());
        next = JetU32(data + pages.Layout().tdefNextPage);
    }
    return out;
}

// A column or index name: its length, then its text in the layout's encoding.
std::string ReadName(const Cursor& in, const JetLayout& layout, std::size_t& at) {
    const std::size_t length = layout.nameLengthBytes == 2 ? in.U16(at) : in.U8(at);
    at += layout.nameLengthBytes;
    const std::uint8_t* name = in.At(at, length);
    at += length;
    return layout.text == JetTextEncoding::Ucs2 ? Jet4TextToUtf8(name, length)
                                                : Cp1252ToUtf8(name, length);
}

// A byte the layout may lack (Jet 3 has neither misc flags nor a sort version): 0 then.
std::uint8_t OptionalU8(const Cursor& in, std::size_t entry, std::optional<std::size_t> offset) {
    return offset ? in.U8(entry + *offset) : 0;
}

// The column entries from `at` on, then their names.
void ReadColumns(const Cursor& in, const JetLayout& layout, std::uint16_t count, JetTableDef& def,
                 std::size_t& at) {
    in.At(at, std::size_t{count} * layout.columnEntry);
    for (std::uint16_t c = 0; c < count; ++c, at += layout.columnEntry) {
        JetColumnDef column;
        column.type = in.U8(at);
        column.number = in.U16(at + layout.columnNumber);
        column.varIndex = in.U16(at + layout.columnVarIndex);
        column.flags = in.U8(at + layout.columnFlags);
        column.miscFlags = OptionalU8(in, at, layout.columnMiscFlags);
        column.sortOrder = in.U16(at + layout.columnSortOrder);
        column.sortVersion = OptionalU8(in, at, layout.columnSortVersion);
        column.fixedOffset = in.U16(at + layout.columnFixedOffset);
        column.length = in.U16(at + layout.columnLength);
        if (JetColumnNumbered(def.columns, column.number)) {
            JetDamaged("two columns share a number");
        }
        if (column.number >= def.maxColumns) {
            JetDamaged("a column's number lies beyond the table's columns");
        }
        def.columns.push_back(column);
    }
    for (JetColumnDef& column : def.columns) {
        column.name = ReadName(in, layout, at);
    }
}

void ReadRealIndexes(const Cursor& in, const JetLayout& layout, std::uint32_t count,
                     JetTableDef& def, std::size_t& at) {
    in.At(at, std::size_t{count} * layout.realIndexEntry);
    for (std::uint32_t i = 0; i < count; ++i, at += layout.realIndexEntry) {
        JetRealIndex index;
        for (std::size_t slot = 0; slot < kJetIndexColumnSlots; ++slot) {
            const std::size_t part = at + layout.realIndexColumns + kJetIndexColumnSlot * slot;
            const std::uint16_t column = in.U16(part);
            if (column == kJetNoColumn) {
                continue;
            }
            if (!JetColumnNumbered(def.columns, column)) {
                JetDamaged("an index names a column the table does not have");
            }
            index.parts.push_back({column, (in.U8(part + 2) & kJetIndexAscending) != 0});
        }
        index.usageMap = in.U32(at + layout.realIndexUsageMap);
        index.firstPage = in.U32(at + layout.realIndexFirstPage);
        index.flags = in.U8(at + layout.realIndexFlags);
        def.realIndexes.push_back(index);
    }
}

// The logical index entries from `at` on, then their names.
void ReadLogicalIndexes(const Cursor& in, const JetLayout& layout, std::uint32_t count,
                        JetTableDef& def, std::size_t& at) {
    in.At(at, std::size_t{count} * layout.logicalIndexEntry);
    for (std::uint32_t i = 0; i < count; ++i, at += layout.logicalIndexEntry) {
        JetLogicalIndex index;
        index.number = in.U32(at + layout.logicalIndexNumber);
        index.real = in.U32(at + layout.logicalIndexReal);
        index.type = in.U8(at + layout.logicalIndexType);
        if (index.real >= def.realIndexes.size()) {
            JetDamaged("an index names a real index the table does not have");
        }
        def.logicalIndexes.push_back(index);
    }
    for (JetLogicalIndex& index : def.logicalIndexes) {
        index.name = ReadName(in, layout, at);
    }
}

}  // namespace

bool JetSameName(const std::string& a, const std::string& b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

std::optional<std::size_t> JetColumnNamed(const std::vector<JetColumnDef>& columns,
                                          const std::string& name) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (JetSameName(columns[c].name, name)) {
            return c;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> JetColumnNumbered(const std::vector<JetColumnDef>& columns,
                                             std::uint16_t number) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].number == number) {
            return c;
        }
    }
    return std::nullopt;
}

JetTableDef ReadJetTableDef(const JetPages& pages, std::uint32_t page) {
    const JetLayout& layout = pages.Layout();
    const std::vector<std::uint8_t> bytes = DefinitionBytes(pages, page);
    const Cursor in(bytes);
    JetTableDef def;
    def.page = page;
    def.rowCount = in.U32(layout.tdefRowCount);
    def.autoNumber = in.U32(layout.tdefAutoNumber);
    def.maxColumns = in.U16(layout.tdefColumnCounts);
    def.varColumns = in.U16(layout.tdefColumnCounts + 2);
    const std::uint16_t columnCount = in.U16(layout.tdefColumnCounts + 4);
    const std::uint32_t logicalCount = in.U32(layout.tdefIndexCounts);
    const std::uint32_t realCount = in.U32(layout.tdefIndexCounts + 4);
    def.ownedPages = in.U32(layout.tdefOwnedPages);
    def.freePages = in.U32(layout.tdefFreePages);

    std::size_t at = layout.tdefBlocks + std::size_t{realCount} * layout.realIndexCountEntry;
    ReadColumns(in, layout, columnCount, def, at);
    ReadRealIndexes(in, layout, realCount, def, at);
    ReadLogicalIndexes(in, layout, logicalCount, def, at);
    return def;
}

}  // namespace varnix
