#include "index_pages.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "error.h"
#include "index_page_format.h"

namespace varnix {
namespace {

using namespace index_page;

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::size_t ReadPrefixLength(const std::uint8_t* p, const JetLayout& layout) {
    std::size_t length = 0;
    for (std::size_t i = PrefixFieldBytes(layout); i-- > 0;) {
        length = (length << 8) | p[layout.indexPrefixLength + i];
    }
    return length;
}

struct IndexPage {
    std::uint32_t number = 0;
    bool leaf = true;
    std::uint32_t prev = 0;
    std::uint32_t next = 0;
    std::uint32_t tail = 0;
    std::vector<JetIndexEntry> entries;
    std::vector<std::uint32_t> children;  // node pages: each entry's child, then the tail
    std::size_t parent = kNone;           // its parent's position in the level above
    std::size_t firstChild = 0;           // its children's positions in the level below
};

IndexPage ReadPage(const JetPages& pages, std::uint32_t number, std::uint32_t definitionPage) {
    const JetLayout& layout = pages.Layout();
    const std::uint8_t* p = pages.Page(number);
    IndexPage page;
    page.number = number;
    if ((p[0] != kJetIndexNodePage && p[0] != kJetIndexLeafPage) || p[1] != 0x01) {
        JetDamaged(Named(number) + " is not an index page");
    }
    if (JetU32(p + layout.indexOwner) != definitionPage) {
        JetDamaged(Named(number) + " belongs to another table");
    }
    page.leaf = p[0] == kJetIndexLeafPage;
    page.prev = JetU32(p + layout.indexPrevPage);
    page.next = JetU32(p + layout.indexNextPage);
    page.tail = JetU32(p + layout.indexTailPage);
    if (page.leaf && page.tail != 0) {
        JetUnsupported("the Access file has an index leaf page with a tail page (" + Named(number) +
                       ")");
    }

    // A set bit marks where an entry ends, counted from the first entry's start.
    std::vector<std::size_t> ends;
    for (std::size_t bit = 0; bit < MaskBits(layout); ++bit) {
        const std::uint8_t byte = p[layout.indexEntryMask + bit / 8];
        if (byte == 0 && bit % 8 == 0) {
            bit += 7;  // a clear byte, as most of the mask is
        } else if ((byte >> (bit % 8)) & 1) {
            ends.push_back(bit);
        }
    }
    const std::size_t used = ends.empty() ? 0 : ends.back();
    if (used > EntrySpace(layout) || (!ends.empty() && ends.front() == 0)) {
        JetDamaged("the entry bitmap of " + Named(number) + " is invalid");
    }
    if (JetU16(p + layout.indexFreeSpace) != layout.pageSize - layout.indexFirstEntry - used) {
        JetDamaged("the free space of " + Named(number) + " does not match its entries");
    }
    const std::size_t prefix = ReadPrefixLength(p, layout);
    if (prefix > (ends.empty() ? 0 : ends.front())) {
        JetDamaged("the shared prefix of " + Named(number) + " is longer than its first entry");
    }

    const std::uint8_t* data = p + layout.indexFirstEntry;
    const std::size_t tailBytes = kRowPointerBytes + (page.leaf ? 0 : kChildPointerBytes);
    std::size_t start = 0;
    std::vector<std::uint8_t> whole;
    for (const std::size_t end : ends) {
        whole.assign(data, data + (start == 0 ? 0 : prefix));
        whole.insert(whole.end(), data + start, data + end);
        start = end;
        if (whole.size() <= tailBytes) {
            JetDamaged("an entry of " + Named(number) + " is cut short");
        }
        const std::size_t k = whole.size() - tailBytes;
        JetIndexEntry entry;
        entry.key.assign(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(k));
        entry.row.page =
            (std::uint32_t{whole[k]} << 16) | (std::uint32_t{whole[k + 1]} << 8) | whole[k + 2];
        entry.row.row = whole[k + 3];
        if (!page.entries.empty() && !(page.entries.back() < entry)) {
            JetDamaged("the entries of " + Named(number) + " are out of order");
        }
        if (!page.leaf) {
            page.children.push_back((std::uint32_t{whole[k + 4]} << 24) |
                                    (std::uint32_t{whole[k + 5]} << 16) |
                                    (std::uint32_t{whole[k + 6]} << 8) | whole[k + 7]);
        }
        page.entries.push_back(std::move(entry));
    }
    if (!page.leaf && page.tail != 0) {
        page.children.push_back(page.tail);
    }
    return page;
}

// Links of one level: leaves are chained end to end; node pages at least to the siblings
// under their own parent (Jackcess links them no further, a chain across parents is
// accepted too). A link always has its counterpart.
void CheckLinks(const std::vector<IndexPage>& level) {
    for (std::size_t i = 0; i < level.size(); ++i) {
        const IndexPage& page = level[i];
        const IndexPage* before = i > 0 ? &level[i - 1] : nullptr;
        const IndexPage* after = i + 1 < level.size() ? &level[i + 1] : nullptr;
        if (page.leaf && after == nullptr && page.next != 0) {
            // Access may chain new leaves behind the last one before its tree names them.
            JetUnsupported("an index of the Access file has leaves beyond its tree (after " +
                           Named(page.number) + ")");
        }
        const auto linked = [&](std::uint32_t link, const IndexPage* other) {
            if (other == nullptr) {
                return link == 0;
            }
            if (page.leaf || other->parent == page.parent) {
                return link == other->number;
            }
            return link == 0 || link == other->number;
        };
        if (!linked(page.prev, before) || !linked(page.next, after) ||
            (after != nullptr && (page.next == after->number) != (after->prev == page.number))) {
            JetDamaged("the previous/next links of " + Named(page.number) + " are wrong");
        }
    }
}

// Takes the leaves' entries, checking that they rise across pages; and the last entry of
// each page's subtree, from the leaves up: each node entry must repeat the last entry of
// its child's subtree.
void CollectEntries(const std::vector<std::vector<IndexPage>>& levels, JetIndexTree& tree) {
    std::vector<const JetIndexEntry*> lasts;
    for (const IndexPage& leaf : levels.back()) {
        if (leaf.entries.empty() && levels.size() > 1) {
            JetDamaged(Named(leaf.number) + " is an empty leaf");
        }
        for (const JetIndexEntry& entry : leaf.entries) {
            if (!tree.entries.empty() && !(tree.entries.back() < entry)) {
                JetDamaged("the entries of " + Named(leaf.number) +
                           " are out of order with the page before");
            }
            tree.entries.push_back(entry);
        }
        lasts.push_back(leaf.entries.empty() ? nullptr : &leaf.entries.back());
    }
    for (std::size_t d = levels.size() - 1; d-- > 0;) {
        std::vector<const JetIndexEntry*> upper;
        for (const IndexPage& node : levels[d]) {
            for (std::size_t e = 0; e < node.entries.size(); ++e) {
                const JetIndexEntry* child = lasts[node.firstChild + e];
                if (node.entries[e] != *child) {
                    JetDamaged("an entry of " + Named(node.number) +
                               " does not match the last entry of its child");
                }
            }
            upper.push_back(lasts[node.firstChild + node.children.size() - 1]);
        }
        lasts = std::move(upper);
    }
}

}  // namespace

JetIndexTree ReadJetIndex(const JetPages& pages, std::uint32_t definitionPage,
                          std::uint32_t firstPage) {
    std::vector<std::vector<IndexPage>> levels;
    std::vector<bool> seen(pages.Count(), false);
    const auto visit = [&](std::uint32_t number) {
        if (number >= pages.Count()) {
            JetDamaged(Named(number) + " lies beyond the end of the file");
        }
        if (seen[number]) {
            JetDamaged(Named(number) + " is used twice in one index");
        }
        seen[number] = true;
        return ReadPage(pages, number, definitionPage);
    };
    levels.push_back({visit(firstPage)});
    while (!levels.back().front().leaf) {
        if (levels.size() == kJetMaxIndexLevels) {
            JetUnsupported("an index of the Access file has more than " +
                           std::to_string(kJetMaxIndexLevels) + " levels");
        }
        std::vector<IndexPage>& above = levels.back();
        std::vector<IndexPage> below;
        for (std::size_t i = 0; i < above.size(); ++i) {
            if (above[i].children.empty()) {
                JetDamaged(Named(above[i].number) + " has no children");
            }
            above[i].firstChild = below.size();
            for (const std::uint32_t child : above[i].children) {
                below.push_back(visit(child));
                below.back().parent = i;
            }
        }
        for (const IndexPage& page : below) {
            if (page.leaf != below.front().leaf) {
                JetDamaged(Named(page.number) + " lies at the wrong depth of its index");
            }
        }
        levels.push_back(std::move(below));
    }

    JetIndexTree tree;
    for (const auto& level : levels) {
        CheckLinks(level);
        for (const IndexPage& page : level) {
            tree.pages.push_back(page.number);
        }
    }
    CollectEntries(levels, tree);
    return tree;
}

}  // namespace varnix
