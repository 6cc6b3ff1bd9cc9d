// A table definition (TDEF): the columns, the real and logical indexes and the table's
// usage maps, read from its chain of definition pages; and the few fields a row writer
// changes (row count, AutoNumber counter), written back in place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pages.h"

namespace varnix {

inline constexpr std::uint8_t kJetTypeBoolean = 0x01;
inline constexpr std::uint8_t kJetTypeByte = 0x02;
inline constexpr std::uint8_t kJetTypeInt16 = 0x03;
inline constexpr std::uint8_t kJetTypeInt32 = 0x04;
inline constexpr std::uint8_t kJetTypeText = 0x0a;
inline constexpr std::uint8_t kJetTypeOle = 0x0b;
inline constexpr std::uint8_t kJetTypeMemo = 0x0c;

struct JetColumnDef {
    std::string name;  // UTF-8
    std::uint8_t type = 0;
    std::uint16_t number = 0;  // position in the row's null mask
    std::uint16_t varIndex = 0;
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0;  // in bytes
    std::uint8_t flags = 0;
    std::uint8_t miscFlags = 0;    // Jet 4 only
    std::uint16_t sortOrder = 0;   // text columns: 1033 is "General"
    std::uint8_t sortVersion = 0;  // Jet 4 only

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

// Reads the definition on `page` and the pages it continues on. Throws JetError.
JetTableDef ReadJetTableDef(const JetPages& pages, std::uint32_t page);

// Writes the row count and the AutoNumber counter of `def` into its first page.
void WriteJetTableCounts(JetPages& pages, const JetTableDef& def);

}  // namespace varnix
