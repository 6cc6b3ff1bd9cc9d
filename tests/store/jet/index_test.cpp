// The index unit of the Jet writer: key bytes against keys Jackcess and Access wrote, the
// index pages of the genuine samples read and checked against their rows, rebuilt and
// read back, and refused when damaged or when they cannot be laid out exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "jet/file.h"
#include "jet/index_key.h"
#include "jet/index_pages.h"
#include "jet/table_rows.h"
#include "jet_samples.h"

namespace varnix {

// Entries as "key @ page.row" in failure messages.
void PrintTo(const JetIndexEntry& entry, std::ostream* out) {
    for (const std::uint8_t b : entry.key) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x ", b);
        *out << byte;
    }
    *out << "@ " << entry.row.page << "." << int{entry.row.row};
}

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Hex(std::string_view text) {
    Bytes bytes;
    for (std::size_t at = 0; at < text.size(); at += 3) {
        bytes.push_back(
            static_cast<std::uint8_t>(std::stoi(std::string(text.substr(at, 2)), nullptr, 16)));
    }
    return bytes;
}

std::string HexOf(const Bytes& bytes) {
    std::string text;
    char byte[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, "%02x ", b);
        text += byte;
    }
    return text;
}

JetColumnDef Column(std::uint8_t type) {
    JetColumnDef column;
    column.type = type;
    column.sortOrder = 1033;
    return column;
}

const JetLayout& LayoutOf(bool jet4) {
    return jet4 ? kJet4Layout : kJet3Layout;
}

std::string KeyText(const std::optional<Bytes>& key) {
    return key ? HexOf(*key) : "none";
}

TEST(JetIndexKey, IntegersSortAsSignedNumbers) {
    struct Case {
        std::uint8_t type;
        JetValue value;
        bool ascending;
        const char* key;
    };
    const Case cases[] = {
        {kJetTypeInt32, JetValue::Int(1), true, "7f 80 00 00 01"},
        {kJetTypeInt32, JetValue::Int(24), true, "7f 80 00 00 18"},
        {kJetTypeInt32, JetValue::Int(-1), true, "7f 7f ff ff ff"},
        {kJetTypeInt32, JetValue::Int(INT32_MIN), true, "7f 00 00 00 00"},
        {kJetTypeInt32, JetValue::Int(1), false, "80 7f ff ff fe"},  // Access 97, MSysModules2
        {kJetTypeInt32, JetValue{}, true, "00"},
        {kJetTypeInt32, JetValue{}, false, "ff"},
        {kJetTypeInt16, JetValue::Int(1), true, "7f 80 01"},
        {kJetTypeInt16, JetValue::Int(-2), true, "7f 7f fe"},
        {kJetTypeInt16, JetValue::Int(-2), false, "80 80 01"},
        {kJetTypeByte, JetValue::Int(200), true, "7f c8"},
        {kJetTypeByte, JetValue::Int(200), false, "80 37"},
    };
    for (const Case& c : cases) {
        for (const bool jet4 : {true, false}) {
            EXPECT_EQ(
                KeyText(JetIndexKeyPart(Column(c.type), c.value, c.ascending, LayoutOf(jet4))),
                HexOf(Hex(c.key)))
                << "type " << int{c.type} << " value " << c.value.integer;
        }
    }
}

TEST(JetIndexKey, TextFollowsTheGeneralSortOrderOfEachVersion) {
    struct Case {
        bool jet4;
        const char* text;
        bool ascending;
        const char* key;
    };
    const Case cases[] = {
        // Jet 4, as Jackcess writes them (the first three measured in its files).
        {true, "5551234", true, "7f 40 40 40 38 3a 3c 3e 01 00"},
        {true, "ABC", true, "7f 4a 4c 4d 01 00"},
        {true, "abc", true, "7f 4a 4c 4d 01 00"},
        {true, "+36 ", true, "7f 2c 3c 42 01 00"},  // trailing spaces do not count
        {true, "", true, "7f 01 00"},
        {true, "^{}", true, "7f 2b 02 2b 09 2b 0d 01 00"},
        // The hyphen sorts as if absent; its code follows with its position (1).
        {true, "a-b", true, "7f 4a 4c 01 01 01 01 80 0b 06 82 00"},
        {true, "ABC", false, "80 b5 b3 b2 fe ff 00"},
        // Jet 3, as Access 97 wrote them in generic_access97_jet3.mdb.
        {false, "abcdefg", true, "7f 60 61 62 64 66 67 68 00"},
        {false, "hijklmnop", true, "7f 69 6a 6b 6c 6d 6f 70 72 73 00"},
        {false, "a-b", true, "7f 60 1e 61 00"},
        {false, "a", false, "80 9f ff"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KeyText(JetIndexKeyPart(Column(kJetTypeText), JetValue::Str(c.text), c.ascending,
                                          LayoutOf(c.jet4))),
                  HexOf(Hex(c.key)))
            << (c.jet4 ? "Jet 4 " : "Jet 3 ") << '"' << c.text << '"';
    }
    // Only the first 255 characters count.
    EXPECT_EQ(JetIndexKeyPart(Column(kJetTypeText), JetValue::Str(std::string(255, 'a') + "b"),
                              true, kJet4Layout),
              JetIndexKeyPart(Column(kJetTypeText), JetValue::Str(std::string(255, 'a')), true,
                              kJet4Layout));
}

