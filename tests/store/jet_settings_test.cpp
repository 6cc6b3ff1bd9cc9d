// Saving into genuine Access files through our own Jet writer: every settings sample takes
// an edit and reads back as meant; a hundred full saves do not grow the file; Jet 3 tables
// are rewritten through the same table-generic path; and every refused save leaves the
// file byte for byte. This test also runs in the Windows build, under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numeric>
#include <string>

#include "file_copy.h"
#include "jet/check.h"
#include "jet/table_index.h"
#include "jet_samples.h"
#include "jet_settings.h"
#include "map_values.h"
#include "settings_file.h"
#include "windows_directory.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace varnix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing::MapValues;

Bytes ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

class JetWriteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / ("varnix-jet-write-" + std::string(info->name()));
        Remove();
        fs::create_directories(folder_);
    }
    void TearDown() override { Remove(); }
    // Read-only files and folders a test left are made writable first (Windows refuses to
    // remove a read-only file).
    void Remove() {
        std::error_code ignored;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (const auto& entry : fs::directory_iterator(folder_, ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
        }
        fs::remove_all(folder_, ignored);
    }
    fs::path Copy(const fs::path& samples, const std::string& sample) {
        const fs::path file = folder_ / sample;
        fs::copy_file(samples / sample, file, fs::copy_options::overwrite_existing);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        return file;
    }
    static MapValues Load(const fs::path& file, std::optional<FileDigest>* digest = nullptr) {
        MapValues values;
        AdoQuery query;
        LoadSettings(query, file.string(), values, digest);
        return values;
    }
    static void Save(const fs::path& file, const MapValues& values,
                     std::optional<FileDigest>* digest = nullptr) {
        AdoQuery query;
        SaveSettings(query, file.string(), values, digest);
    }

    fs::path folder_;
};

TEST_F(JetWriteTest, EverySettingsSampleTakesAnEditAndReadsBackAsMeant) {
    VARNIX_NEED_JET_SAMPLES(samples);
    int saved = 0;
    for (const auto& entry : fs::directory_iterator(*samples)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".mdb" || name.rfind("generic_", 0) == 0 ||
            name == "settings_no_pcong.mdb") {
            continue;
        }
        SCOPED_TRACE(name);
        const fs::path file = Copy(*samples, name);
        std::optional<FileDigest> digest;
        MapValues values = Load(file, &digest);
        values.phones[7] = "5551234";
        values.phones[500] = "+36 1 555 0500";
        values.phones.erase(3);
        values.timeout = "45";
        values.external = !values.external;
        Save(file, values, &digest);
        EXPECT_EQ(digest, DigestOf(ReadBytes(file)));
        const MapValues back = Load(file);
        EXPECT_EQ(back.Filled(), values.Filled());
        EXPECT_EQ(back.timeout, "45");
        EXPECT_EQ(back.external, values.external);
        const JetFile jet = JetFile::Open(file.string());
        for (const char* table : {"phone", "pcong"}) {
            EXPECT_NO_THROW(
                CheckJetTable(jet.Pages(), jet.TextForm(),
                              ReadJetTableDef(jet.Pages(), jet.TableDefinition(table))));
        }
        ++saved;
    }
    EXPECT_GE(saved, 10);
}

TEST_F(JetWriteTest, HundredFullSavesKeepTheFileSizeAndAnAutoNumberAboveEveryId) {
    VARNIX_NEED_JET_SAMPLES(samples);
    for (const char* sample : {"settings_empty.mdb", "write_autonumber.mdb"}) {
        SCOPED_TRACE(sample);
        const fs::path file = Copy(*samples, sample);
        std::uintmax_t first = 0;
        for (int save = 0; save < 100; ++save) {
            MapValues values;
            // Full tables, and now and then a nearly empty one, so pages go and come back.
            const int count = save % 10 == 8 ? 1 : 500;
            for (int slot = 1; slot <= count; ++slot) {
                values.phones[slot] = "+3612345" + std::to_string(save * 1000 + slot);
            }
            values.timeout = std::to_string(save);
            Save(file, values);
            if (save == 0) {
                first = fs::file_size(file);
            }
        }
        EXPECT_LE(fs::file_size(file), 2 * first);
        EXPECT_EQ(Load(file).phones.size(), 500u);
        const JetFile jet = JetFile::Open(file.string());
        const JetTableDef phone = ReadJetTableDef(jet.Pages(), jet.TableDefinition("phone"));
        EXPECT_NO_THROW(CheckJetTable(jet.Pages(), jet.TextForm(), phone));
        if (phone.columns[0].AutoNumber()) {
            EXPECT_GE(phone.autoNumber, 500u);
        }
    }
}

