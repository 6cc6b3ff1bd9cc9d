// The format of one index page, shared by the index reader and writer (index_pages.h): the
// entry bitmap, the shared prefix's length field and the room for entries, all from the
// layout's offsets.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "layout.h"

namespace varnix::index_page {

inline constexpr std::size_t kRowPointerBytes = 4;    // 3-byte page, big-endian, then the row
inline constexpr std::size_t kChildPointerBytes = 4;  // node entries: the child page, big-endian
inline constexpr std::uint8_t kNodePageFlag = 0x01;

inline std::string Named(std::uint32_t page) {
    return "index page " + std::to_string(page);
}

inline std::size_t MaskBits(const JetLayout& layout) {
    return (layout.indexFirstEntry - layout.indexEntryMask) * 8;
}

// The bytes of entries a page holds: up to its end, and no further than its bitmap marks.
inline std::size_t EntrySpace(const JetLayout& layout) {
    return std::min(layout.pageSize - layout.indexFirstEntry, MaskBits(layout) - 1);
}

// The shared prefix's length fills the bytes from its offset up to the byte before the
// entry bitmap (Jet 4: 2 bytes, Jet 3: 1). That last byte is a flag Access sets on node
// pages (seen on every node page of Access-made Jet 3 and Jet 4 files; Jackcess writes 0
// and readers ignore it).
inline std::size_t PrefixFieldBytes(const JetLayout& layout) {
    return layout.indexEntryMask - 1 - layout.indexPrefixLength;
}

}  // namespace varnix::index_page
