// The template zur.mdb that the build generates: a genuine Access 2000 file that our reader,
// libmdb and mdb-reader read alike, as two empty settings tables, also after a save of 500
// slots; and with the system tables, columns, indexes, catalogue objects and database
// properties of an empty database that Access's own template gives.
#include <gtest/gtest.h>

#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "jet/check.h"
#include "jet/create.h"
#include "jet/file.h"
#include "jet/integrity.h"
#include "jet_oracles.h"
#include "jet_samples.h"
#include "map_values.h"
#include "settings_file.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

struct TableShape {
    std::vector<std::pair<std::string, std::uint8_t>> columns;  // name and type, as stored
    // Each logical index: its name, type, its real index's columns by name, and flags.
    std::set<std::tuple<std::string, std::uint8_t, std::vector<std::string>, std::uint8_t>> indexes;
    friend bool operator==(const TableShape&, const TableShape&) = default;
};

TableShape ShapeOf(const JetTableDef& def) {
    TableShape shape;
    std::map<std::uint16_t, std::string> names;
    for (const JetColumnDef& column : def.columns) {
        shape.columns.push_back({column.name, column.type});
        names[column.number] = column.name;
    }
    for (const JetLogicalIndex& logical : def.logicalIndexes) {
        const JetRealIndex& real = def.realIndexes.at(logical.real);
        std::vector<std::string> parts;
        for (const JetRealIndex::Part& part : real.parts) {
            parts.push_back(names[part.column] + (part.ascending ? "" : " desc"));
        }
        shape.indexes.insert({logical.name, logical.type, parts, real.flags});
    }
    return shape;
}

// Every table the catalogue lists, by name, with its shape; and the catalogue's objects as
// (name, type, parent's name).
struct FileShape {
    std::map<std::string, TableShape> system, user;
    std::set<std::tuple<std::string, std::int64_t, std::string>> objects;
};

FileShape ShapeOf(const fs::path& path) {
    const JetFile file = JetFile::Open(path.string());
    FileShape shape;
    for (const JetFile::TableEntry& entry : file.Tables()) {
        (entry.user ? shape.user : shape.system)[entry.name] =
            ShapeOf(ReadJetTableDef(file.Pages(), entry.definition));
    }
    const JetTableDef catalogue = ReadJetTableDef(file.Pages(), 2);
    std::map<std::string, std::size_t> at;
    for (std::size_t c = 0; c < catalogue.columns.size(); ++c) {
        at[catalogue.columns[c].name] = c;
    }
    const auto rows = file.Values(catalogue);
    std::map<std::int64_t, std::string> nameOf;
    for (const auto& row : rows) {
        nameOf[row[at["Id"]].integer] = row[at["Name"]].text;
    }
    for (const auto& row : rows) {
        const auto parent = nameOf.find(row[at["ParentId"]].integer);
        shape.objects.insert({row[at["Name"]].text, row[at["Type"]].integer,
                              parent == nameOf.end() ? "(top)" : parent->second});
    }
    return shape;
}

