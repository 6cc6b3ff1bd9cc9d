// Usage maps: the bitmaps, found by a data pointer, that list a table's pages (owned
// pages, pages with free space) and, on page 1, the file's free pages. An inline map holds
// its bitmap in its own record from a first page on; a reference map lists usage-map pages
// (0x05), the k-th covering the k-th stretch of the file.
#pragma once

#include <cstdint>
#include <vector>

#include "pages.h"

namespace varnix {

// The global map: page 1, row 0. A set bit there marks a free page.
inline constexpr std::uint32_t kJetGlobalUsageMap = 1u << 8;

class JetUsageMap {
  public:
    // Reads the map the data pointer leads to; a damaged map throws JetError.
    JetUsageMap(const JetPages& pages, std::uint32_t pointer);

    // The pages whose bit is set, ascending.
    std::vector<std::uint32_t> Pages() const;
    bool Contains(std::uint32_t page) const;
    // The pages that hold the map: its record's page and any usage-map pages.
    std::vector<std::uint32_t> StoragePages() const;
    // Whether the map has a bit for `page` at all.
    bool Covers(std::uint32_t page) const;
    // Sets or clears the bit of `page` in the file's bytes. A reference map that has no
    // map page for that stretch yet gets one at the end of the file; a page an inline map
    // does not cover throws JetUnsupported.
    void Set(JetPages& pages, std::uint32_t page, bool on);

  private:
    struct Stretch {
        std::uint32_t page = 0;      // where the bitmap lies
        std::size_t offset = 0;      // its first byte in that page
        std::size_t bytes = 0;       // its length
        std::uint64_t first = 0;     // the file page of its first bit
        bool present = true;         // false: a reference slot with no map page yet
        std::uint32_t slotPage = 0;  // a reference slot: where its page number is kept
        std::size_t slotOffset = 0;
    };
    // The stretch that covers `page`, or the number of stretches.
    std::size_t StretchOf(std::uint32_t page) const;

    std::uint32_t recordPage_ = 0;
    std::vector<Stretch> stretches_;
    std::vector<std::uint32_t> set_;
};

// A page for new content, zeroed and taken out of the global map's free pages: the first
// page that a save released earlier (free, and zeroed), else a page added at the end.
std::uint32_t AllocateJetPage(JetPages& pages);
// Gives a page back: zeroed and marked free in the global map. The caller has taken it out
// of every other map.
void ReleaseJetPage(JetPages& pages, std::uint32_t page);

}  // namespace varnix
