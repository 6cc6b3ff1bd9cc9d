#include "usage_map.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "error.h"

namespace varnix {

namespace {

constexpr std::uint8_t kInlineMap = 0;
constexpr std::uint8_t kReferenceMap = 1;
constexpr std::size_t kInlineHeader = 5;  // type, first page
constexpr std::size_t kMapPageHeader = 4;
constexpr std::uint32_t kFirstTablePage = 2;  // pages 0 to 2: header, global map, catalogue

// No bit set in the eight bytes at `bits`.
bool NoBitSet(const std::uint8_t* bits) {
    std::uint64_t word = 0;
    std::memcpy(&word, bits, sizeof word);
    return word == 0;
}

}  // namespace

JetUsageMap::JetUsageMap(const JetPages& pages, std::uint32_t pointer) {
    const JetRowId id = JetRowId::From(pointer);
    recordPage_ = id.page;
    const JetPages::RowSpan span = pages.Row(id);
    const std::uint8_t* record = pages.Page(id.page) + span.start;
    const std::size_t size = span.end - span.start;
    if (size < 1) {
        JetDamaged("a usage map is empty");
    }
    if (record[0] == kInlineMap) {
        if (size < kInlineHeader) {
            JetDamaged("a usage map is cut short");
        }
        stretches_.push_back(
            {id.page, span.start + kInlineHeader, size - kInlineHeader, JetU32(record + 1), true});
    } else if (record[0] == kReferenceMap) {
        const std::size_t perPage = (pages.PageSize() - kMapPageHeader) * 8;
        for (std::size_t i = 0; 1 + 4 * i + 4 <= size; ++i) {
            const std::uint32_t map = JetU32(record + 1 + 4 * i);
            const std::uint64_t first = std::uint64_t{i} * perPage;
            const std::size_t slot = span.start + 1 + 4 * i;
            if (map == 0) {
                stretches_.push_back(
                    {0, 0, pages.PageSize() - kMapPageHeader, first, false, id.page, slot});
                continue;
            }
            if (pages.Page(map)[0] != kJetUsageMapPage) {
                JetDamaged("page " + std::to_string(map) + " is not a usage map");
            }
            stretches_.push_back({map, kMapPageHeader, pages.PageSize() - kMapPageHeader, first,
                                  true, id.page, slot});
        }
    } else {
        JetDamaged("a usage map is of unknown type");
    }
    for (const Stretch& stretch : stretches_) {
        if (!stretch.present) {
            continue;
        }
        const std::uint8_t* bits = pages.Page(stretch.page) + stretch.offset;
        for (std::size_t i = 0; i < stretch.bytes; ++i) {
            if (i + 8 <= stretch.bytes && NoBitSet(bits + i)) {
                i += 7;  // a map page is mostly clear: eight bytes at a time
                continue;
            }
            for (unsigned bit = 0; bits[i] != 0 && bit < 8; ++bit) {
                if ((bits[i] >> bit) & 1) {
                    const std::uint64_t page = stretch.first + i * 8 + bit;
                    if (page > UINT32_MAX) {
                        JetDamaged("a usage map names pages beyond any file");
                    }
                    set_.push_back(static_cast<std::uint32_t>(page));
                }
            }
        }
    }
    std::sort(set_.begin(), set_.end());
    set_.erase(std::unique(set_.begin(), set_.end()), set_.end());
}

std::vector<std::uint32_t> JetUsageMap::Pages() const {
    return set_;
}

std::vector<std::uint32_t> JetUsageMap::StoragePages() const {
    std::vector<std::uint32_t> out{recordPage_};
    for (const Stretch& stretch : stretches_) {
        if (stretch.present && stretch.page != recordPage_) {
            out.push_back(stretch.page);
        }
    }
    return out;
}

bool JetUsageMap::Contains(std::uint32_t page) const {
    return std::binary_search(set_.begin(), set_.end(), page);
}

std::size_t JetUsageMap::StretchOf(std::uint32_t page) const {
    for (std::size_t i = 0; i < stretches_.size(); ++i) {
        if (page >= stretches_[i].first && page < stretches_[i].first + stretches_[i].bytes * 8) {
            return i;
        }
    }
    return stretches_.size();
}

bool JetUsageMap::Covers(std::uint32_t page) const {
    const std::size_t at = StretchOf(page);
    return at < stretches_.size() && stretches_[at].present;
}

void JetUsageMap::Set(JetPages& pages, std::uint32_t page, bool on) {
    const std::size_t at = StretchOf(page);
    Stretch* stretch = at < stretches_.size() ? &stretches_[at] : nullptr;
    if (stretch != nullptr && !stretch->present && stretch->slotPage != 0) {
        if (!on) {
            return;  // a stretch without a map page has no bit set
        }
        const std::uint32_t map = AllocateJetPage(pages);
        std::uint8_t* data = pages.MutablePage(map);
        data[0] = kJetUsageMapPage;
        data[1] = 0x01;
        JetPutU32(pages.MutablePage(stretch->slotPage) + stretch->slotOffset, map);
        stretch->page = map;
        stretch->offset = kMapPageHeader;
        stretch->present = true;
    }
    if (stretch == nullptr || !stretch->present) {
        JetUnsupported("a page map of the Access file cannot take page " + std::to_string(page) +
                       "; compacting the file in Access makes room");
    }
    const std::uint64_t bit = page - stretch->first;
    std::uint8_t& byte = pages.MutablePage(stretch->page)[stretch->offset + bit / 8];
    const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    byte = on ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
    const auto place = std::lower_bound(set_.begin(), set_.end(), page);
    const bool there = place != set_.end() && *place == page;
    if (on && !there) {
        set_.insert(place, page);
    } else if (!on && there) {
        set_.erase(place);
    }
}

std::uint32_t AllocateJetPage(JetPages& pages) {
    JetUsageMap global(pages, kJetGlobalUsageMap);
    for (const std::uint32_t free : global.Pages()) {
        if (free >= pages.Count()) {
            break;
        }
        const std::uint8_t* data = pages.Page(free);
        if (free > kFirstTablePage &&
            std::all_of(data, data + pages.PageSize(), [](std::uint8_t b) { return b == 0; })) {
            global.Set(pages, free, false);
            return free;
        }
    }
    const std::uint32_t page = pages.Count();
    if (!global.Covers(page)) {
        JetUnsupported(
            "the Access file's page map is full; compacting the file in Access "
            "makes room");
    }
    pages.Append();
    global.Set(pages, page, false);
    return page;
}

void ReleaseJetPage(JetPages& pages, std::uint32_t page) {
    std::uint8_t* data = pages.MutablePage(page);
    std::fill(data, data + pages.PageSize(), std::uint8_t{0});
    JetUsageMap(pages, kJetGlobalUsageMap).Set(pages, page, true);
}

}  // namespace varnix