fs::path WorkFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const fs::path folder =
        fs::temp_directory_path() / ("varnix-template-" + std::string(info->name()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// Our reader's view of any table the catalogue lists, system tables too.
JetTable ReadAnyTable(const JetFile& file, const std::string& name) {
    for (const JetFile::TableEntry& entry : file.Tables()) {
        if (entry.name == name) {
            JetTableDef def = ReadJetTableDef(file.Pages(), entry.definition);
            JetTable table;
            table.rows = file.Values(def);
            table.columns = std::move(def.columns);
            return table;
        }
    }
    throw JetError(JetError::Kind::NoSuchTable, name);
}

TEST(JetTemplate, IsAnAccess2000FileOfTwoEmptyTablesThatPassTheCheck) {
    const JetFile file = JetFile::Open(VARNIX_TEMPLATE);
    EXPECT_TRUE(file.IsJet4());
    EXPECT_FALSE(file.HasDatabasePassword());
    EXPECT_EQ(file.TableNames(), (std::vector<std::string>{"phone", "pcong"}));
    const JetTable phone = file.ReadTable("phone");
    ASSERT_EQ(phone.columns.size(), 2u);
    EXPECT_EQ(phone.columns[0].name, "id");
    EXPECT_EQ(phone.columns[0].type, kJetTypeInt32);
    EXPECT_EQ(phone.columns[1].name, "phone");
    EXPECT_EQ(phone.columns[1].type, kJetTypeText);
    EXPECT_EQ(phone.columns[1].length, 510);  // Text(255)
    EXPECT_TRUE(phone.rows.empty());
    const JetTable pcong = file.ReadTable("pcong");
    ASSERT_EQ(pcong.columns.size(), 2u);
    EXPECT_EQ(pcong.columns[0].name, "time");
    EXPECT_EQ(pcong.columns[0].type, kJetTypeInt32);
    EXPECT_EQ(pcong.columns[1].name, "rec");
    EXPECT_EQ(pcong.columns[1].type, kJetTypeInt32);
    EXPECT_TRUE(pcong.rows.empty());
    EXPECT_NO_THROW(CheckJetPages(file));
    for (const JetFile::TableEntry& entry : file.Tables()) {
        EXPECT_NO_THROW(CheckJetTable(file.Pages(), file.TextForm(),
                                      ReadJetTableDef(file.Pages(), entry.definition)))
            << entry.name;
    }
}

TEST(JetTemplate, EveryReaderAgreesOnItAlsoAfterASaveOf500Slots) {
    ASSERT_EQ(testing::OraclesMissing(), "");
    EXPECT_EQ(testing::CompareWithOracles(fs::path(VARNIX_TEMPLATE)), "");
    // libmdb reads the catalogue and the permissions as we do.
    const JetFile file = JetFile::Open(VARNIX_TEMPLATE);
    const std::vector<std::string> system{"MSysObjects", "MSysACEs"};
    const auto theirs = testing::LibmdbTables(VARNIX_TEMPLATE, system);
    for (std::size_t t = 0; t < system.size(); ++t) {
        const JetTable ours = ReadAnyTable(file, system[t]);
        EXPECT_FALSE(ours.rows.empty()) << system[t];
        EXPECT_EQ(testing::Difference(ours, theirs[t]), "") << system[t];
    }

    const fs::path copy = WorkFolder() / "saved.mdb";
    fs::copy_file(VARNIX_TEMPLATE, copy);
    fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
    testing::MapValues values;
    for (int slot = 1; slot <= 500; ++slot) {
        values.phones[slot] = "+3612345" + std::to_string(1000 + slot);
    }
    values.timeout = "1234";
    values.external = true;
    AdoQuery query;
    SaveSettings(query, copy.string(), values);
    EXPECT_EQ(testing::CompareWithOracles(copy), "");
    testing::MapValues loaded;
    LoadSettings(query, copy.string(), loaded);
    EXPECT_EQ(loaded.Filled(), values.Filled());
    EXPECT_EQ(loaded.timeout, "1234");
    EXPECT_TRUE(loaded.external);
    fs::remove_all(copy.parent_path());
}

TEST(JetTemplate, HoldsTheSystemTablesAndCatalogueOfAnEmptyAccess2000Database) {
    VARNIX_NEED_JET_SAMPLES(samples);
    const FileShape ours = ShapeOf(VARNIX_TEMPLATE);
    const FileShape access = ShapeOf(*samples / "settings_empty.mdb");
    std::vector<std::string> ourNames, accessNames;
    for (const auto& [name, shape] : ours.system) {
        ourNames.push_back(name);
    }
    for (const auto& [name, shape] : access.system) {
        accessNames.push_back(name);
    }
    EXPECT_EQ(ourNames, accessNames);
    for (const auto& [name, shape] : access.system) {
        EXPECT_TRUE(ours.system.count(name) != 0 && ours.system.at(name) == shape) << name;
    }
    for (const auto& [name, shape] : access.user) {
        ASSERT_EQ(ours.user.count(name), 1u) << name;
        EXPECT_EQ(ours.user.at(name).columns, shape.columns) << name;
    }
    EXPECT_EQ(ours.objects, access.objects);
}

// The database's properties as libmdb reads them (mdb-prop): those of the Access-made
// sample, among them AccessVersion "08.50", by which Jackcess and others tell an Access 2000
// file from a generic Jet 4 one.
TEST(JetTemplate, CarriesTheDatabasePropertiesOfAnAccess2000File) {
    VARNIX_NEED_JET_SAMPLES(samples);
    ASSERT_EQ(testing::OraclesMissing(), "");
    const auto properties = [](const fs::path& file) {
        QProcess prop;
        prop.start("mdb-prop", {QString::fromStdString(file.string()), "MSysDb"});
        EXPECT_TRUE(prop.waitForFinished(10000));
        return prop.readAllStandardOutput().toStdString();
    };
    const std::string ours = properties(VARNIX_TEMPLATE);
    EXPECT_NE(ours.find("\tAccessVersion: 08.50\n"), std::string::npos) << ours;
    EXPECT_EQ(ours, properties(*samples / "settings_empty.mdb"));
}

TEST(JetTemplate, AColumnThatMayNotBeNullIsRequiredForLibmdb) {
    ASSERT_EQ(testing::OraclesMissing(), "");
    const fs::path path = WorkFolder() / "required.mdb";
    using Column = JetNewColumn;
    const std::vector<std::uint8_t> bytes = CreateJetDatabase(
        {{"t", {{"a", Column::Type::LongInteger, 0, false}, {"b", Column::Type::Text, 20}}}},
        JetDateOf(0));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    EXPECT_EQ(testing::CompareWithOracles(path), "");
    QProcess schema;
    schema.start("mdb-schema", {QString::fromStdString(path.string()), "-T", "t"});
    ASSERT_TRUE(schema.waitForFinished(10000));
    const std::string sql = schema.readAllStandardOutput().toStdString();
    EXPECT_NE(sql.find("[a]\t\t\tLong Integer NOT NULL"), std::string::npos) << sql;
    EXPECT_NE(sql.find("[b]\t\t\tText (20)\n"), std::string::npos) << sql;
    EXPECT_THROW(CreateJetDatabase({{"MSysObjects", {{"a"}}}}, 0), JetError);
    EXPECT_THROW(CreateJetDatabase({{"t", {{"a"}, {"a"}}}}, 0), JetError);
    fs::remove_all(path.parent_path());
}

}  // namespace
}  // namespace varnix
