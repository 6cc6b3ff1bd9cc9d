#include "index_pages.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "error.h"

namespace varnix {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr std::size_t kRowPointerBytes = 4;
constexpr std::size_t kChildPointerBytes = 4;
constexpr std::uint32_t kMaxRowPage = 0xffffff;

std::string Named(std::uint32_t page) {
    return "index page " + std::to_string(page);
}

std::size_t MaskBits(const JetLayout& layout) {
    return (layout.indexFirstEntry - layout.indexEntryMask) * 8;
}

// The bytes of entries a page holds: up to its end, and no further than its bitmap marks.
std::size_t EntrySpace(const JetLayout& layout) {
    return std::min(layout.pageSize - layout.indexFirstEntry, MaskBits(layout) - 1);
}

// The shared prefix's length fills the bytes from its offset up to the byte before the
// entry bitmap (Jet 4: 2 bytes, Jet 3: 1). That last byte is a flag Access sets on node
// pages (seen on every node page of Access-made Jet 3 and Jet 4 files; Jackcess writes 0
// and readers ignore it).
std::size_t PrefixFieldBytes(const JetLayout& layout) {
    return layout.indexEntryMask - 1 - layout.indexPrefixLength;
}

std::size_t ReadPrefixLength(const std::uint8_t* p, const JetLayout& layout) {
    std::size_t length = 0;
    for (std::size_t i = PrefixFieldBytes(layout); i-- > 0;) {
        length = (length << 8) | p[layout.indexPrefixLength + i];
    }
    return length;
}

void WritePrefixLength(std::uint8_t* p, const JetLayout& layout, std::size_t length) {
    for (std::size_t i = 0; i < PrefixFieldBytes(layout); ++i) {
        p[layout.indexPrefixLength + i] = static_cast<std::uint8_t>(length >> (8 * i));
    }
}

constexpr std::uint8_t kNodePageFlag = 0x01;

std::size_t CommonPrefix(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                                    a.begin());
}

