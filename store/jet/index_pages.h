// The pages of one index (0x03 node pages, 0x04 leaf pages): read and checked from the
// definition's first page down, and laid out anew from a sorted list of entries. Jet 3 and
// Jet 4 differ only in the offsets of their JetLayout. The reader is index_pages_read.cpp,
// the writer index_pages_write.cpp, the page format both share index_page_format.h.
//
// A page holds an entry bitmap, a shared prefix and its entries. A leaf entry is a key and
// the row pointer (3-byte page, big-endian, then the row); a node entry adds its child page
// (4 bytes, big-endian) and repeats the last entry of that child's subtree. A node of two
// or more children lists all but the last as entries and names the last in its tail field.
// Pages of one level are chained by previous/next links: all the leaves, and node pages
// under one parent.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "pages.h"

namespace varnix {

struct JetIndexEntry {
    std::vector<std::uint8_t> key;  // the column key parts, concatenated
    JetRowId row;
    // Index order: key bytes (a key that begins another sorts first), then the row pointer.
    friend auto operator<=>(const JetIndexEntry&, const JetIndexEntry&) = default;
    friend bool operator==(const JetIndexEntry&, const JetIndexEntry&) = default;
};

struct JetIndexTree {
    std::vector<JetIndexEntry> entries;  // the leaves' entries, in index order
    std::vector<std::uint32_t> pages;    // every page of the tree: the root, then level by level
};

// Walks the index whose root is `firstPage` and which belongs to the table definition on
// `definitionPage`. Every page is checked: its type, owner, bitmap, prefix and entries; the
// entries rise strictly within and across pages; each node entry equals the last entry of
// its child's subtree; the previous/next links of every level; no page is used twice and
// the depth is bounded. Anything else throws JetError: damage, or JetUnsupported for a
// tree shape Varnix does not keep (a leaf naming a tail page, leaves chained beyond the
// tree, more levels than it builds).
JetIndexTree ReadJetIndex(const JetPages& pages, std::uint32_t definitionPage,
                          std::uint32_t firstPage);

// Lays `entries` (strictly rising) out as an index tree: leaves filled in order as far as
// each page holds them, node levels above while there is more than one page, and the root
// on `firstPage`, so the table definition keeps naming it. A page takes a shared prefix,
// the common prefix of its entries' keys, only when its entries do not fit without one (as
// Jackcess writes pages). The other pages come first from `oldPages` (the pages
// ReadJetIndex returned; `firstPage` among them is skipped), then from `allocate`.
//
// Returns the old pages left unused, now zeroed. The caller keeps the usage maps: a page
// `allocate` hands out must already exist in `pages` (JetPages::Append) and must be marked
// used, taken out of the global free map (page 1) and added to the index's own usage map;
// each page returned must be put back in the global free map and taken out of the index's
// map. The definition's unique-entry count is also the caller's.
//
// Throws JetUnsupported, having written no page, for entries out of order or repeated, an
// empty key, an entry too long for a page, a row pointer beyond three bytes, a tree deeper
// than it builds, or an allocator that hands out a page already in use or beyond the file.
std::vector<std::uint32_t> WriteJetIndex(JetPages& pages, std::uint32_t definitionPage,
                                         std::uint32_t firstPage,
                                         const std::vector<JetIndexEntry>& entries,
                                         const std::vector<std::uint32_t>& oldPages,
                                         const std::function<std::uint32_t()>& allocate);

// The most levels either direction handles, the leaves included.
inline constexpr std::size_t kJetMaxIndexLevels = 8;

}  // namespace varnix