// A save of new numbers gives back pages of the phone index that lie among the table's data
// pages; the next save, of texts long enough to need more data pages, takes them first. A
// table scan must still find the rows in slot order.
TEST_F(JetWriteTest, RowsStayInSlotOrderWhenTheTableGrowsOntoPagesAnIndexGaveBack) {
    VARNIX_NEED_JET_SAMPLES(samples);
    Bytes bytes = ReadBytes(*samples / "write_full500_indexed.mdb");
    std::vector<std::int64_t> slots(500);
    std::iota(slots.begin(), slots.end(), 1);
    for (const bool longTexts : {false, true}) {
        SCOPED_TRACE(longTexts ? "long texts" : "numbers");
        MapValues values;
        for (int slot = 1; slot <= 500; ++slot) {
            values.phones[slot] = longTexts ? std::string(87, static_cast<char>('A' + slot % 26))
                                            : "+3612345182" + std::to_string(1000 + slot).substr(1);
        }
        values.timeout = "45";
        bytes = JetSettingsSaved(JetFile(bytes), values, 45);
        std::vector<std::int64_t> ids;
        for (const auto& row : JetFile(bytes).ReadTable("phone").rows) {
            ids.push_back(row[0].integer);
        }
        ASSERT_EQ(ids, slots);
    }
}

