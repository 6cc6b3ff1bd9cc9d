#include "pages.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "error.h"

namespace varnix {

void JetDamaged(const std::string& what) {
    throw JetError(JetError::Kind::Damaged, "the Access file is damaged: " + what);
}

void JetUnsupported(const std::string& what) {
    throw JetError(JetError::Kind::Unsupported, what);
}

JetPages::JetPages(std::vector<std::uint8_t> bytes, const JetLayout& layout)
    : bytes_(std::move(bytes)), layout_(&layout) {
    count_ = static_cast<std::uint32_t>(
        std::min<std::size_t>(bytes_.size() / layout.pageSize, UINT32_MAX >> 8));
    bytes_.resize(std::size_t{count_} * layout.pageSize);
}

const std::uint8_t* JetPages::Page(std::uint32_t page) const {
    if (page >= count_) {
        JetDamaged("page " + std::to_string(page) + " lies beyond the end of the file");
    }
    return bytes_.data() + std::size_t{page} * layout_->pageSize;
}

std::uint8_t* JetPages::MutablePage(std::uint32_t page) {
    return const_cast<std::uint8_t*>(Page(page));
}

std::uint32_t JetPages::Append() {
    if (count_ >= (UINT32_MAX >> 8)) {
        JetUnsupported("the Access file has no room for another page");
    }
    bytes_.resize(bytes_.size() + layout_->pageSize, 0);
    return count_++;
}

std::uint16_t JetPages::RowCount(std::uint32_t page) const {
    const std::uint8_t* data = Page(page);
    const std::uint16_t rows = JetU16(data + layout_->dataRowCount);
    if (layout_->dataRowTable + 2 * std::size_t{rows} > layout_->pageSize) {
        JetDamaged("page " + std::to_string(page) + " lists more rows than it can hold");
    }
    return rows;
}

JetPages::RowSpan JetPages::Row(JetRowId id) const {
    const std::uint8_t* data = Page(id.page);
    const std::uint16_t rows = RowCount(id.page);
    if (id.row >= rows) {
        JetDamaged("row " + std::to_string(id.row) + " of page " + std::to_string(id.page) +
                   " does not exist");
    }
    const std::size_t table = layout_->dataRowTable;
    const std::uint16_t entry = JetU16(data + table + 2 * std::size_t{id.row});
    const std::size_t start = entry & kJetRowOffsetMask;
    const std::size_t end =
        id.row == 0
            ? layout_->pageSize
            : std::size_t{JetU16(data + table + 2 * (std::size_t{id.row} - 1))} & kJetRowOffsetMask;
    if (start < table + 2 * std::size_t{rows} || start > end || end > layout_->pageSize) {
        JetDamaged("row " + std::to_string(id.row) + " of page " + std::to_string(id.page) +
                   " lies outside its page");
    }
    return {start, end, static_cast<std::uint16_t>(entry & (kJetDeletedRow | kJetOverflowRow))};
}

void JetPages::InitDataPage(std::uint32_t page, const std::uint8_t (&owner)[4]) {
    std::uint8_t* data = MutablePage(page);
    data[0] = kJetDataPage;
    data[1] = 0x01;
    std::copy(std::begin(owner), std::end(owner), data + layout_->dataOwner);
    JetPutU16(data + layout_->dataRowCount, 0);
    std::fill(data + layout_->dataRowTable, data + layout_->pageSize, std::uint8_t{0});
    JetPutU16(data + layout_->dataFreeSpace,
              static_cast<std::uint16_t>(layout_->pageSize - layout_->dataRowTable));
}

bool JetPages::RowFits(std::uint32_t page, std::size_t size) const {
    const std::uint8_t* data = Page(page);
    return JetU16(data + layout_->dataRowCount) < kJetMaxRowsPerPage &&
           size + 2 <= JetU16(data + layout_->dataFreeSpace);
}

std::uint8_t JetPages::AddRow(std::uint32_t page, const std::vector<std::uint8_t>& row) {
    std::uint8_t* data = MutablePage(page);
    const std::uint16_t count = JetU16(data + layout_->dataRowCount);
    const std::size_t top =
        count == 0 ? layout_->pageSize
                   : JetU16(data + layout_->dataRowTable + 2 * (count - 1u)) & kJetRowOffsetMask;
    const std::size_t start = top - row.size();
    std::copy(row.begin(), row.end(), data + start);
    JetPutU16(data + layout_->dataRowTable + 2 * std::size_t{count},
              static_cast<std::uint16_t>(start));
    JetPutU16(data + layout_->dataRowCount, static_cast<std::uint16_t>(count + 1));
    JetPutU16(data + layout_->dataFreeSpace,
              static_cast<std::uint16_t>(start - (layout_->dataRowTable + 2 * (count + 1u))));
    return static_cast<std::uint8_t>(count);
}

}  // namespace varnix
