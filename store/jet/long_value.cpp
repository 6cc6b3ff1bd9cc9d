#include "long_value.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "error.h"
#include "usage_map.h"

namespace varnix {

namespace {

constexpr std::uint8_t kInline = 0x80;
constexpr std::uint8_t kOneRow = 0x40;
constexpr std::uint8_t kChain = 0x00;
constexpr std::uint32_t kLengthMask = 0x3fffffff;
constexpr std::size_t kInlineMost = 64;
constexpr std::size_t kChainPointer = 4;

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

std::vector<JetRowId> JetLongValueRows(const JetPages& pages, const std::uint8_t* field,
                                       std::size_t size) {
    if (size < kJetLongValueHeader) {
        JetDamaged("a memo value is cut short");
    }
    const std::uint32_t length = JetU32(field) & kLengthMask;
    const std::uint8_t kind = field[3] & 0xc0;
    std::uint32_t pointer = JetU32(field + 4);
    if (kind == kInline) {
        return {};
    }
    if (kind == kOneRow) {
        LongValueRow(pages, pointer);
        return {JetRowId::From(pointer)};
    }
    std::vector<JetRowId> rows;
    std::set<std::uint32_t> seen;
    for (std::size_t got = 0; got < length;) {
        if (pointer == 0 || !seen.insert(pointer).second) {
            JetDamaged("a memo value's chain of records ends early or loops");
        }
        const auto [data, stored] = LongValueRow(pages, pointer);
        if (stored < kChainPointer) {
            JetDamaged("a memo value's record is cut short");
        }
        rows.push_back(JetRowId::From(pointer));
        got += stored - kChainPointer;
        pointer = JetU32(data);
    }
    return rows;
}

JetRowId JetLongValueWriter::AddRow(const std::vector<std::uint8_t>& bytes) {
    if (page_ == 0 || !pages_.RowFits(page_, bytes.size())) {
        page_ = AllocateJetPage(pages_);
        pages_.InitDataPage(page_, {'L', 'V', 'A', 'L'});
    }
    return {page_, pages_.AddRow(page_, bytes)};
}

std::vector<std::uint8_t> JetLongValueWriter::Store(const std::vector<std::uint8_t>& value) {
    if (value.size() <= kInlineMost) {
        return InlineJetLongValue(value);
    }
    if (!pages_.Layout().longValuePart) {
        JetUnsupported("a memo value of more than " + std::to_string(kInlineMost) +
                       " bytes in an Access 97 file, which Varnix does not write");
    }
    const std::size_t part = *pages_.Layout().longValuePart;
    std::vector<std::uint8_t> field(kJetLongValueHeader, 0);
    JetPutU32(field.data(), static_cast<std::uint32_t>(value.size()) & kLengthMask);
    if (value.size() <= part) {
        field[3] = static_cast<std::uint8_t>(field[3] | kOneRow);
        JetPutU32(field.data() + 4, AddRow(value).Pointer());
        return field;
    }
    // A chain is written from its last part back, so each part knows the next.
    std::uint32_t next = 0;
    const std::size_t chunk = part - kChainPointer;
    const std::size_t parts = (value.size() + chunk - 1) / chunk;
    for (std::size_t i = parts; i-- > 0;) {
        const std::size_t from = i * chunk;
        const std::size_t to = std::min(value.size(), from + chunk);
        std::vector<std::uint8_t> row(kChainPointer, 0);
        JetPutU32(row.data(), next);
        row.insert(row.end(), value.begin() + static_cast<std::ptrdiff_t>(from),
                   value.begin() + static_cast<std::ptrdiff_t>(to));
        next = AddRow(row).Pointer();
    }
    JetPutU32(field.data() + 4, next);  // kind 0x00: a chain
    return field;
}

void JetLongValueWriter::StoreField(JetField& field) {
    if (field.bytes.size() < kJetLongValueHeader) {
        JetDamaged("a long value is cut short");
    }
    field.bytes = Store(std::vector<std::uint8_t>(
        field.bytes.begin() + static_cast<std::ptrdiff_t>(kJetLongValueHeader), field.bytes.end()));
}

std::vector<std::uint32_t> ReleaseJetLongValue(JetPages& pages, const std::uint8_t* field,
                                               std::size_t size) {
    const JetLayout& layout = pages.Layout();
    std::set<std::uint32_t> touched;
    for (const JetRowId row : JetLongValueRows(pages, field, size)) {
        std::uint8_t* entry =
            pages.MutablePage(row.page) + layout.dataRowTable + 2 * std::size_t{row.row};
        JetPutU16(entry, static_cast<std::uint16_t>(JetU16(entry) | kJetDeletedRow));
        touched.insert(row.page);
    }
    std::vector<std::uint32_t> released;
    for (const std::uint32_t page : touched) {
        const std::uint16_t count = pages.RowCount(page);
        bool live = false;
        for (std::uint16_t row = 0; row < count && !live; ++row) {
            live = (pages.Row({page, static_cast<std::uint8_t>(row)}).flags & kJetDeletedRow) == 0;
        }
        if (!live) {
            ReleaseJetPage(pages, page);
            released.push_back(page);
        }
    }
    return released;
}

void ReleaseJetTableLongValue(JetPages& pages, const JetTableDef& def, const JetField& field) {
    for (const std::uint32_t page :
         ReleaseJetLongValue(pages, field.bytes.data(), field.bytes.size())) {
        for (const std::uint32_t pointer : {def.ownedPages, def.freePages}) {
            JetUsageMap map(pages, pointer);
            if (map.Contains(page)) {
                map.Set(pages, page, false);
            }
        }
    }
}

std::vector<std::uint8_t> InlineJetLongValue(const std::vector<std::uint8_t>& value) {
    std::vector<std::uint8_t> field(kJetLongValueHeader, 0);
    JetPutU32(field.data(), static_cast<std::uint32_t>(value.size()) & kLengthMask);
    field[3] = static_cast<std::uint8_t>(field[3] | kInline);
    field.insert(field.end(), value.begin(), value.end());
    return field;
}

}  // namespace varnix
