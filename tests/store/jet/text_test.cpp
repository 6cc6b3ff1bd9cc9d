// Text: every name of every sample (tables, columns, indexes) survives plain and compressed
// UCS-2 and, in the Access 97 sample, code page 1252; and the stored forms Access mixes
// (compressed runs around plain characters, surrogate pairs) read as meant.
#include <gtest/gtest.h>

#include <algorithm>

#include "jet/error.h"
#include "jet/text.h"
#include "jet_sample_tables.h"
#include "jet_samples.h"

namespace varnix {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Jet4(const Bytes& bytes) {
    return Jet4TextToUtf8(bytes.data(), bytes.size());
}

TEST(JetText, EveryNameOfEverySampleSurvivesEachStoredForm) {
    VARNIX_NEED_JET_SAMPLES(folder);
    const auto samples = testing::OpenJetSamples(*folder);
    std::size_t compressed = 0;
    for (const testing::JetSampleTable& table : testing::JetSampleTables(samples)) {
        std::vector<std::string> names{table.entry.name};
        for (const JetColumnDef& column : table.def.columns) {
            names.push_back(column.name);
        }
        for (const JetLogicalIndex& index : table.def.logicalIndexes) {
            names.push_back(index.name);
        }
        for (const std::string& name : names) {
            SCOPED_TRACE(table.Name() + ": " + name);
            const auto plain = Utf8ToJet4Text(name, false);
            ASSERT_TRUE(plain);
            EXPECT_EQ(plain->size(), 2 * name.size());  // the names are ASCII
            EXPECT_EQ(Jet4(*plain), name);
            const auto packed = Utf8ToJet4Text(name, true);
            ASSERT_TRUE(packed);
            EXPECT_EQ(packed->size(), name.size() > 2 ? name.size() + 2 : 2 * name.size());
            EXPECT_EQ(Jet4(*packed), name);
            compressed += packed->size() < plain->size() ? 1 : 0;
            const auto cp1252 = Utf8ToCp1252(name);
            ASSERT_TRUE(cp1252);
            EXPECT_EQ(Cp1252ToUtf8(cp1252->data(), cp1252->size()), name);
        }
    }
    EXPECT_GT(compressed, 200u);
}

TEST(JetText, MixedAndUnusualFormsReadAsMeantAndBadTextIsRefused) {
    // Compressed runs with a plain run between: "a", then alpha and omega, then "b".
    EXPECT_EQ(Jet4({0xff, 0xfe, 'a', 0, 0xb1, 0x03, 0xa9, 0x03, 0, 'b'}), "a\u03b1\u03a9b");
    EXPECT_EQ(Jet4({0xff, 0xfe, 'c', 'a', 'f', 0xe9}), "caf\u00e9");
    EXPECT_THROW(Jet4({0xff, 0xfe, 'a', 0, 0xb1}), JetError);  // cut inside a character
    EXPECT_THROW(Jet4({'a', 0, 'b'}), JetError);
    EXPECT_EQ(Jet4({0x00, 0xd8, 'a', 0}),
              "\ufffd"
              "a");  // a surrogate without its partner

    // Compressed only where it helps and every character has a byte; beyond U+FFFF in pairs.
    EXPECT_EQ(*Utf8ToJet4Text("caf\u00e9", true), (Bytes{0xff, 0xfe, 'c', 'a', 'f', 0xe9}));
    EXPECT_EQ(*Utf8ToJet4Text("ab", true), (Bytes{'a', 0, 'b', 0}));
    EXPECT_EQ(*Utf8ToJet4Text("a\u03a9b", true), (Bytes{'a', 0, 0xa9, 0x03, 'b', 0}));
    EXPECT_EQ(Utf8ToJet4Text(std::string("ab\0c", 4), true)->size(), 8u);
    EXPECT_EQ(Utf8ToJet4Text(std::string(1025, 'x'), true)->size(), 2050u);
    const std::string emoji = "\U0001f600";
    EXPECT_EQ(*Utf8ToJet4Text(emoji, true), (Bytes{0x3d, 0xd8, 0x00, 0xde}));
    EXPECT_EQ(Jet4(*Utf8ToJet4Text(emoji, false)), emoji);
    for (const char* bad : {"\x80", "\xc0\x80", "\xe2\x82", "\xed\xa0\x80", "\xf4\x90\x80\x80"}) {
        EXPECT_FALSE(IsUtf8(bad)) << bad;
        EXPECT_FALSE(Utf8ToJet4Text(bad, false)) << bad;
        EXPECT_FALSE(Utf8ToCp1252(bad)) << bad;
    }

    // Code page 1252: every byte reads back to itself; the euro sign is 0x80, omega has none.
    for (int byte = 0; byte < 256; ++byte) {
        const auto stored = static_cast<std::uint8_t>(byte);
        EXPECT_EQ(*Utf8ToCp1252(Cp1252ToUtf8(&stored, 1)), Bytes{stored}) << byte;
    }
    EXPECT_EQ(*Utf8ToCp1252("\u20ac \u00e9"), (Bytes{0x80, ' ', 0xe9}));
    EXPECT_FALSE(Utf8ToCp1252("\u03a9"));
}

}  // namespace
}  // namespace varnix
