// Where each field lies in the pages of a Jet 3 (Access 97) and a Jet 4 (Access 2000-2003)
// file, and the other facts in which the two versions differ: one table per version, so
// that every format fact is written once and the code reads facts, never the version.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace varnix {

// How a file stores text: Jet 4 in UCS-2 (optionally compressed), Jet 3 one byte a
// character in the file's code page.
enum class JetTextEncoding { CodePage, Ucs2 };

// The sort order "General" (1033) as the version keeps it in its index keys: Access 97's
// one code a character, or Jet 4's codes with the left-out characters in a trailing group.
enum class JetGeneralSort { Access97, Access2000 };

// The fields of a table definition that only a writer of new definitions needs; known for
// Jet 4 only, the one version Varnix makes tables in.
struct JetNewDefinitionFields {
    std::size_t tdefFreeSpace;        // 2 bytes
    std::size_t tdefLength;           // 4 bytes: the definition's length
    std::size_t tdefMagic;            // 4 bytes: a number of unknown meaning
    std::size_t tdefAutoNumberOn;     // 1 byte: Access numbers AutoNumber columns when set
    std::size_t tdefTableType;        // 1 byte: 0x4e user, 0x53 system
    std::size_t columnMagic;          // within a column entry, 4 bytes: the same number again
    std::size_t columnNumberAgain;    // within a column entry, 2 bytes
    std::size_t logicalRelatedIndex;  // within a logical index entry, 4 bytes
};

struct JetLayout {
    // Page 0, the database header.
    std::uint8_t version;                 // at 0x14: 0 Jet 3, 1 Jet 4
    std::size_t headerMaskedSize;         // the masked region from 0x18
    std::size_t headerPasswordSize;       // the password area in it
    bool headerPasswordMaskedByCreation;  // also masked with the creation date's whole days

    std::size_t pageSize;
    JetTextEncoding text;
    JetGeneralSort generalSort;

    // Data pages (rows, long values, usage-map records).
    std::size_t dataFreeSpace;  // 2 bytes
    std::size_t dataOwner;      // 4 bytes: the table definition's page, or "LVAL"
    std::size_t dataRowCount;   // 2 bytes
    std::size_t dataRowTable;   // 2 bytes a row, from here on

    // Rows: the width of the column count, the variable-column count and their offsets.
    std::size_t rowCountBytes;
    // Rows of this size or more carry a jump table (Jet 3 only), which Varnix does not keep.
    std::optional<std::size_t> rowJumpTableFrom;

    // Table definitions, counted from the start of the joined definition.
    std::size_t tdefNextPage;         // 4 bytes: the page the definition continues on
    std::size_t tdefRowCount;         // 4 bytes
    std::size_t tdefAutoNumber;       // 4 bytes: the last AutoNumber handed out
    std::size_t tdefColumnCounts;     // max columns, variable columns, columns (2 bytes each)
    std::size_t tdefIndexCounts;      // logical indexes, real indexes (4 bytes each)
    std::size_t tdefOwnedPages;       // data pointer to the owned-pages usage map
    std::size_t tdefFreePages;        // data pointer to the free-space usage map
    std::size_t tdefBlocks;           // the first block after the header
    std::size_t realIndexCountEntry;  // one per real index, before the columns
    std::size_t realIndexKeyCount;    // within that entry, 4 bytes: its different keys
    std::size_t columnEntry;
    std::size_t realIndexEntry;
    std::size_t logicalIndexEntry;
    std::size_t nameLengthBytes;  // column and index names: 1 (code page) or 2 (UCS-2)

    // Within a column entry.
    std::size_t columnNumber;     // 2 bytes
    std::size_t columnVarIndex;   // 2 bytes
    std::size_t columnSortOrder;  // 2 bytes: a text column's sort order (1033 "General")
    std::optional<std::size_t> columnSortVersion;  // 1 byte: that order's version
    std::size_t columnFlags;  // 1 byte: 0x01 fixed, 0x02 nullable, 0x04 AutoNumber
    std::optional<std::size_t> columnMiscFlags;  // 1 byte: 0x01 compressed text
    std::size_t columnFixedOffset;               // 2 bytes
    std::size_t columnLength;                    // 2 bytes

    // Within a real index entry.
    std::size_t realIndexColumns;    // 10 x (column number 2 bytes, order 1 byte)
    std::size_t realIndexUsageMap;   // data pointer
    std::size_t realIndexFirstPage;  // 4 bytes
    std::size_t realIndexFlags;      // 1 byte: 0x01 unique, 0x02 ignore nulls, 0x08 required

    // Within a logical index entry.
    std::size_t logicalIndexNumber;  // 4 bytes
    std::size_t logicalIndexReal;    // 4 bytes: the real index it uses
    std::size_t logicalIndexType;    // 1 byte: 0x01 primary key, 0x02 foreign key

    std::optional<JetNewDefinitionFields> newDefinition;

