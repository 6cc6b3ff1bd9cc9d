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
constexpr std::uint32_t kMaxRowPage = 0xffffff;

void WritePrefixLength(std::uint8_t* p, const JetLayout& layout, std::size_t length) {
    for (std::size_t i = 0; i < PrefixFieldBytes(layout); ++i) {
        p[layout.indexPrefixLength + i] = static_cast<std::uint8_t>(length >> (8 * i));
    }
}

std::size_t CommonPrefix(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                                    a.begin());
}

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

// The pages of each level, from the leaves up: each page's items of the level below.
using Shape = std::vector<std::vector<Group>>;

// Entries to write must rise strictly, have a key and point where an index can.
void CheckEntries(const std::vector<JetIndexEntry>& entries) {
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
}

// Groups of entries per leaf, then groups of pages per node, up to one root.
Shape ShapeTree(const JetLayout& layout, const std::vector<JetIndexEntry>& entries) {
    Shape levels;
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
    return levels;
}

struct Numbering {
    std::vector<std::vector<std::uint32_t>> numbers;  // per level, per page of the shape
    std::vector<std::uint32_t> unused;                // old pages left over
};

// Page numbers, root first, level by level: the root on `firstPage`, then old pages, then
// new ones from `allocate`, each checked to be in the file and not in use.
Numbering NumberPages(const JetPages& pages, std::uint32_t firstPage, const Shape& levels,
                      const std::vector<std::uint32_t>& oldPages,
                      const std::function<std::uint32_t()>& allocate) {
    std::vector<std::uint32_t> spare;
    for (const std::uint32_t page : oldPages) {
        pages.Page(page);
        if (page != firstPage && std::find(spare.begin(), spare.end(), page) == spare.end()) {
            spare.push_back(page);
        }
    }
    Numbering numbering;
    numbering.numbers.resize(levels.size());
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
            numbering.numbers[d].push_back(page);
        }
    }
    numbering.unused.assign(spare.begin() + static_cast<std::ptrdiff_t>(nextSpare), spare.end());
    return numbering;
}

// The parent of each page, to link node pages only to their siblings; none for the root.
std::vector<std::vector<std::size_t>> ParentsOf(const Shape& levels) {
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
    return parents;
}

// Links each page to its neighbours and writes it, level by level from the leaves.
void LinkAndWrite(JetPages& pages, std::uint32_t definitionPage,
                  const std::vector<JetIndexEntry>& entries, const Shape& levels,
                  const std::vector<std::vector<std::uint32_t>>& numbers) {
    const std::vector<std::vector<std::size_t>> parents = ParentsOf(levels);
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
            WritePage(pages.MutablePage(numbers[d][g]), pages.Layout(), definitionPage, image);
        }
        below = std::move(current);
    }
}

}  // namespace

std::vector<std::uint32_t> WriteJetIndex(JetPages& pages, std::uint32_t definitionPage,
                                         std::uint32_t firstPage,
                                         const std::vector<JetIndexEntry>& entries,
                                         const std::vector<std::uint32_t>& oldPages,
                                         const std::function<std::uint32_t()>& allocate) {
    pages.Page(firstPage);  // a root beyond the file is damage
    CheckEntries(entries);
    const Shape levels = ShapeTree(pages.Layout(), entries);
    const Numbering numbering = NumberPages(pages, firstPage, levels, oldPages, allocate);
    LinkAndWrite(pages, definitionPage, entries, levels, numbering.numbers);
    for (const std::uint32_t page : numbering.unused) {
        std::uint8_t* p = pages.MutablePage(page);
        std::fill(p, p + pages.PageSize(), std::uint8_t{0});
    }
    return numbering.unused;
}

}  // namespace varnix
