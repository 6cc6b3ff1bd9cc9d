// The pages of a Jet file in memory: checked access for reading, and the few changes a
// writer makes (a page rewritten, a page added at the end). Little-endian helpers for the
// fields of a page live here too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "layout.h"

namespace varnix {

inline std::uint16_t JetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t JetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void JetPutU16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void JetPutU32(std::uint8_t* p, std::uint32_t value) {
    JetPutU16(p, static_cast<std::uint16_t>(value));
    JetPutU16(p + 2, static_cast<std::uint16_t>(value >> 16));
}

// A data pointer: a row of a page, packed as (page << 8) | row.
struct JetRowId {
    std::uint32_t page = 0;
    std::uint8_t row = 0;
    static JetRowId From(std::uint32_t pointer) {
        return {pointer >> 8, static_cast<std::uint8_t>(pointer & 0xff)};
    }
    std::uint32_t Pointer() const { return (page << 8) | row; }
    friend bool operator==(const JetRowId&, const JetRowId&) = default;
    friend auto operator<=>(const JetRowId&, const JetRowId&) = default;
};

class JetPages {
  public:
    // The bytes of a whole file; a partial last page is ignored.
    JetPages(std::vector<std::uint8_t> bytes, const JetLayout& layout);

    const JetLayout& Layout() const { return *layout_; }
    std::size_t PageSize() const { return layout_->pageSize; }
    std::uint32_t Count() const { return count_; }
    // Page `page`; a page beyond the end of the file is damage.
    const std::uint8_t* Page(std::uint32_t page) const;
    std::uint8_t* MutablePage(std::uint32_t page);
    // Adds a page of zeros at the end and returns its number.
    std::uint32_t Append();
    const std::vector<std::uint8_t>& Bytes() const& { return bytes_; }
    std::vector<std::uint8_t> Bytes() && { return std::move(bytes_); }

    // The start and end of a row on a data page (flags stripped), checked against the page.
    struct RowSpan {
        std::size_t start = 0;
        std::size_t end = 0;
        std::uint16_t flags = 0;  // kJetDeletedRow, kJetOverflowRow
    };
    std::uint16_t RowCount(std::uint32_t page) const;
    RowSpan Row(JetRowId row) const;

    // Data pages: rows grow down from the page's end, their offsets up from the header.
    // Makes `page` an empty data page of `owner` (a table definition's page number as
    // stored, or "LVAL"); other header bytes are kept.
    void InitDataPage(std::uint32_t page, const std::uint8_t (&owner)[4]);
    // A row of `size` bytes fits: room for it and its offset, and a row number left.
    bool RowFits(std::uint32_t page, std::size_t size) const;
    // Puts `row` below the page's lowest row, keeping the free space true; the caller has
    // checked that it fits. Returns its row number.
    std::uint8_t AddRow(std::uint32_t page, const std::vector<std::uint8_t>& row);

  private:
    std::vector<std::uint8_t> bytes_;
    const JetLayout* layout_;
    std::uint32_t count_ = 0;
};

inline constexpr std::uint8_t kJetDataPage = 0x01;
inline constexpr std::uint8_t kJetDefinitionPage = 0x02;
inline constexpr std::uint8_t kJetIndexNodePage = 0x03;
inline constexpr std::uint8_t kJetIndexLeafPage = 0x04;
inline constexpr std::uint8_t kJetUsageMapPage = 0x05;
inline constexpr std::uint16_t kJetDeletedRow = 0x8000;
inline constexpr std::uint16_t kJetOverflowRow = 0x4000;
inline constexpr std::uint16_t kJetRowOffsetMask = 0x1fff;
inline constexpr std::size_t kJetMaxRowsPerPage = 255;  // a row number is one byte

}  // namespace varnix
