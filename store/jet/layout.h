// Where each field lies in the pages of a Jet 3 (Access 97) and a Jet 4 (Access 2000-2003)
// file: one table of offsets per version, so that every format fact is written once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varnix {

struct JetLayout {
    bool jet4;
    std::size_t pageSize;

    // Data pages (rows, long values, usage-map records).
    std::size_t dataFreeSpace;  // 2 bytes
    std::size_t dataOwner;      // 4 bytes: the table definition's page, or "LVAL"
    std::size_t dataRowCount;   // 2 bytes
    std::size_t dataRowTable;   // 2 bytes a row, from here on

    // Table definitions, counted from the start of the joined definition.
    std::size_t tdefRowCount;         // 4 bytes
    std::size_t tdefAutoNumber;       // 4 bytes: the last AutoNumber handed out
    std::size_t tdefColumnCounts;     // max columns, variable columns, columns (2 bytes each)
    std::size_t tdefIndexCounts;      // logical indexes, real indexes (4 bytes each)
    std::size_t tdefOwnedPages;       // data pointer to the owned-pages usage map
    std::size_t tdefFreePages;        // data pointer to the free-space usage map
    std::size_t tdefBlocks;           // the first block after the header
    std::size_t realIndexCountEntry;  // one per real index, before the columns
    std::size_t columnEntry;
    std::size_t realIndexEntry;
    std::size_t logicalIndexEntry;
    std::size_t nameLengthBytes;  // column and index names: 1 (code page) or 2 (UCS-2)

    // Within a column entry.
    std::size_t columnNumber;       // 2 bytes
    std::size_t columnVarIndex;     // 2 bytes
    std::size_t columnSortOrder;    // 2 bytes: a text column's sort order (1033 "General")
    std::size_t columnSortVersion;  // Jet 4 only (0 in Jet 3): that order's version
    std::size_t columnFlags;        // 1 byte: 0x01 fixed, 0x02 nullable, 0x04 AutoNumber
    std::size_t columnMiscFlags;    // Jet 4 only (0 in Jet 3): 0x01 compressed text
    std::size_t columnFixedOffset;  // 2 bytes
    std::size_t columnLength;       // 2 bytes

    // Within a real index entry.
    std::size_t realIndexColumns;    // 10 x (column number 2 bytes, order 1 byte)
    std::size_t realIndexUsageMap;   // data pointer
    std::size_t realIndexFirstPage;  // 4 bytes
    std::size_t realIndexFlags;      // 1 byte: 0x01 unique, 0x02 ignore nulls, 0x08 required

    // Within a logical index entry.
    std::size_t logicalIndexNumber;  // 4 bytes
    std::size_t logicalIndexReal;    // 4 bytes: the real index it uses
    std::size_t logicalIndexType;    // 1 byte: 0x01 primary key, 0x02 foreign key

    // Index pages (0x03 node, 0x04 leaf).
    std::size_t indexFreeSpace;  // 2 bytes
    std::size_t indexOwner;      // 4 bytes: the table definition's page
    std::size_t indexPrevPage;   // 4 bytes, then next page and tail page
    std::size_t indexNextPage;
    std::size_t indexTailPage;
    std::size_t indexPrefixLength;  // 2 bytes
    std::size_t indexEntryMask;     // the entry bitmap, up to indexFirstEntry
    std::size_t indexFirstEntry;

    // Long values: the most one part on an LVAL page may hold.
    std::size_t longValuePart;
};

inline constexpr JetLayout kJet3Layout{
    false, 2048, 2, 4,  8,  10, 12, 16, 21, 27, 35, 39, 43, 8, 18, 39, 20, 1,  1,    3,    9,
    0,     13,   0, 14, 16, 0,  30, 34, 38, 0,  4,  19, 2,  4, 8,  12, 16, 20, 0x16, 0xf8, 2032,
};

inline constexpr JetLayout kJet4Layout{
    true, 4096, 2,  4,  12, 14, 16, 20, 41, 47, 55, 59, 63, 12, 25, 52, 28, 2,  5,    7,     11,
    14,   15,   16, 21, 23, 4,  34, 38, 46, 4,  8,  23, 2,  4,  12, 16, 20, 24, 0x1b, 0x1e0, 4076,
};

}  // namespace varnix