// ---- Reading ----

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
        if ((p[layout.indexEntryMask + bit / 8] >> (bit % 8)) & 1) {
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

// ---- Writing ----

struct Group {
    std::size_t begin = 0;  // the items of the level below (entries for leaves)
    std::size_t end = 0;
};

// The shared prefix a page of `count` entries, `bytes` long in all, with keys from `first`
// to `last` takes: none when they fit without, else their keys' common prefix (as far as
// the length field can say).
std::size_t PagePrefix(const JetLayout& layout, const std::vector<std::uint8_t>& first,
                       const std::vector<std::uint8_t>& last, std::size_t bytes) {
    if (bytes <= EntrySpace(layout)) {
        return 0;
    }
    const std::size_t most = (std::size_t{1} << (8 * PrefixFieldBytes(layout))) - 1;
    return std::min(CommonPrefix(first, last), most);
}

bool Fits(const JetLayout& layout, const std::vector<std::uint8_t>& first,
          const std::vector<std::uint8_t>& last, std::size_t count, std::size_t bytes) {
    return bytes - PagePrefix(layout, first, last, bytes) * (count - 1) <= EntrySpace(layout);
}

// Packs items in order, as many a page as fit. `lasts[i]` is item i's entry (a node
// entry repeats the last entry of its child). A node page lists all its children but the
// last as entries and names that one as its tail; a lone child stays an entry.
std::vector<Group> Pack(const JetLayout& layout, const std::vector<const JetIndexEntry*>& lasts,
                        bool leaf) {
    const std::size_t extra = kRowPointerBytes + (leaf ? 0 : kChildPointerBytes);
    std::vector<Group> groups;
    std::size_t i = 0;
    do {
        const std::size_t begin = i;
        std::size_t bytes = 0;
        while (i < lasts.size() && Fits(layout, lasts[begin]->key, lasts[i]->key, i - begin + 1,
                                        bytes + lasts[i]->key.size() + extra)) {
            bytes += lasts[i]->key.size() + extra;
            ++i;
        }
        if (i == begin && i < lasts.size()) {
            JetUnsupported("an index entry is too long for an index page");
        }
        if (!leaf && i < lasts.size()) {
            ++i;  // the tail; when all the rest fitted, the last of them is the tail
        }
        groups.push_back({begin, i});
    } while (i < lasts.size());
    return groups;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

struct PageImage {
    bool leaf = true;
    std::uint32_t prev = 0;
    std::uint32_t next = 0;
    std::uint32_t tail = 0;
    std::vector<const JetIndexEntry*> entries;
    std::vector<std::uint32_t> children;  // node pages: one per entry
};

void WritePage(std::uint8_t* p, const JetLayout& layout, std::uint32_t definitionPage,
               const PageImage& image) {
    std::fill(p, p + layout.pageSize, std::uint8_t{0});
    p[0] = image.leaf ? kJetIndexLeafPage : kJetIndexNodePage;
    p[1] = 0x01;
    JetPutU32(p + layout.indexOwner, definitionPage);
    JetPutU32(p + layout.indexPrevPage, image.prev);
    JetPutU32(p + layout.indexNextPage, image.next);
    JetPutU32(p + layout.indexTailPage, image.tail);

    std::vector<std::vector<std::uint8_t>> whole;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < image.entries.size(); ++i) {
        std::vector<std::uint8_t> entry = image.entries[i]->key;
        PutBigEndian(entry, image.entries[i]->row.page, 3);
        entry.push_back(image.entries[i]->row.row);
        if (!image.leaf) {
            PutBigEndian(entry, image.children[i], 4);
        }
        bytes += entry.size();
        whole.push_back(std::move(entry));
    }
    const std::size_t prefix = whole.empty() ? 0
                                             : PagePrefix(layout, image.entries.front()->key,
                                                          image.entries.back()->key, bytes);
    WritePrefixLength(p, layout, prefix);
    p[layout.indexEntryMask - 1] = image.leaf ? 0 : kNodePageFlag;
    std::size_t at = 0;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const std::size_t skip = i == 0 ? 0 : prefix;
        std::copy(whole[i].begin() + static_cast<std::ptrdiff_t>(skip), whole[i].end(),
                  p + layout.indexFirstEntry + at);
        at += whole[i].size() - skip;
        p[layout.indexEntryMask + at / 8] |= static_cast<std::uint8_t>(1u << (at % 8));
    }
    JetPutU16(p + layout.indexFreeSpace,
              static_cast<std::uint16_t>(layout.pageSize - layout.indexFirstEntry - at));
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
    // The last entry of each page's subtree, from the leaves up; each node entry must
    // repeat the last entry of its child's subtree.
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
    return tree;
}