TEST(JetIndexKey, ValuesWithoutAnExactKeyHaveNone) {
    JetColumnDef otherOrder = Column(kJetTypeText);
    otherOrder.sortOrder = 1034;
    JetColumnDef newerGeneral = Column(kJetTypeText);
    newerGeneral.sortVersion = 1;
    struct Case {
        const char* what;
        JetColumnDef column;
        JetValue value;
        bool jet4;
    };
    const Case cases[] = {
        {"a letter beyond ASCII", Column(kJetTypeText), JetValue::Str("caf\xc3\xa9"), true},
        {"a letter beyond ASCII, Jet 3", Column(kJetTypeText), JetValue::Str("caf\xc3\xa9"), false},
        {"a control character", Column(kJetTypeText), JetValue::Str("a\tb"), true},
        {"another sort order", otherOrder, JetValue::Str("abc"), true},
        {"the newer General order", newerGeneral, JetValue::Str("abc"), true},
        {"a Yes/No column", Column(kJetTypeBoolean), JetValue::Int(1), true},
        {"a memo column", Column(kJetTypeMemo), JetValue::Str("abc"), true},
        {"a null in a column of unknown keys", Column(kJetTypeMemo), JetValue{}, true},
        {"a Long beyond 32 bits", Column(kJetTypeInt32), JetValue::Int(INT64_C(1) << 31), true},
        {"an Integer beyond 16 bits", Column(kJetTypeInt16), JetValue::Int(40000), true},
        {"a negative Byte", Column(kJetTypeByte), JetValue::Int(-1), true},
        {"text in a number column", Column(kJetTypeInt32), JetValue::Str("1"), true},
        {"a number in a text column", Column(kJetTypeText), JetValue::Int(1), true},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(JetIndexKeyPart(c.column, c.value, true, LayoutOf(c.jet4))) << c.what;
    }
}

// ---- The samples ----

struct Sample {
    std::string file;
    std::string table;
};

const Sample kSamples[] = {
    {"write_pk_index.mdb", "phone"},          // 25 rows stored out of id order
    {"write_autonumber.mdb", "phone"},        // AutoNumber primary key
    {"write_full500_indexed.mdb", "phone"},   // a one-leaf key of 500, a text index of 4 pages
    {"write_empty_pk.mdb", "phone"},          // an empty primary key
    {"generic_access97_jet3.mdb", "Table1"},  // Access 97: two text indexes
    {"generic_access97_jet3.mdb", "Table2"},  // five empty indexes
    {"generic_access97_jet3.mdb", "Table3"}, {"generic_access97_jet3.mdb", "Table4"},
};

struct Opened {
    JetFile file;
    JetTableDef def;
};

Opened Open(const std::filesystem::path& folder, const Sample& sample) {
    JetFile file = JetFile::Open((folder / sample.file).string());
    JetTableDef def = ReadJetTableDef(file.Pages(), file.TableDefinition(sample.table));
    return {std::move(file), std::move(def)};
}

