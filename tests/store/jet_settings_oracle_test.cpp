// The Access files our writer saves, judged from outside: every `write_*` sample after the
// standard edit holds exactly the contents its `edits/NAME.json` describes; every saved
// settings sample and every Jet 3 table written anew reads alike through libmdb, npm's
// mdb-reader and our reader (jet_oracles.h); and a save keeps the file whole pages long
// with its Jet version byte.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jet/file.h"
#include "jet/table_index.h"
#include "jet/table_rows.h"
#include "jet_oracles.h"
#include "jet_samples.h"
#include "jet_settings.h"
#include "map_values.h"
#include "settings_file.h"

#include <unistd.h>

namespace varnix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kVersionByte = 0x14;

Bytes ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<fs::path> SamplesNamed(const fs::path& folder, const std::string& prefix) {
    std::vector<fs::path> samples;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".mdb" && name.rfind(prefix, 0) == 0) {
            samples.push_back(entry.path());
        }
    }
    std::sort(samples.begin(), samples.end());
    return samples;
}

// A JSON value as the reader gives it: null, a whole number, or text.
std::optional<JetValue> FromJson(const QJsonValue& value) {
    if (value.isNull()) {
        return JetValue{};
    }
    if (value.isDouble()) {
        return JetValue::Int(value.toInteger());
    }
    if (value.isString()) {
        return JetValue::Str(value.toString().toStdString());
    }
    return std::nullopt;
}

std::vector<std::string> Strings(const QJsonValue& list) {
    std::vector<std::string> strings;
    for (const QJsonValue& item : list.toArray()) {
        strings.push_back(item.toString().toStdString());
    }
    return strings;
}

std::vector<std::string> ColumnNames(const JetTable& table) {
    std::vector<std::string> names;
    for (const JetColumn& column : table.columns) {
        names.push_back(column.name);
    }
    return names;
}

// The expected row for a JSON object of column values, in the table's column order, with
// `id` taken from the key when the object leaves it out; nullopt where a column is missing
// from the object or holds what no reader gives.
std::optional<std::vector<JetValue>> ExpectedRow(const std::vector<std::string>& columns,
                                                 const QJsonObject& values,
                                                 std::optional<std::int64_t> id) {
    if (static_cast<std::size_t>(values.size()) + (id ? 1 : 0) != columns.size()) {
        return std::nullopt;
    }
    std::vector<JetValue> row;
    for (const std::string& column : columns) {
        const QString key = QString::fromStdString(column);
        if (id && column == "id") {
            row.push_back(JetValue::Int(*id));
        } else if (!values.contains(key)) {
            return std::nullopt;
        } else if (const auto value = FromJson(values.value(key))) {
            row.push_back(*value);
        } else {
            return std::nullopt;
        }
    }
    return row;
}

std::string ShowRow(const std::vector<std::string>& columns, const std::vector<JetValue>& row) {
    std::string shown;
    for (std::size_t c = 0; c < row.size(); ++c) {
        shown += (c == 0 ? "" : ", ") + (c < columns.size() ? columns[c] : "?") + " " +
                 testing::ValueText(row[c]);
    }
    return "(" + shown + ")";
}

