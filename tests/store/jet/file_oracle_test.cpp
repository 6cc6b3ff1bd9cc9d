// Our Jet reader against two independent readers, Debian's libmdb and npm's mdb-reader
// (jet_oracles.h), on every sample and on damaged copies made with fixed seeds. On the
// samples all three must read every table alike. On a damaged copy, wherever an oracle reads
// a table without error and as many rows as its definition says, our reader must return the
// same rows, value for value, or report the file damaged.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "jet_oracles.h"
#include "jet_samples.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing::OracleTable;

// Damaged copies: truncations, zeroed and 0xFF pages, and random byte changes, all on the
// pages that hold tables (definitions, rows, usage maps).
std::vector<std::pair<std::string, Bytes>> Variants(const Bytes& original, unsigned seed) {
    const std::size_t pageSize = original.size() > 0x14 && original[0x14] == 0 ? 2048 : 4096;
    const std::size_t pages = original.size() / pageSize;
    std::vector<std::size_t> structural;
    for (std::size_t p = 1; p < pages; ++p) {
        const std::uint8_t type = original[p * pageSize];
        if (type == 0x01 || type == 0x02 || type == 0x05) {
            structural.push_back(p);
        }
    }
    std::mt19937 random(seed);
    const auto pick = [&] { return structural[random() % structural.size()]; };
    std::vector<std::pair<std::string, Bytes>> variants{{"as it is", original}};
    for (const std::size_t size : {pageSize * 3 + 100, pages / 4 * pageSize, pages / 2 * pageSize,
                                   original.size() * 3 / 4 + 17}) {
        variants.push_back({"cut to " + std::to_string(size),
                            Bytes(original.begin(), original.begin() + static_cast<long>(size))});
    }
    for (int n = 0; n < 14; ++n) {
        const std::size_t page = pick();
        const std::uint8_t fill = n < 8 ? 0x00 : 0xff;
        Bytes bytes = original;
        std::fill_n(bytes.begin() + static_cast<long>(page * pageSize), pageSize, fill);
        variants.push_back({"page " + std::to_string(page) + " filled with " + std::to_string(fill),
                            std::move(bytes)});
    }
    for (int n = 0; n < 24; ++n) {
        Bytes bytes = original;
        std::string label = "bytes changed:";
        for (int k = 0, changes = 1 + static_cast<int>(random() % 6); k < changes; ++k) {
            const std::size_t page = pick();  // drawn first: the same copies in every build
            const std::size_t at = page * pageSize + random() % pageSize;
            bytes[at] = static_cast<std::uint8_t>(random());
            label += " " + std::to_string(at);
        }
        variants.push_back({label, std::move(bytes)});
    }
    return variants;
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<fs::path> Samples(const fs::path& folder) {
    std::vector<fs::path> samples;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".mdb") {
            samples.push_back(entry.path());
        }
    }
    std::sort(samples.begin(), samples.end());
    return samples;
}

// How often our reader and one oracle came out each way, over every table of every copy.
struct Tally {
    const char* oracle;
    int agreed = 0, damage = 0, refused = 0, failed = 0, timedOut = 0;

    void Count(const std::optional<JetTable>& ours, std::optional<JetError::Kind> failure,
               const OracleTable& theirs) {
        if (theirs.outcome == OracleTable::Outcome::TimedOut) {
            ++timedOut;
        } else if (theirs.outcome == OracleTable::Outcome::Failed) {
            ++failed;
        } else if (failure == JetError::Kind::Damaged) {
            ++damage;
        } else if (failure == JetError::Kind::Unsupported) {
            ++refused;
        } else if (failure) {
            ADD_FAILURE() << oracle << " reads a table our reader cannot find";
        } else {
            const std::string difference = testing::Difference(*ours, theirs);
            EXPECT_EQ(difference, "") << "against " << oracle;
            agreed += difference.empty() ? 1 : 0;
        }
    }
    void Print(int files) const {
        std::printf(
            "%d files against %s: agreed %d, we reported damage %d, we refused as unsupported "
            "%d, %s failed %d, %s timed out %d\n",
            files, oracle, agreed, damage, refused, oracle, failed, oracle, timedOut);
    }
};

TEST(JetOracle, ReaderAgreesWithBothOraclesOnEverySample) {
    VARNIX_NEED_JET_SAMPLES(samples);
    ASSERT_EQ(testing::OraclesMissing(), "")
        << "the oracles must be installed wherever the samples are";
    const std::vector<fs::path> files = Samples(*samples);
    const std::vector<std::string> differences = testing::CompareWithOracles(files);
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(differences[i], "") << files[i];
    }
    EXPECT_GE(files.size(), 2u);
}

TEST(JetOracle, ReaderAgreesWithBothOraclesOnDamagedCopies) {
    VARNIX_NEED_JET_SAMPLES(samples);
    ASSERT_EQ(testing::OraclesMissing(), "")
        << "the oracles must be installed wherever the samples are";
    const fs::path work = fs::temp_directory_path() / ("varnix-jet-" + std::to_string(getpid()));
    fs::create_directories(work);
    testing::MdbReader reader;
    Tally libmdb{"libmdb"}, mdbReader{"mdb-reader"};
    int copies = 0;
    unsigned seed = 1;
    for (const fs::path& sample : Samples(*samples)) {
        std::vector<std::string> tables;
        ASSERT_EQ(testing::LibmdbTableNames(sample, tables), OracleTable::Outcome::Read) << sample;
        for (const auto& [label, bytes] : Variants(ReadFile(sample), seed++)) {
            ++copies;
            const fs::path file = work / "copy.mdb";
            std::ofstream(file, std::ios::binary | std::ios::trunc)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            const testing::MdbReaderFile read = reader.Read(file);
            const std::vector<OracleTable> libmdbRead = testing::LibmdbTables(file, tables);
            for (std::size_t t = 0; t < tables.size(); ++t) {
                SCOPED_TRACE(sample.filename().string() + ", " + label + ", " + tables[t]);
                std::optional<JetTable> ours;
                std::optional<JetError::Kind> failure;
                try {
                    ours = JetFile(bytes).ReadTable(tables[t]);
                } catch (const JetError& error) {
                    failure = error.kind();
                }
                libmdb.Count(ours, failure, libmdbRead[t]);
                const auto found = read.tables.find(tables[t]);
                OracleTable unread;
                unread.outcome = read.outcome;
                if (found == read.tables.end() && read.outcome == OracleTable::Outcome::Read) {
                    unread.outcome = OracleTable::Outcome::Failed;  // it lists no such table
                }
                mdbReader.Count(ours, failure, found != read.tables.end() ? found->second : unread);
            }
        }
    }
    fs::remove_all(work);
    libmdb.Print(copies);
    mdbReader.Print(copies);
    EXPECT_GT(libmdb.agreed, 0);
    EXPECT_GT(mdbReader.agreed, 0);
}

}  // namespace
}  // namespace varnix