    // Index pages (0x03 node, 0x04 leaf).
    std::size_t indexFreeSpace;  // 2 bytes
    std::size_t indexOwner;      // 4 bytes: the table definition's page
    std::size_t indexPrevPage;   // 4 bytes, then next page and tail page
    std::size_t indexNextPage;
    std::size_t indexTailPage;
    std::size_t indexPrefixLength;  // 2 bytes
    std::size_t indexEntryMask;     // the entry bitmap, up to indexFirstEntry
    std::size_t indexFirstEntry;

    // Long values: the most one part on an LVAL page holds as Varnix writes them. Jet 3
    // (2032) has none: Varnix writes no LVAL pages into Access 97 files.
    std::optional<std::size_t> longValuePart;
};

inline constexpr JetLayout kJet3Layout{
    .version = 0,
    .headerMaskedSize = 126,
    .headerPasswordSize = 20,
    .headerPasswordMaskedByCreation = false,
    .pageSize = 2048,
    .text = JetTextEncoding::CodePage,
    .generalSort = JetGeneralSort::Access97,
    .dataFreeSpace = 2,
    .dataOwner = 4,
    .dataRowCount = 8,
    .dataRowTable = 10,
    .rowCountBytes = 1,
    .rowJumpTableFrom = 256,
    .tdefNextPage = 4,
    .tdefRowCount = 12,
    .tdefAutoNumber = 16,
    .tdefColumnCounts = 21,
    .tdefIndexCounts = 27,
    .tdefOwnedPages = 35,
    .tdefFreePages = 39,
    .tdefBlocks = 43,
    .realIndexCountEntry = 8,
    .realIndexKeyCount = 4,
    .columnEntry = 18,
    .realIndexEntry = 39,
    .logicalIndexEntry = 20,
    .nameLengthBytes = 1,
    .columnNumber = 1,
    .columnVarIndex = 3,
    .columnSortOrder = 9,
    .columnSortVersion = std::nullopt,
    .columnFlags = 13,
    .columnMiscFlags = std::nullopt,
    .columnFixedOffset = 14,
    .columnLength = 16,
    .realIndexColumns = 0,
    .realIndexUsageMap = 30,
    .realIndexFirstPage = 34,
    .realIndexFlags = 38,
    .logicalIndexNumber = 0,
    .logicalIndexReal = 4,
    .logicalIndexType = 19,
    .newDefinition = std::nullopt,
    .indexFreeSpace = 2,
    .indexOwner = 4,
    .indexPrevPage = 8,
    .indexNextPage = 12,
    .indexTailPage = 16,
    .indexPrefixLength = 20,
    .indexEntryMask = 0x16,
    .indexFirstEntry = 0xf8,
    .longValuePart = std::nullopt,
};

inline constexpr JetLayout kJet4Layout{
    .version = 1,
    .headerMaskedSize = 128,
    .headerPasswordSize = 40,
    .headerPasswordMaskedByCreation = true,
    .pageSize = 4096,
    .text = JetTextEncoding::Ucs2,
    .generalSort = JetGeneralSort::Access2000,
    .dataFreeSpace = 2,
    .dataOwner = 4,
    .dataRowCount = 12,
    .dataRowTable = 14,
    .rowCountBytes = 2,
    .rowJumpTableFrom = std::nullopt,
    .tdefNextPage = 4,
    .tdefRowCount = 16,
    .tdefAutoNumber = 20,
    .tdefColumnCounts = 41,
    .tdefIndexCounts = 47,
    .tdefOwnedPages = 55,
    .tdefFreePages = 59,
    .tdefBlocks = 63,
    .realIndexCountEntry = 12,
    .realIndexKeyCount = 4,
    .columnEntry = 25,
    .realIndexEntry = 52,
    .logicalIndexEntry = 28,
    .nameLengthBytes = 2,
    .columnNumber = 5,
    .columnVarIndex = 7,
    .columnSortOrder = 11,
    .columnSortVersion = 14,
    .columnFlags = 15,
    .columnMiscFlags = 16,
    .columnFixedOffset = 21,
    .columnLength = 23,
    .realIndexColumns = 4,
    .realIndexUsageMap = 34,
    .realIndexFirstPage = 38,
    .realIndexFlags = 46,
    .logicalIndexNumber = 4,
    .logicalIndexReal = 8,
    .logicalIndexType = 23,
    .newDefinition =
        JetNewDefinitionFields{
            .tdefFreeSpace = 2,
            .tdefLength = 8,
            .tdefMagic = 12,
            .tdefAutoNumberOn = 24,
            .tdefTableType = 40,
            .columnMagic = 1,
            .columnNumberAgain = 9,
            .logicalRelatedIndex = 13,
        },
    .indexFreeSpace = 2,
    .indexOwner = 4,
    .indexPrevPage = 12,
    .indexNextPage = 16,
    .indexTailPage = 20,
    .indexPrefixLength = 24,
    .indexEntryMask = 0x1b,
    .indexFirstEntry = 0x1e0,
    .longValuePart = 4076,
};

// The layouts by version, for telling a file's version from its header.
inline constexpr const JetLayout* kJetLayouts[] = {&kJet3Layout, &kJet4Layout};

}  // namespace varnix