std::vector<std::uint32_t> WriteJetIndex(JetPages& pages, std::uint32_t definitionPage,
                                         std::uint32_t firstPage,
                                         const std::vector<JetIndexEntry>& entries,
                                         const std::vector<std::uint32_t>& oldPages,
                                         const std::function<std::uint32_t()>& allocate) {
    const JetLayout& layout = pages.Layout();
    pages.Page(firstPage);  // a root beyond the file is damage
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0 && !(entries[i - 1] < entries[i])) {
            JetUnsupported("index entries to write are out of order or repeated");
        }
        if (entries[i].key.empty()) {
            JetUnsupported("an index entry to write has no key");
        }
        if (entries[i].row.page > kMaxRowPage) {
            JetUnsupported("an index entry points beyond the pages an index can name");
        }
    }

    // The shape: groups of entries per leaf, then groups of pages per node, up to one root.
    std::vector<std::vector<Group>> levels;
    std::vector<const JetIndexEntry*> lasts;
    for (const JetIndexEntry& entry : entries) {
        lasts.push_back(&entry);
    }
    levels.push_back(Pack(layout, lasts, true));
    while (levels.back().size() > 1) {
        if (levels.size() == kJetMaxIndexLevels) {
            JetUnsupported("the index would need more than " + std::to_string(kJetMaxIndexLevels) +
                           " levels");
        }
        std::vector<const JetIndexEntry*> upper;
        for (const Group& group : levels.back()) {
            upper.push_back(lasts[group.end - 1]);
        }
        lasts = std::move(upper);
        levels.push_back(Pack(layout, lasts, false));
    }

    // Page numbers, root first, level by level: old pages, then new ones.
    std::vector<std::uint32_t> spare;
    for (const std::uint32_t page : oldPages) {
        pages.Page(page);
        if (page != firstPage && std::find(spare.begin(), spare.end(), page) == spare.end()) {
            spare.push_back(page);
        }
    }
    std::vector<std::vector<std::uint32_t>> numbers(levels.size());
    std::vector<std::uint32_t> used{firstPage};
    std::size_t nextSpare = 0;
    for (std::size_t d = levels.size(); d-- > 0;) {
        for (std::size_t g = 0; g < levels[d].size(); ++g) {
            std::uint32_t page = firstPage;
            if (d + 1 != levels.size()) {
                if (nextSpare < spare.size()) {
                    page = spare[nextSpare++];
                } else {
                    page = allocate();
                    if (page >= pages.Count() ||
                        std::find(used.begin(), used.end(), page) != used.end() ||
                        std::find(spare.begin(), spare.end(), page) != spare.end()) {
                        JetUnsupported("a new index page is already in use or missing");
                    }
                }
                used.push_back(page);
            }
            numbers[d].push_back(page);
        }
    }

    // The parent of each page, to link node pages only to their siblings.
    std::vector<std::vector<std::size_t>> parents(levels.size());
    for (std::size_t d = 0; d + 1 < levels.size(); ++d) {
        parents[d].resize(levels[d].size());
        for (std::size_t g = 0; g < levels[d + 1].size(); ++g) {
            for (std::size_t c = levels[d + 1][g].begin; c < levels[d + 1][g].end; ++c) {
                parents[d][c] = g;
            }
        }
    }
    parents.back().assign(1, kNone);

    std::vector<const JetIndexEntry*> below;  // the last entry of each page of the level below
    for (std::size_t d = 0; d < levels.size(); ++d) {
        std::vector<const JetIndexEntry*> current;
        for (std::size_t g = 0; g < levels[d].size(); ++g) {
            const Group& group = levels[d][g];
            PageImage image;
            image.leaf = d == 0;
            const bool linkPrev = g > 0 && (image.leaf || parents[d][g - 1] == parents[d][g]);
            const bool linkNext =
                g + 1 < levels[d].size() && (image.leaf || parents[d][g + 1] == parents[d][g]);
            image.prev = linkPrev ? numbers[d][g - 1] : 0;
            image.next = linkNext ? numbers[d][g + 1] : 0;
            if (image.leaf) {
                for (std::size_t e = group.begin; e < group.end; ++e) {
                    image.entries.push_back(&entries[e]);
                }
                current.push_back(group.end > group.begin ? &entries[group.end - 1] : nullptr);
            } else {
                const bool tail = group.end - group.begin >= 2;
                const std::size_t listed = tail ? group.end - 1 : group.end;
                for (std::size_t c = group.begin; c < listed; ++c) {
                    image.entries.push_back(below[c]);
                    image.children.push_back(numbers[d - 1][c]);
                }
                image.tail = tail ? numbers[d - 1][group.end - 1] : 0;
                current.push_back(below[group.end - 1]);
            }
            WritePage(pages.MutablePage(numbers[d][g]), layout, definitionPage, image);
        }
        below = std::move(current);
    }

    std::vector<std::uint32_t> unused(spare.begin() + static_cast<std::ptrdiff_t>(nextSpare),
                                      spare.end());
    for (const std::uint32_t page : unused) {
        std::uint8_t* p = pages.MutablePage(page);
        std::fill(p, p + layout.pageSize, std::uint8_t{0});
    }
    return unused;
}

}  // namespace varnix
