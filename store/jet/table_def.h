// A table definition (TDEF): the columns, the real and logical indexes and the table's
// usage maps, read from its chain of definition pages (table_def_read.cpp); a new one laid
// out on its page, the inverse of the reader (table_def_write.cpp); and the few fields a
// row writer changes (row count, AutoNumber counter, index key counts), written back in
// place. The offsets are the layout's (layout.h); the facts both versions share are here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "column_type.h"
#include "pages.h"

namespace varnix {

// A real index names up to 10 columns, each as its number (2 bytes) and its order (1 byte:
// 0x01 ascending); an unused slot names no column.
inline constexpr std::size_t kJetIndexColumnSlots = 10;
inline constexpr std::size_t kJetIndexColumnSlot = 3;
inline constexpr std::uint8_t kJetIndexAscending = 0x01;
inline constexpr std::uint16_t kJetNoColumn = 0xffff;

struct JetColumnDef {
    std::string name;  // UTF-8
    std::uint8_t type = 0;
    std::uint16_t number = 0;  // position in the row's null mask
    std::uint16_t varIndex = 0;
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0;  // in bytes
    std::uint8_t flags = 0;
    std::uint8_t miscFlags = 0;    // where the layout has them (Jet 4), else 0
    std::uint16_t sortOrder = 0;   // text columns: 1033 is "General"
    std::uint8_t sortVersion = 0;  // where the layout has it (Jet 4), else 0

    bool Fixed() const { return (flags & 0x01) != 0; }
    bool AutoNumber() const { return (flags & 0x04) != 0; }
    bool Compressed() const { return (miscFlags & 0x01) != 0; }
};

struct JetRealIndex {
    struct Part {
        std::uint16_t column = 0;  // a column number
        bool ascending = true;
    };
    std::vector<Part> parts;
    std::uint32_t usageMap = 0;  // data pointer of the index's own usage map
    std::uint32_t firstPage = 0;
    std::uint8_t flags = 0;
    bool Unique() const { return (flags & 0x01) != 0; }
    bool IgnoreNulls() const { return (flags & 0x02) != 0; }
};

struct JetLogicalIndex {
    std::string name;  // UTF-8
    std::uint32_t number = 0;
    std::uint32_t real = 0;  // which real index backs it
    std::uint8_t type = 0;   // 0x01 primary key, 0x02 foreign key
};

struct JetTableDef {
    std::uint32_t page = 0;
    std::uint32_t rowCount = 0;
    std::uint32_t autoNumber = 0;
    std::uint16_t maxColumns = 0;
    std::uint16_t varColumns = 0;
    std::vector<JetColumnDef> columns;  // in definition order
    std::vector<JetRealIndex> realIndexes;
    std::vector<JetLogicalIndex> logicalIndexes;
    std::uint32_t ownedPages = 0;  // data pointers of the table's usage maps
    std::uint32_t freePages = 0;
};

// Names of tables, columns and indexes compare without regard to the case of A to Z.
bool JetSameName(const std::string& a, const std::string& b);

// The position in `columns` of the column named `name` (compared as JetSameName does), or
// of the column numbered `number`; nullopt when there is none.
std::optional<std::size_t> JetColumnNamed(const std::vector<JetColumnDef>& columns,
                                          const std::string& name);
std::optional<std::size_t> JetColumnNumbered(const std::vector<JetColumnDef>& columns,
                                             std::uint16_t number);

// Reads the definition on `page` and the pages it continues on. Throws JetError.
JetTableDef ReadJetTableDef(const JetPages& pages, std::uint32_t page);

// Writes the row count and the AutoNumber counter of `def` into its first page.
void WriteJetTableCounts(JetPages& pages, const JetTableDef& def);

struct JetNewTableDef {
    // Columns, indexes and usage maps as ReadJetTableDef gives them back. Index flags are as
    // stored (Access also sets 0x80 on every index it makes).
    JetTableDef def;
    bool system = false;  // a system table's definition says so
    // Each long-value column (Memo, OLE) keeps its own pair of usage maps for its pages.
    struct LongValueMaps {
        std::uint16_t column = 0;  // its number
        std::uint32_t ownedPages = 0;
        std::uint32_t freePages = 0;
    };
    std::vector<LongValueMaps> longValueMaps;
};

// Writes the definition onto its page, `table.def.page`, which it fills: the header, the
// real indexes' entry counts, the columns, their names, the real and logical indexes, their
// names, and the usage maps of the long-value columns. Throws JetUnsupported when the
// definition would not fit one page, or the layout has no fields for new definitions
// (Jet 3).
void WriteJetTableDefinition(JetPages& pages, const JetNewTableDef& table);

// Writes, for each real index of `def`, how many different keys it holds, as Access keeps
// that count in the definition.
void WriteJetIndexKeyCounts(JetPages& pages, const JetTableDef& def,
                            const std::vector<std::uint32_t>& counts);

}  // namespace varnix
