// Our Jet reader against Debian's libmdb (the mdbtools programs), run in a child process
// with a time limit: on every sample and on damaged copies made with fixed seeds. Wherever
// libmdb reads a table without error and as many rows as its definition says, our reader
// must return the same rows, value for value, or report the file damaged.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "jet_file.h"
#include "jet_samples.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kTimeLimitMs = 2000;

struct ChildRun {
    bool ok = false;
    bool timedOut = false;
    QByteArray out;
};

ChildRun RunLibmdb(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(kTimeLimitMs) || !process.waitForFinished(kTimeLimitMs)) {
        process.kill();
        process.waitForFinished(kTimeLimitMs);
        return {false, true, {}};
    }
    const bool ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return {ok, false, process.readAllStandardOutput()};
}

// The rows libmdb reads, when it reads them without error and as many as the table's
// definition says.
std::optional<std::vector<QJsonObject>> LibmdbRows(const fs::path& file, const std::string& table,
                                                   bool& timedOut) {
    const QStringList arguments{QString::fromStdString(file.string()),
                                QString::fromStdString(table)};
    const ChildRun json = RunLibmdb("mdb-json", arguments);
    timedOut = json.timedOut;
    if (!json.ok) {
        return std::nullopt;
    }
    const ChildRun count = RunLibmdb("mdb-count", arguments);
    timedOut = count.timedOut;
    if (!count.ok) {
        return std::nullopt;
    }
    std::vector<QJsonObject> rows;
    for (const QByteArray& line : json.out.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        QJsonParseError error;
        const QJsonDocument row = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !row.isObject()) {
            return std::nullopt;
        }
        rows.push_back(row.object());
    }
    bool number = false;
    if (count.out.trimmed().toULongLong(&number) != rows.size() || !number) {
        return std::nullopt;
    }
    return rows;
}

// Where our row differs from libmdb's, in words; empty when they agree.
std::string Difference(const JetTable& ours, const std::vector<QJsonObject>& theirs) {
    if (ours.rows.size() != theirs.size()) {
        return std::to_string(ours.rows.size()) + " rows against " + std::to_string(theirs.size());
    }
    for (std::size_t r = 0; r < theirs.size(); ++r) {
        for (std::size_t c = 0; c < ours.columns.size(); ++c) {
            const JetValue& value = ours.rows[r][c];
            const QString name = QString::fromStdString(ours.columns[c].name);
            const QJsonValue their = theirs[r].value(name);
            bool same = true;
            switch (value.kind) {
                case JetValue::Kind::Null:
                    same = their.isUndefined() || their.isNull();
                    break;
                case JetValue::Kind::Integer:
                    same = their.isDouble() && their.toInteger() == value.integer;
                    break;
                case JetValue::Kind::Text:
                    same = their.isString() && their.toString().toStdString() == value.text;
                    break;
                case JetValue::Kind::Other:
                    break;  // a type the reader leaves alone
            }
            if (!same) {
                return "row " + std::to_string(r) + " column " + ours.columns[c].name + ": '" +
                       value.text + "'/" + std::to_string(value.integer) + " against " +
                       QJsonDocument(theirs[r]).toJson(QJsonDocument::Compact).toStdString();
            }
        }
    }
    return {};
}

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
            const std::size_t at = pick() * pageSize + random() % pageSize;
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

TEST(JetOracle, ReaderAgreesWithLibmdbOnSamplesAndDamagedCopies) {
    VARNIX_NEED_JET_SAMPLES(samples);
    if (QStandardPaths::findExecutable("mdb-json").isEmpty() ||
        QStandardPaths::findExecutable("mdb-count").isEmpty()) {
        GTEST_SKIP() << "libmdb's programs (Debian package mdbtools) are not installed";
    }
    const fs::path work = fs::temp_directory_path() / ("varnix-jet-" + std::to_string(getpid()));
    fs::create_directories(work);
    int agreed = 0, damage = 0, refused = 0, libmdbFailed = 0, libmdbTimedOut = 0, variants = 0;
    unsigned seed = 1;
    for (const auto& entry : fs::directory_iterator(*samples)) {
        if (entry.path().extension() != ".mdb") {
            continue;
        }
        const Bytes original = ReadFile(entry.path());
        const ChildRun list =
            RunLibmdb("mdb-tables", {"-1", QString::fromStdString(entry.path().string())});
        ASSERT_TRUE(list.ok) << entry.path();
        for (const auto& [label, bytes] : Variants(original, seed++)) {
            ++variants;
            const fs::path file = work / "variant.mdb";
            std::ofstream(file, std::ios::binary | std::ios::trunc)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            for (const QByteArray& line : list.out.split('\n')) {
                if (line.trimmed().isEmpty()) {
                    continue;
                }
                const std::string table = line.trimmed().toStdString();
                SCOPED_TRACE(entry.path().filename().string() + ", " + label + ", " + table);
                std::optional<JetTable> ours;
                std::optional<JetError::Kind> failure;
                try {
                    ours = JetFile(bytes).ReadTable(table);
                } catch (const JetError& error) {
                    failure = error.kind();
                }
                bool timedOut = false;
                const auto theirs = LibmdbRows(file, table, timedOut);
                if (timedOut) {
                    ++libmdbTimedOut;
                } else if (!theirs) {
                    ++libmdbFailed;
                } else if (failure == JetError::Kind::Damaged) {
                    ++damage;
                } else if (failure == JetError::Kind::Unsupported) {
                    ++refused;
                } else if (failure) {
                    ADD_FAILURE() << "libmdb reads a table our reader cannot find";
                } else {
                    const std::string difference = Difference(*ours, *theirs);
                    EXPECT_EQ(difference, "");
                    agreed += difference.empty() ? 1 : 0;
                }
            }
        }
    }
    fs::remove_all(work);
    std::printf(
        "%d files: agreed %d, we reported damage %d, we refused as unsupported %d, libmdb "
        "failed %d, libmdb timed out %d\n",
        variants, agreed, damage, refused, libmdbFailed, libmdbTimedOut);
    EXPECT_GT(agreed, 0);
}

}  // namespace
}  // namespace varnix