// A phone column of type Memo (the sample's Text column retyped in its definition):
// short numbers stay in the row, longer ones go to LVAL pages in one record or a chain,
// and saves over saves give the records back, so the file does not grow.
TEST_F(JetWriteTest, MemoNumbersGoInlineOrToLongValuePagesAndComeBack) {
    VARNIX_NEED_JET_SAMPLES(samples);
    const fs::path file = Copy(*samples, "settings_empty.mdb");
    {
        Bytes bytes = ReadBytes(file);
        const JetFile jet(bytes);
        const JetTableDef def = ReadJetTableDef(jet.Pages(), jet.TableDefinition("phone"));
        // The phone column's entry: type at its start, length at 23 (Jet 4).
        const std::size_t entry = def.page * 4096 + kJet4Layout.tdefBlocks + 25;
        ASSERT_EQ(bytes[entry], kJetTypeText);
        bytes[entry] = kJetTypeMemo;
        bytes[entry + kJet4Layout.columnLength] = 0;
        bytes[entry + kJet4Layout.columnLength + 1] = 0;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::uintmax_t first = 0;
    for (int save = 0; save < 20; ++save) {
        MapValues values;
        values.phones = {{1, "5551234"},
                         {2, std::string(100, static_cast<char>('0' + save % 10))},
                         {3, std::string(5000, '7') + std::to_string(save)},
                         {4, "caf\u00e9 \u03a9"}};
        values.timeout = "45";
        Save(file, values);
        if (save == 0) {
            first = fs::file_size(file);
        }
        const MapValues back = Load(file);
        ASSERT_EQ(back.Filled(), values.Filled()) << "save " << save;
    }
    EXPECT_LE(fs::file_size(file), first + 2 * 4096);
}

// The writer is table-generic: every Jet 3 table of the Access 97 sample, its rows
// written back in reverse order, reads back alike and passes the check.
TEST_F(JetWriteTest, Jet3TablesRewrittenReadBackAlike) {
    VARNIX_NEED_JET_SAMPLES(samples);
    const JetFile original = JetFile::Open((*samples / "generic_access97_jet3.mdb").string());
    JetPages pages = original.Pages();
    int rewritten = 0;
    for (const std::string& name : original.TableNames()) {
        SCOPED_TRACE(name);
        JetTableDef def = ReadJetTableDef(pages, original.TableDefinition(name));
        std::vector<std::vector<JetField>> rows;
        for (JetStoredRow& row : ReadJetTableRows(pages, def)) {
            rows.insert(rows.begin(), std::move(row.fields));
        }
        // New values in the file's own encoding: text in its code page, numbers.
        std::vector<std::pair<std::size_t, JetValue>> edits;
        for (std::size_t c = 0; c < def.columns.size() && !rows.empty(); ++c) {
            const JetColumnDef& column = def.columns[c];
            if (column.type == kJetTypeText && column.length >= 10) {
                edits.push_back({c, JetValue::Str("caf\u00e9 \u20ac")});
            } else if (column.type == kJetTypeInt32) {
                edits.push_back({c, JetValue::Int(-123456)});
            }
        }
        for (const auto& [c, value] : edits) {
            rows.front()[c] = EncodeJetValue(original.TextForm(), def.columns[c], value);
        }
        try {
            ReplaceJetTableRows(pages, original.TextForm(), def, rows);
            ++rewritten;
        } catch (const JetError& error) {
            // A case the writer does not cover must be refused with its reason.
            EXPECT_EQ(error.kind(), JetError::Kind::Unsupported) << error.what();
            pages = original.Pages();
            continue;
        }
        const JetFile after(pages.Bytes());
        JetTable table = after.ReadTable(name);
        JetTable expected = original.ReadTable(name);
        std::reverse(expected.rows.begin(), expected.rows.end());
        for (const auto& [c, value] : edits) {
            expected.rows.front()[c] = value;
        }
        EXPECT_EQ(table.rows, expected.rows);
        EXPECT_NO_THROW(CheckJetTable(after.Pages(), after.TextForm(),
                                      ReadJetTableDef(after.Pages(), def.page)));
    }
    EXPECT_GE(rewritten, 1);
}

// A genuine Access template in the Windows directory (as the old utility left it) makes
// genuine Access work files. Under Wine the test's own prefix holds that directory.
TEST_F(JetWriteTest, GenuineTemplateInTheWindowsDirectoryGivesGenuineNewFiles) {
    VARNIX_NEED_JET_SAMPLES(samples);
#ifdef _WIN32
    const fs::path windows = fs::u8path(WindowsDirectory());
#else
    const fs::path windows = folder_ / "windows";
    fs::create_directories(windows);
    setenv("WINDIR", windows.c_str(), 1);
#endif
    const fs::path genuine = windows / "zur.mdb";
    ASSERT_FALSE(fs::exists(genuine)) << "a template is there already";
    fs::copy_file(*samples / "settings_empty.mdb", genuine);  // read-only, as installed
    const fs::path found = fs::u8path(TemplatePath());
    const fs::path work = folder_ / "site.mdb";
    const bool copied = CopyFileNoOverwrite(TemplatePath(), work.string());
    fs::permissions(genuine, fs::perms::owner_write, fs::perm_options::add);
    fs::remove(genuine);
#ifndef _WIN32
    unsetenv("WINDIR");
#endif
    EXPECT_EQ(found, genuine);
    ASSERT_TRUE(copied);
    MapValues values;
    values.phones = {{1, "5551234"}, {500, "+36 1 555 0500"}};
    values.timeout = "45";
    Save(work, values);
    EXPECT_EQ(FileKindOfPath(work.string()), FileKind::Jet4);
    EXPECT_EQ(Load(work).Filled(), values.Filled());
}

TEST_F(JetWriteTest, RefusedSavesLeaveTheFileByteForByte) {
    VARNIX_NEED_JET_SAMPLES(samples);
    MapValues values;
    values.phones = {{7, "5551234"}};
    values.timeout = "45";
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> prepare;
        bool fileRefused;
    };
    const Case cases[] = {
        {"a lock file beside it",
         [](const fs::path& file) { std::ofstream(fs::path(file).replace_extension(".ldb")); },
         true},
        {"read-only", [](const fs::path& file) { fs::permissions(file, fs::perms::owner_read); },
         true},
        {"damaged", [](const fs::path& file) { fs::resize_file(file, 100 * 1024); }, true},
        {"newer Access",
         [](const fs::path& file) {
             std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
             out.seekp(4);
             out.write("Standard ACE DB", 15);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = Copy(*samples, "write_full500_indexed.mdb");
        c.prepare(file);
        const Bytes before = ReadBytes(file);
        EXPECT_THROW(Save(file, values), FileRefused);
        EXPECT_EQ(ReadBytes(file), before);
        fs::remove(fs::path(file).replace_extension(".ldb"));
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    }

    // No table for the relay settings: the reason says so.
    const fs::path noRelay = Copy(*samples, "settings_no_pcong.mdb");
    const Bytes original = ReadBytes(noRelay);
    try {
        Save(noRelay, values);
        ADD_FAILURE() << "saved into a file without pcong";
    } catch (const FileRefused& refused) {
        EXPECT_EQ(refused.Reason(), "the file has no table pcong for the relay settings");
    }
    EXPECT_EQ(ReadBytes(noRelay), original);

    // Replaced by another program after the load: the other program's file stays.
    const fs::path file = Copy(*samples, "write_pk_index.mdb");
    std::optional<FileDigest> digest;
    Load(file, &digest);
    fs::copy_file(*samples / "write_autonumber.mdb", file, fs::copy_options::overwrite_existing);
    const Bytes replaced = ReadBytes(file);
    EXPECT_THROW(Save(file, values, &digest), FileRefused);
    EXPECT_EQ(ReadBytes(file), replaced);

    // Values the file cannot hold: nothing is written either.
    MapValues wrong = values;
    wrong.timeout = "";
    EXPECT_THROW(Save(file, wrong), DatabaseError);
    wrong.timeout = "45";
    wrong.phones[8] = std::string(300, '5');  // longer than Text(255)
    EXPECT_THROW(Save(file, wrong), FileRefused);
    EXPECT_EQ(ReadBytes(file), replaced);
    EXPECT_FALSE(fs::exists(file.string() + ".varnix-save"));
}

// A relationship that Access enforces on phone: the sample's primary key made the index of
// one, and its row in MSysRelationships. The refusal names the relationship, not its index.
TEST_F(JetWriteTest, ASaveRefusesAnEnforcedRelationshipByItsName) {
    VARNIX_NEED_JET_SAMPLES(samples);
    const JetFile sample = JetFile::Open((*samples / "write_pk_index.mdb").string());
    JetPages pages = sample.Pages();
    const JetLayout& layout = pages.Layout();
    const JetTableDef phone = ReadJetTableDef(pages, sample.TableDefinition("phone"));
    ASSERT_EQ(phone.realIndexes.size(), 1u);
    ASSERT_EQ(phone.logicalIndexes.size(), 1u);
    // The logical index's entry follows the columns, their names (UCS-2 after a length) and
    // the real index's entry.
    std::size_t type = layout.tdefBlocks + layout.realIndexCountEntry +
                       phone.columns.size() * layout.columnEntry + layout.realIndexEntry +
                       layout.logicalIndexType;
    for (const JetColumnDef& column : phone.columns) {
        type += 2 + 2 * column.name.size();
    }
    std::uint8_t* definition = pages.MutablePage(phone.page);
    ASSERT_EQ(definition[type], 0x01) << "the primary key's type";
    definition[type] = 0x02;

    const auto tables = sample.Tables();
    const auto entry = std::find_if(tables.begin(), tables.end(), [](const auto& table) {
        return table.name == "MSysRelationships";
    });
    ASSERT_NE(entry, tables.end());
    JetTableDef relationships = ReadJetTableDef(pages, entry->definition);
    const std::map<std::string, JetValue> row = {{"ccolumn", JetValue::Int(1)},
                                                 {"grbit", JetValue::Int(0)},
                                                 {"icolumn", JetValue::Int(0)},
                                                 {"szColumn", JetValue::Str("id")},
                                                 {"szObject", JetValue::Str("phone")},
                                                 {"szReferencedColumn", JetValue::Str("time")},
                                                 {"szReferencedObject", JetValue::Str("pcong")},
                                                 {"szRelationship", JetValue::Str("Slots")}};
    std::vector<JetField> fields;
    for (const JetColumnDef& column : relationships.columns) {
        fields.push_back(EncodeJetValue(sample.TextForm(), column, row.at(column.name)));
    }
    ReplaceJetTableRows(pages, sample.TextForm(), relationships, {fields});

    MapValues values;
    values.phones = {{7, "5551234"}};
    values.timeout = "45";
    try {
        JetSettingsSaved(JetFile(pages.Bytes()), values, 45);
        ADD_FAILURE() << "saved";
    } catch (const JetError& error) {
        EXPECT_STREQ(error.what(),
                     "the table phone takes part in a relationship (Slots) that Access enforces "
                     "and Varnix does not keep");
    }
}

#ifndef _WIN32
// A full disk and a read-only folder, on POSIX: a child process whose file-size limit
// stops the copy part-way, and a folder that refuses new files (not to root).
TEST_F(JetWriteTest, FullDiskAndReadOnlyFolderLeaveTheFileByteForByte) {
    VARNIX_NEED_JET_SAMPLES(samples);
    const fs::path file = Copy(*samples, "settings_full500.mdb");
    const Bytes before = ReadBytes(file);
    MapValues values;
    values.phones = {{7, "5551234"}};
    values.timeout = "45";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            Save(file, values);
        } catch (const FileRefused&) {
            _exit(0);
        } catch (...) {
        }
        _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_FALSE(fs::exists(file.string() + ".varnix-save"));

    if (geteuid() != 0) {
        fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_THROW(Save(file, values), FileRefused);
        EXPECT_EQ(ReadBytes(file), before);
    }
}
#endif

}  // namespace
}  // namespace varnix
