#include "jet_long_value.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "jet_error.h"

namespace varnix {

namespace {

constexpr std::uint8_t kInline = 0x80;
constexpr std::uint8_t kOneRow = 0x40;
constexpr std::uint8_t kChain = 0x00;
constexpr std::uint32_t kLengthMask = 0x3fffffff;

// The bytes of an LVAL row.
std::pair<const std::uint8_t*, std::size_t> LongValueRow(const JetPages& pages,
                                                         std::uint32_t pointer) {
    const JetRowId id = JetRowId::From(pointer);
    const std::uint8_t* page = pages.Page(id.page);
    if (page[0] != kJetDataPage || std::memcmp(page + pages.Layout().dataOwner, "LVAL", 4) != 0) {
        JetDamaged("a memo value points to a page that holds none");
    }
    const JetPages::RowSpan span = pages.Row(id);
    if ((span.flags & kJetDeletedRow) != 0) {
        JetDamaged("a memo value points to a deleted record");
    }
    return {page + span.start, span.end - span.start};
}

}  // namespace

std::vector<std::uint8_t> ReadJetLongValue(const JetPages& pages, const std::uint8_t* field,
                                           std::size_t size) {
    if (size < kJetLongValueHeader) {
        JetDamaged("a memo value is cut short");
    }
    const std::uint32_t length = JetU32(field) & kLengthMask;
    const std::uint8_t kind = field[3] & 0xc0;
    if (kind == kInline) {
        if (length > size - kJetLongValueHeader) {
            JetDamaged("a memo value runs past its row");
        }
        return {field + kJetLongValueHeader, field + kJetLongValueHeader + length};
    }
    std::uint32_t pointer = JetU32(field + 4);
    if (kind == kOneRow) {
        const auto [data, stored] = LongValueRow(pages, pointer);
        if (length > stored) {
            JetDamaged("a memo value runs past its record");
        }
        return {data, data + length};
    }
    if (kind != kChain) {
        JetDamaged("a memo value is of unknown kind");
    }
    std::vector<std::uint8_t> value;
    std::set<std::uint32_t> seen;
    while (value.size() < length) {
        if (pointer == 0 || !seen.insert(pointer).second) {
            JetDamaged("a memo value's chain of records ends early or loops");
        }
        const auto [data, stored] = LongValueRow(pages, pointer);
        if (stored < 4) {
            JetDamaged("a memo value's record is cut short");
        }
        pointer = JetU32(data);
        const std::size_t part = std::min<std::size_t>(stored - 4, length - value.size());
        value.insert(value.end(), data + 4, data + 4 + part);
    }
    return value;
}

std::vector<std::uint8_t> InlineJetLongValue(const std::vector<std::uint8_t>& value) {
    std::vector<std::uint8_t> field(kJetLongValueHeader, 0);
    JetPutU32(field.data(), static_cast<std::uint32_t>(value.size()) & kLengthMask);
    field[3] = static_cast<std::uint8_t>(field[3] | kInline);
    field.insert(field.end(), value.begin(), value.end());
    return field;
}

}  // namespace varnix