// Checks the `phone` table against the JSON's map of id to text (the `phone` column) or to
// an object of the other columns' values: the same ids, each once, and every value.
void ExpectPhoneRows(const JetTable& table, const QJsonObject& expected) {
    const std::vector<std::string> columns = ColumnNames(table);
    const auto idAt = std::find(columns.begin(), columns.end(), "id");
    ASSERT_NE(idAt, columns.end()) << "phone has no id column";
    const std::size_t idColumn = static_cast<std::size_t>(idAt - columns.begin());
    std::map<std::int64_t, std::vector<JetValue>> stored;
    for (const std::vector<JetValue>& row : table.rows) {
        const JetValue& id = row[idColumn];
        if (id.kind != JetValue::Kind::Integer) {
            ADD_FAILURE() << "a phone row with id " << testing::ValueText(id) << ": "
                          << ShowRow(columns, row);
        } else if (!stored.emplace(id.integer, row).second) {
            ADD_FAILURE() << "phone holds id " << id.integer
                          << " twice: " << ShowRow(columns, stored[id.integer]) << " and "
                          << ShowRow(columns, row);
        }
    }
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        bool isNumber = false;
        const std::int64_t id = it.key().toLongLong(&isNumber);
        ASSERT_TRUE(isNumber) << "the JSON names phone id " << it.key().toStdString();
        const QJsonObject values = it.value().isObject()
                                       ? it.value().toObject()
                                       : QJsonObject{{QStringLiteral("phone"), it.value()}};
        const auto row = ExpectedRow(columns, values, id);
        ASSERT_TRUE(row) << "the JSON's phone row " << id << " does not fit the columns";
        const auto found = stored.find(id);
        if (found == stored.end()) {
            ADD_FAILURE() << "phone row " << id << " is missing; expected "
                          << ShowRow(columns, *row);
            continue;
        }
        EXPECT_TRUE(found->second == *row)
            << "phone row " << id << ": " << ShowRow(columns, found->second) << ", expected "
            << ShowRow(columns, *row);
        stored.erase(found);
    }
    for (const auto& [id, row] : stored) {
        ADD_FAILURE() << "phone holds a row the JSON does not: " << ShowRow(columns, row);
    }
}

// Checks the `pcong` table against the JSON's list of rows, in order.
void ExpectPcongRows(const JetTable& table, const QJsonArray& expected) {
    const std::vector<std::string> columns = ColumnNames(table);
    EXPECT_EQ(table.rows.size(), static_cast<std::size_t>(expected.size())) << "pcong rows";
    for (std::size_t r = 0; r < std::min(table.rows.size(), std::size_t(expected.size())); ++r) {
        const auto row = ExpectedRow(columns, expected[static_cast<qsizetype>(r)].toObject(), {});
        ASSERT_TRUE(row) << "the JSON's pcong row " << r << " does not fit the columns";
        EXPECT_TRUE(table.rows[r] == *row)
            << "pcong row " << r << ": " << ShowRow(columns, table.rows[r]) << ", expected "
            << ShowRow(columns, *row);
    }
}

// Every table the JSON describes: columns in order, index names in order, and the rows.
void ExpectContents(const fs::path& file, const QJsonObject& expected) {
    const JetFile jet = JetFile::Open(file.string());
    const QJsonObject columns = expected.value("columns").toObject();
    const QJsonObject indexes = expected.value("indexes").toObject();
    ASSERT_FALSE(columns.isEmpty());
    EXPECT_TRUE(indexes.keys() == columns.keys()) << "the JSON names indexes of other tables";
    std::vector<std::string> tables = jet.TableNames();
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, Strings(QJsonArray::fromStringList(columns.keys())));
    for (const QString& name : columns.keys()) {
        SCOPED_TRACE(name.toStdString());
        const JetTable table = jet.ReadTable(name.toStdString());
        EXPECT_EQ(ColumnNames(table), Strings(columns.value(name)));
        const JetTableDef def =
            ReadJetTableDef(jet.Pages(), jet.TableDefinition(name.toStdString()));
        std::vector<std::string> indexNames;
        for (const JetLogicalIndex& index : def.logicalIndexes) {
            indexNames.push_back(index.name);
        }
        EXPECT_EQ(indexNames, Strings(indexes.value(name)));
        if (name == "phone") {
            ExpectPhoneRows(table, expected.value("phone").toObject());
        } else if (name == "pcong") {
            ExpectPcongRows(table, expected.value("pcong").toArray());
        }
    }
    EXPECT_TRUE(expected.value("phone").isObject());
    EXPECT_TRUE(expected.value("pcong").isArray());
}

class JetWriteOracleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() /
                  ("varnix-jet-write-oracle-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // A copy of the sample after the standard edit: slot 7 holds "5551234" and the time-out
    // is 45, the external flag as loaded. Checks that the save keeps the file whole pages
    // long and its version byte.
    fs::path Edited(const fs::path& sample) {
        const fs::path file = folder_ / sample.filename();
        fs::copy_file(sample, file, fs::copy_options::overwrite_existing);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        const Bytes before = ReadBytes(file);
        testing::MapValues values;
        std::optional<FileDigest> digest;
        {
            AdoQuery query;
            LoadSettings(query, file.string(), values, &digest);
        }
        const bool external = values.external;
        values.phones[7] = "5551234";
        values.timeout = "45";
        values.external = external;
        {
            AdoQuery query;
            SaveSettings(query, file.string(), values, &digest);
        }
        const Bytes after = ReadBytes(file);
        EXPECT_NE(after, before) << "the save changed nothing";
        ExpectWholePagesAndVersion(before, after);
        return file;
    }

    static void ExpectWholePagesAndVersion(const Bytes& before, const Bytes& after) {
        ASSERT_GT(before.size(), kVersionByte);
        ASSERT_GT(after.size(), kVersionByte);
        EXPECT_EQ(after[kVersionByte], before[kVersionByte]) << "the Jet version byte";
        const std::size_t pageSize = before[kVersionByte] == 0 ? 2048 : 4096;
        EXPECT_EQ(after.size() % pageSize, 0u) << after.size() << " bytes";
    }

    static void ExpectOraclesAgree(const std::vector<fs::path>& files) {
        ASSERT_EQ(testing::OraclesMissing(), "")
            << "the oracles must be installed wherever the samples are";
        const std::vector<std::string> differences = testing::CompareWithOracles(files);
        ASSERT_EQ(differences.size(), files.size());
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(differences[i], "") << files[i].filename();
        }
    }

    fs::path folder_;
};

TEST_F(JetWriteOracleTest, EditedWriteSamplesHoldTheirExpectedContentsForEveryReader) {
    VARNIX_NEED_JET_SAMPLES(samples);
    const std::vector<fs::path> writeSamples = SamplesNamed(*samples, "write_");
    ASSERT_GE(writeSamples.size(), 8u);
    std::vector<fs::path> edited;
    for (const fs::path& sample : writeSamples) {
        const std::string name = sample.filename().string();
        SCOPED_TRACE(name);
        QFile json(QString::fromStdString(
            (*samples / "edits" / sample.filename().replace_extension(".json")).string()));
        ASSERT_TRUE(json.open(QIODevice::ReadOnly)) << json.fileName().toStdString();
        QJsonParseError error;
        const QJsonDocument expected = QJsonDocument::fromJson(json.readAll(), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        ASSERT_TRUE(expected.isObject());
        const fs::path file = Edited(sample);
        ExpectContents(file, expected.object());
        edited.push_back(file);
    }
    ExpectOraclesAgree(edited);
}

TEST_F(JetWriteOracleTest, EditedSettingsSamplesReadAlikeForEveryReader) {
    VARNIX_NEED_JET_SAMPLES(samples);
    std::vector<fs::path> edited;
    for (const fs::path& sample : SamplesNamed(*samples, "settings_")) {
        if (sample.filename() == "settings_no_pcong.mdb") {
            continue;  // a save needs both tables
        }
        SCOPED_TRACE(sample.filename().string());
        edited.push_back(Edited(sample));
    }
    EXPECT_GE(edited.size(), 4u);
    ExpectOraclesAgree(edited);
}

// Phone rows a load cannot show: ids 0 and 501, a null id, and a second row of slot 3. The
// load notes them and shows the later row of slot 3; a save keeps the first three as they
// were (every column) after the slots' rows, keeps only the shown row of slot 3, and every
// reader reads the result alike.
TEST_F(JetWriteOracleTest, RowsALoadCannotShowAreNotedAndASaveKeepsThem) {
    VARNIX_NEED_JET_SAMPLES(samples);
    const fs::path file = folder_ / "unshown.mdb";
    const JetFile sample = JetFile::Open((*samples / "write_extra_columns.mdb").string());
    JetPages pages = sample.Pages();
    JetTableDef def = ReadJetTableDef(pages, sample.TableDefinition("phone"));
    ASSERT_EQ(ColumnNames(sample.ReadTable("phone")),
              (std::vector<std::string>{"id", "note", "phone"}));
    std::vector<std::vector<JetField>> rows;
    for (JetStoredRow& row : ReadJetTableRows(pages, def)) {
        rows.push_back(std::move(row.fields));
    }
    const std::vector<std::vector<JetValue>> unshown = {
        {JetValue::Int(0), JetValue::Str("below"), JetValue::Str("zero")},
        {JetValue::Int(501), JetValue{}, JetValue::Str("over")},
        {JetValue{}, JetValue::Str("no id"), JetValue::Str("nobody")},
    };
    const std::vector<JetValue> repeated = {JetValue::Int(3), JetValue::Str("again"),
                                            JetValue::Str("333")};
    for (const auto& values : {unshown[0], repeated, unshown[1], unshown[2]}) {
        std::vector<JetField>& fields = rows.emplace_back(def.columns.size());
        for (std::size_t c = 0; c < values.size(); ++c) {
            if (values[c].kind != JetValue::Kind::Null) {
                fields[c] = EncodeJetValue(sample.TextForm(), def.columns[c], values[c]);
            }
        }
    }
    ReplaceJetTableRows(pages, sample.TextForm(), def, rows);
    const Bytes edited = pages.Bytes();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(edited.data()), std::streamsize(edited.size()));

    testing::MapValues values;
    FileDigest digest;
    LoadNotes notes;
    LoadJetSettings(file.string(), values, &digest, &notes);
    EXPECT_EQ(notes.idsOutside, (std::vector<std::int64_t>{0, 501}));
    EXPECT_EQ(notes.nullIds, 1);
    EXPECT_EQ(notes.repeatedSlots, std::vector<int>{3});
    EXPECT_FALSE(notes.noRelaySettings);
    EXPECT_EQ(values.phones[3], "333");
    ASSERT_EQ(values.Filled().size(), 10u);

    values.phones[7] = "5551234";
    SaveJetSettings(file.string(), values, SavedTimeout(values.timeout), &digest);
    const JetTable saved = JetFile::Open(file.string()).ReadTable("phone");
    ASSERT_EQ(saved.rows.size(), 13u);
    EXPECT_TRUE(saved.rows[2] == repeated) << ShowRow({"id", "note", "phone"}, saved.rows[2]);
    EXPECT_EQ(saved.rows[6][2], JetValue::Str("5551234"));
    for (std::size_t r = 0; r < unshown.size(); ++r) {
        EXPECT_TRUE(saved.rows[10 + r] == unshown[r])
            << ShowRow({"id", "note", "phone"}, saved.rows[10 + r]);
    }
    ExpectOraclesAgree({file});
}