// What `index` must hold: each row's key, computed from its values, with where it lies.
std::vector<JetIndexEntry> EntriesOfRows(const Opened& opened, const JetRealIndex& index) {
    std::vector<JetIndexEntry> entries;
    for (const JetStoredRow& row : ReadJetTableRows(opened.file.Pages(), opened.def)) {
        std::vector<JetValue> values;
        for (std::size_t c = 0; c < opened.def.columns.size(); ++c) {
            values.push_back(DecodeJetValue(opened.file.Pages(), opened.file.TextForm(),
                                            opened.def.columns[c], row.fields[c]));
        }
        const auto key = JetIndexKey(opened.def, index, values, opened.file.Pages().Layout());
        if (!key) {
            ADD_FAILURE() << "no key for the row at " << row.at.page << "." << int{row.at.row};
            continue;
        }
        entries.push_back({*key, row.at});
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

TEST(JetIndexPages, SampleIndexesHoldExactlyTheKeysOfTheirRows) {
    VARNIX_NEED_JET_SAMPLES(folder);
    std::size_t trees = 0;
    std::size_t multiPage = 0;
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.file + " " + sample.table);
        const Opened opened = Open(*folder, sample);
        for (const JetRealIndex& index : opened.def.realIndexes) {
            const JetIndexTree tree =
                ReadJetIndex(opened.file.Pages(), opened.def.page, index.firstPage);
            EXPECT_EQ(tree.entries, EntriesOfRows(opened, index));
            EXPECT_EQ(tree.pages.front(), index.firstPage);
            ++trees;
            multiPage += tree.pages.size() > 1 ? 1 : 0;
        }
    }
    EXPECT_EQ(trees, 5u + 10u);  // every index of the samples: Jet 4, Jet 3
    EXPECT_EQ(multiPage, 1u);    // the text index of write_full500_indexed
}

TEST(JetIndexPages, ARebuiltSampleIndexReadsBackAlikeOnItsOwnPages) {
    VARNIX_NEED_JET_SAMPLES(folder);
    for (const Sample& sample : kSamples) {
        SCOPED_TRACE(sample.file + " " + sample.table);
        const Opened opened = Open(*folder, sample);
        const JetPages& original = opened.file.Pages();
        for (const JetRealIndex& index : opened.def.realIndexes) {
            const JetIndexTree tree = ReadJetIndex(original, opened.def.page, index.firstPage);
            JetPages copy = original;
            int allocations = 0;
            const std::vector<std::uint32_t> unused = WriteJetIndex(
                copy, opened.def.page, index.firstPage, tree.entries, tree.pages, [&] {
                    ++allocations;
                    return copy.Append();
                });
            const JetIndexTree again = ReadJetIndex(copy, opened.def.page, index.firstPage);
            EXPECT_EQ(again.entries, tree.entries);
            EXPECT_EQ(allocations, 0);
            EXPECT_EQ(again.pages.size() + unused.size(), tree.pages.size());
            for (const std::uint32_t page : unused) {
                EXPECT_EQ(std::find(again.pages.begin(), again.pages.end(), page),
                          again.pages.end());
                const std::uint8_t* bytes = copy.Page(page);
                EXPECT_TRUE(std::all_of(bytes, bytes + copy.PageSize(),
                                        [](std::uint8_t b) { return b == 0; }))
                    << "unused page " << page << " is not cleared";
            }
            if (tree.pages.size() == 1) {
                // One leaf comes out as Jackcess (and Access 97) wrote it, up to the end of
                // its entries; they leave stale bytes behind that, where ours are zeros.
                const std::uint8_t* before = original.Page(index.firstPage);
                const std::uint8_t* after = copy.Page(index.firstPage);
                const std::size_t end = copy.PageSize() - JetU16(before + 2);
                EXPECT_EQ(Bytes(after, after + end), Bytes(before, before + end));
                EXPECT_TRUE(std::all_of(after + end, after + copy.PageSize(),
                                        [](std::uint8_t b) { return b == 0; }));
            }
        }
    }
}

// ---- Trees laid out anew ----

// Entries with keys of `keyBytes` bytes that differ from their second byte on.
std::vector<JetIndexEntry> Synthetic(std::size_t count, std::size_t keyBytes) {
    std::vector<JetIndexEntry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        Bytes key(keyBytes, static_cast<std::uint8_t>(i));
        key[0] = 0x7f;
        key[1] = static_cast<std::uint8_t>(i >> 8);
        entries.push_back(
            {key, {static_cast<std::uint32_t>(100 + i / 200), static_cast<std::uint8_t>(i % 200)}});
    }
    return entries;
}

// The levels below `root`, counted down its first children.
std::size_t Levels(const JetPages& pages, std::uint32_t root) {
    const JetLayout& layout = pages.Layout();
    std::size_t levels = 1;
    for (const std::uint8_t* p = pages.Page(root); p[0] == kJetIndexNodePage; ++levels) {
        std::size_t end = 0;  // the first entry, stored whole, ends at the first set bit
        while ((p[layout.indexEntryMask + end / 8] >> (end % 8) & 1) == 0) {
            ++end;
        }
        const std::uint8_t* child = p + layout.indexFirstEntry + end - 4;
        p = pages.Page(end == 0 ? JetU32(p + layout.indexTailPage)
                                : (std::uint32_t{child[0]} << 24) | (child[1] << 16) |
                                      (child[2] << 8) | child[3]);
    }
    return levels;
}

