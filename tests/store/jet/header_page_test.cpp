// The database header (page 0) of genuine Access files: the version it names, the password
// area under both masks and the database key, read from the Jet 3 and Jet 4 samples with
// single bytes changed; and a new Access 2000 header read back as written.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "jet/file.h"
#include "jet/header_page.h"
#include "jet_samples.h"

namespace varnix {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kPasswordArea = 0x42;
constexpr std::size_t kDatabaseKey = 0x3e;

Bytes ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(JetHeaderPage, TellsThePasswordAndTheKeyOfEachVersion) {
    VARNIX_NEED_JET_SAMPLES(folder);
    struct Sample {
        const char* name;
        FileKind kind;
        const JetLayout& layout;
    };
    for (const Sample& sample :
         {Sample{"generic_access97_jet3.mdb", FileKind::Jet3, kJet3Layout},
          Sample{"generic_access2000_jet4.mdb", FileKind::Jet4, kJet4Layout}}) {
        SCOPED_TRACE(sample.name);
        const Bytes original = ReadBytes(*folder / sample.name);
        ASSERT_EQ(FileKindOf(original.data(), original.size()), sample.kind);
        const JetHeader header = ReadJetHeaderPage(original.data(), sample.layout);
        EXPECT_EQ(header.codePage, 1252);
        EXPECT_FALSE(header.encrypted);
        EXPECT_FALSE(header.hasPassword);
        // A stored byte changed anywhere in the password area, the last byte too, is a
        // password; the masks alone are none.
        for (const std::size_t at : {std::size_t{0}, sample.layout.headerPasswordSize - 1}) {
            Bytes changed = original;
            changed[kPasswordArea + at] ^= 0x5a;
            EXPECT_TRUE(ReadJetHeaderPage(changed.data(), sample.layout).hasPassword) << at;
        }
        Bytes encrypted = original;
        encrypted[kDatabaseKey] ^= 0x01;
        EXPECT_TRUE(ReadJetHeaderPage(encrypted.data(), sample.layout).encrypted);
        EXPECT_THROW(JetFile{encrypted}, JetError);
    }
}

TEST(JetHeaderPage, ANewHeaderReadsBackAsWritten) {
    // Any creation date: its whole days mask the empty password, before 1899 too.
    for (const double created : {0.0, 46000.75, -700.5}) {
        Bytes page(kJet4Layout.pageSize, 0);
        WriteJet4HeaderPage(page.data(), created);
        EXPECT_EQ(FileKindOf(page.data(), page.size()), FileKind::Jet4);
        const JetHeader header = ReadJetHeaderPage(page.data(), kJet4Layout);
        EXPECT_EQ(header.codePage, kJetNewFileCodePage);
        EXPECT_FALSE(header.encrypted);
        EXPECT_FALSE(header.hasPassword) << created;
    }
}

}  // namespace
}  // namespace varnix