TEST_F(JetWriteOracleTest, Jet3TablesWrittenAnewReadAlikeForEveryReader) {
    VARNIX_NEED_JET_SAMPLES(samples);
    const fs::path sample = *samples / "generic_access97_jet3.mdb";
    const JetFile original = JetFile::Open(sample.string());
    ASSERT_FALSE(original.IsJet4());
    JetPages pages = original.Pages();
    std::vector<std::string> rewritten;
    for (const std::string& name : original.TableNames()) {
        SCOPED_TRACE(name);
        const JetPages kept = pages;
        JetTableDef def = ReadJetTableDef(pages, original.TableDefinition(name));
        std::vector<std::vector<JetField>> rows;
        for (JetStoredRow& row : ReadJetTableRows(pages, def)) {
            rows.insert(rows.begin(), std::move(row.fields));
        }
        try {
            ReplaceJetTableRows(pages, original.TextForm(), def, rows);
        } catch (const JetError& error) {
            ASSERT_EQ(error.kind(), JetError::Kind::Unsupported) << error.what();
            std::printf("Jet 3 table %s left as it is: %s\n", name.c_str(), error.what());
            pages = kept;
            continue;
        }
        rewritten.push_back(name);
    }
    std::printf("Jet 3 tables written anew: %zu of %zu\n", rewritten.size(),
                original.TableNames().size());
    ASSERT_GE(rewritten.size(), 1u);
    const Bytes bytes = pages.Bytes();
    const fs::path file = folder_ / "jet3_reversed.mdb";
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ExpectWholePagesAndVersion(ReadBytes(sample), ReadBytes(file));
    const JetFile after = JetFile::Open(file.string());
    for (const std::string& name : rewritten) {
        JetTable expected = original.ReadTable(name);
        std::reverse(expected.rows.begin(), expected.rows.end());
        EXPECT_TRUE(after.ReadTable(name).rows == expected.rows) << name << " not reversed";
    }
    ExpectOraclesAgree({file});
}

}  // namespace
}  // namespace varnix