constexpr std::uint32_t kDefinition = 2;
constexpr std::uint32_t kRoot = 3;

TEST(JetIndexPages, AGrowingIndexTakesNewPagesFromTheAllocator) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const Opened opened = Open(*folder, {"write_pk_index.mdb", "phone"});
    const JetRealIndex& index = opened.def.realIndexes.at(0);
    JetPages copy = opened.file.Pages();
    const JetIndexTree tree = ReadJetIndex(copy, opened.def.page, index.firstPage);
    std::vector<JetIndexEntry> entries;
    for (std::int64_t id = 1; id <= 1000; ++id) {
        const auto key =
            JetIndexKeyPart(Column(kJetTypeInt32), JetValue::Int(id), true, kJet4Layout);
        entries.push_back(
            {*key,
             {static_cast<std::uint32_t>(30 + id / 100), static_cast<std::uint8_t>(id % 100)}});
    }
    std::vector<std::uint32_t> added;
    const std::vector<std::uint32_t> unused =
        WriteJetIndex(copy, opened.def.page, index.firstPage, entries, tree.pages, [&] {
            added.push_back(copy.Append());
            return added.back();
        });
    EXPECT_TRUE(unused.empty());
    EXPECT_EQ(added.size(), 2u);  // 1000 Long keys: two leaves under the root
    const JetIndexTree again = ReadJetIndex(copy, opened.def.page, index.firstPage);
    EXPECT_EQ(again.entries, entries);
    EXPECT_EQ(again.pages.front(), index.firstPage);
    EXPECT_EQ(copy.Page(index.firstPage)[0], kJetIndexNodePage);
}

TEST(JetIndexPages, DeepTreesOfBothVersionsReadBackAlike) {
    struct Case {
        const JetLayout* layout;
        std::size_t entries;
        std::size_t keyBytes;
        std::size_t levels;
    };
    const Case cases[] = {
        {&kJet3Layout, 700, 200, 4},   // 8 a leaf, 9 children a node
        {&kJet3Layout, 60, 880, 5},    // 2 a leaf, 3 children a node: siblings under
                                       // different parents, and a node of one child
        {&kJet4Layout, 3000, 300, 4},  // 11 a leaf, 12 children a node
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.entries) + " keys of " + std::to_string(c.keyBytes));
        JetPages pages(Bytes(c.layout->pageSize * (kRoot + 1), 0), *c.layout);
        const std::vector<JetIndexEntry> entries = Synthetic(c.entries, c.keyBytes);
        WriteJetIndex(pages, kDefinition, kRoot, entries, {}, [&] { return pages.Append(); });
        const JetIndexTree tree = ReadJetIndex(pages, kDefinition, kRoot);
        EXPECT_EQ(tree.entries, entries);
        EXPECT_EQ(Levels(pages, kRoot), c.levels);
        // Rewriting it on its own pages needs none more and leaves none over.
        EXPECT_TRUE(
            WriteJetIndex(pages, kDefinition, kRoot, entries, tree.pages, [&]() -> std::uint32_t {
                ADD_FAILURE() << "a page was allocated";
                return pages.Append();
            }).empty());
        EXPECT_EQ(ReadJetIndex(pages, kDefinition, kRoot).entries, entries);
    }
}

TEST(JetIndexPages, WritingRefusesWhatItCannotLayOutAndChangesNothing) {
    std::vector<JetIndexEntry> swapped = Synthetic(10, 5);
    std::swap(swapped[3], swapped[4]);
    std::vector<JetIndexEntry> repeated = Synthetic(10, 5);
    repeated[4] = repeated[3];
    struct Case {
        const char* what;
        std::vector<JetIndexEntry> entries;
        std::uint32_t badAllocation;  // 0: the allocator appends a page
    };
    const Case cases[] = {
        {"entries out of order", swapped, 0},
        {"an entry twice", repeated, 0},
        {"a key longer than a page", Synthetic(2, 4093), 0},
        {"one key a page, more levels than it builds", Synthetic(300, 1900), 0},
        {"a row pointer beyond three bytes", {{Hex("7f 01"), {0x1000000, 0}}}, 0},
        {"an allocator handing out the root", Synthetic(1000, 9), kRoot},
        {"an allocator handing out a page beyond the file", Synthetic(1000, 9), 99},
    };
    for (const Case& c : cases) {
        JetPages pages(Bytes(4096 * (kRoot + 1), 0), kJet4Layout);
        const Bytes before = pages.Bytes();
        try {
            WriteJetIndex(pages, kDefinition, kRoot, c.entries, {},
                          [&] { return c.badAllocation != 0 ? c.badAllocation : pages.Append(); });
            ADD_FAILURE() << c.what << ": written";
        } catch (const JetError& error) {
            EXPECT_EQ(error.kind(), JetError::Kind::Unsupported) << c.what;
        }
        const Bytes& after = pages.Bytes();
        EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin())) << c.what;
        EXPECT_TRUE(std::all_of(after.begin() + static_cast<std::ptrdiff_t>(before.size()),
                                after.end(), [](std::uint8_t b) { return b == 0; }))
            << c.what;
    }
}

TEST(JetIndexPages, DamagedIndexPagesAndUnknownShapesAreRefused) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const Opened opened = Open(*folder, {"write_full500_indexed.mdb", "phone"});
    const JetLayout& layout = opened.file.Pages().Layout();
    const JetRealIndex& primary = opened.def.realIndexes.at(0);  // one leaf
    const JetRealIndex& text = opened.def.realIndexes.at(1);     // a node over three leaves
    const JetIndexTree tree = ReadJetIndex(opened.file.Pages(), opened.def.page, text.firstPage);
    ASSERT_EQ(tree.pages.size(), 4u);
    const std::uint32_t root = tree.pages[0];
    const std::uint32_t leaf = tree.pages[1];
    struct Case {
        const char* what;
        const JetRealIndex* index;
        std::function<void(std::uint8_t* root, std::uint8_t* leaf, std::uint8_t* primary)> damage;
        JetError::Kind kind = JetError::Kind::Damaged;
    };
    const Case cases[] = {
        {"a bitmap that marks a boundary inside an entry", &text,
         [&](auto*, auto* l, auto*) { l[layout.indexEntryMask] |= 0x20; }},
        {"a bitmap that marks no entry", &primary,
         [&](auto*, auto*, auto* p) {
             std::fill_n(p + layout.indexEntryMask, layout.indexFirstEntry - layout.indexEntryMask,
                         0);
         }},
        {"free space that disagrees with the entries", &primary,
         [&](auto*, auto*, auto* p) {
             JetPutU16(p + layout.indexFreeSpace, JetU16(p + layout.indexFreeSpace) + 1);
         }},
        {"entries out of order", &primary,
         [&](auto*, auto*, auto* p) {
             // The second and third entries, 6 bytes each behind the 3-byte prefix.
             std::swap_ranges(p + layout.indexFirstEntry + 9, p + layout.indexFirstEntry + 15,
                              p + layout.indexFirstEntry + 15);
         }},
        {"a root that is its own tail: a loop", &text,
         [&](auto* r, auto*, auto*) { JetPutU32(r + layout.indexTailPage, root); }},
        {"a child beyond the end of the file", &text,
         [&](auto* r, auto*, auto*) { JetPutU32(r + layout.indexTailPage, 0x7fffff); }},
        {"a node entry that is not its child's last", &text,
         [&](auto* r, auto*, auto*) { r[layout.indexFirstEntry + 19] ^= 0x01; }},  // its row
        {"a leaf chain that stops early", &text,
         [&](auto*, auto* l, auto*) { JetPutU32(l + layout.indexNextPage, 0); }},
        {"a leaf of another table", &text,
         [&](auto*, auto* l, auto*) { JetPutU32(l + layout.indexOwner, opened.def.page + 1); }},
        {"a data page in the tree", &text, [&](auto*, auto* l, auto*) { l[0] = kJetDataPage; }},
        {"a shared prefix longer than the first entry", &primary,
         [&](auto*, auto*, auto* p) { p[layout.indexPrefixLength] = 10; }},
        // Shapes Access may write that Varnix does not keep.
        {"a leaf naming a tail page", &primary,
         [&](auto*, auto*, auto* p) { JetPutU32(p + layout.indexTailPage, root); },
         JetError::Kind::Unsupported},
        {"leaves chained beyond the tree", &primary,
         [&](auto*, auto*, auto* p) { JetPutU32(p + layout.indexNextPage, root); },
         JetError::Kind::Unsupported},
    };
    for (const Case& c : cases) {
        JetPages copy = opened.file.Pages();
        c.damage(copy.MutablePage(root), copy.MutablePage(leaf),
                 copy.MutablePage(primary.firstPage));
        try {
            ReadJetIndex(copy, opened.def.page, c.index->firstPage);
            ADD_FAILURE() << c.what << ": read";
        } catch (const JetError& error) {
            EXPECT_EQ(error.kind(), c.kind) << c.what << ": " << error.what();
        }
    }
}

}  // namespace
}  // namespace varnix
