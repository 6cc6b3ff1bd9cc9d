// The phone slots as CSV text and files, and the rule of a paste into the phone table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "config_values.h"
#include "file_copy.h"
#include "phone_csv.h"
#include "settings_file.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

class PhoneCsvTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / ("varnix-csv-" + std::string(info->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder_ / "kept.csv", fs::perms::owner_all, ignored);
        fs::remove_all(folder_);
    }

    // A UTF-8 path in the test's folder, its name outside the ANSI code page ("Жπ").
    std::string PathOf(const std::string& name) const {
        return folder_.string() + static_cast<char>(fs::path::preferred_separator) +
               "\xD0\x96\xCF\x80" + name;
    }
    static std::string Contents(const std::string& path) {
        std::ifstream in(fs::path(std::u8string(path.begin(), path.end())), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path folder_;
};

// Values with every slot filled, so that a refused import visibly changes nothing.
ConfigRecord Filled() {
    ConfigRecord values;
    for (int slot = 1; slot <= 500; ++slot) {
        values.SetPhoneText(slot, "9" + std::to_string(slot));
    }
    values.SetTimeoutText("250");
    values.SetExternalDisconnect(true);
    values.SetPasswordText("1234");
    return values;
}

void ExpectSame(const ConfigValues& a, const ConfigValues& b) {
    for (int slot = 1; slot <= 500; ++slot) {
        ASSERT_EQ(a.PhoneText(slot), b.PhoneText(slot)) << "slot " << slot;
    }
}

TEST_F(PhoneCsvTest, SettingsFileThroughCsvIntoAnotherSettingsFileIsExact) {
    ConfigRecord saved;
    saved.SetPhoneText(1, "+385123456789");
    saved.SetPhoneText(2, "0");
    saved.SetPhoneText(77, "++0099");
    saved.SetPhoneText(500, "7093");
    saved.SetTimeoutText("42");
    const std::string first = PathOf("-first.mdb");
    const std::string second = PathOf("-second.mdb");
    ASSERT_TRUE(CopyFileNoOverwrite(VARNIX_TEMPLATE, first));
    ASSERT_TRUE(CopyFileNoOverwrite(VARNIX_TEMPLATE, second));
    AdoQuery query;
    SaveSettings(query, first, saved);

    ConfigRecord loaded;
    LoadSettings(query, first, loaded);
    const std::string csv = PathOf(".csv");
    SavePhoneCsv(csv, loaded);
    EXPECT_EQ(Contents(csv),
              "\xEF\xBB\xBFslot,number\r\n1,\"+385123456789\"\r\n2,\"0\"\r\n77,\"++0099\"\r\n"
              "500,\"7093\"\r\n");

    // The import replaces every slot and nothing else.
    ConfigRecord imported = Filled();
    LoadPhoneCsv(csv, imported);
    ExpectSame(imported, saved);
    EXPECT_EQ(imported.TimeoutText(), "250");
    EXPECT_TRUE(imported.ExternalDisconnect());
    EXPECT_EQ(imported.PasswordText(), "1234");

    imported.SetTimeoutText("42");
    SaveSettings(query, second, imported);
    ConfigRecord again;
    LoadSettings(query, second, again);
    ExpectSame(again, saved);
    EXPECT_EQ(again.FilledSlots(), 4);
}

TEST_F(PhoneCsvTest, RefusedFileNamesItsLineAndChangesNothing) {
    struct Case {
        std::string csv;
        int line;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"", 1, "the first line must be the header slot,number (or slot;number)"},
        {"\n1,2\n", 1, "the first line must be the header slot,number (or slot;number)"},
        {"slot,phone\n1,2\n", 1, "the first line must be the header slot,number (or slot;number)"},
        {"slot,number\n1,2\nx,3\n", 3, "the slot is not a whole number"},
        {"slot,number\n1.0,3\n", 2, "the slot is not a whole number"},
        {"slot,number\n,3\n", 2, "the slot is missing"},
        {"slot,number\n0,3\n", 2, "slot 0 is outside 1 to 500"},
        {"slot,number\n501,3\n", 2, "slot 501 is outside 1 to 500"},
        {"slot,number\n-1,3\n", 2, "slot -1 is outside 1 to 500"},
        {"slot,number\n99999999999999999999,3\n", 2,
         "slot 99999999999999999999 is outside 1 to 500"},
        {"slot,number\n7,1\n\n8,2\n07,3\n", 5, "slot 7 is listed on line 2 already"},
        {"slot,number\n7\n", 2, "1 fields where 2 belong (slot and number)"},
        {"slot,number\n7,1,\n", 2, "3 fields where 2 belong (slot and number)"},
        {"slot;number\n7,1\n", 2, "1 fields where 2 belong (slot and number)"},
        {"slot,number\n7,12a\n", 2, "the number holds characters other than the digits and \"+\""},
        {"slot,number\n7,\" 12\"\n", 2,
         "the number holds characters other than the digits and \"+\""},
        {"slot,number\n7,\"1\n2\"\n8,3\n", 2,
         "the number holds characters other than the digits and \"+\""},
        {"slot,number\n7,12345678901234\n", 2, "the number is longer than 13 characters"},
        {"slot,number\n1,2\n7,\"12\n", 3, "a quoted field has no closing quote"},
        {"slot,number\n7,\"12\"3\n", 2, "text follows the closing quote of a field"},
    };
    for (const Case& c : cases) {
        ConfigRecord values = Filled();
        try {
            ImportPhoneCsv(c.csv, values);
            ADD_FAILURE() << "accepted: " << c.csv;
        } catch (const CsvRejected& rejected) {
            EXPECT_EQ(rejected.Line(), c.line) << c.csv;
            EXPECT_EQ(rejected.Reason(), c.reason) << c.csv;
            EXPECT_EQ(rejected.what(), "line " + std::to_string(c.line) + ": " + c.reason);
        }
        ExpectSame(values, Filled());
    }
}

TEST_F(PhoneCsvTest, SpreadsheetVariantsReadAlike) {
    for (const std::string csv : {
             "slot,number\n3,\"+385\"\n12,0099\n",
             "\xEF\xBB\xBFslot,number\r\n3,\"+385\"\r\n12,0099",
             " Slot ; NUMBER \r\n\r\n3 ; +385\r\n;\r\n12;\"0099\"\r\n8;\r\n",
             "\"slot\",\"number\"\r3,\"+385\"\r\r12,\"0099\"  \r",
         }) {
        ConfigRecord values = Filled();
        ImportPhoneCsv(csv, values);
        EXPECT_EQ(values.PhoneText(3), "+385") << csv;
        EXPECT_EQ(values.PhoneText(12), "0099") << csv;
        EXPECT_EQ(values.FilledSlots(), 2) << csv;
    }
    // A doubled quote is a quote inside the field, which no number holds.
    ConfigRecord values;
    try {
        ImportPhoneCsv("slot,number\n3,\"+3\"\"\"\n", values);
        ADD_FAILURE() << "a quote imported";
    } catch (const CsvRejected& rejected) {
        EXPECT_EQ(rejected.Reason(), "the number holds characters other than the digits and \"+\"");
    }
    // Only the header: every slot emptied.
    values = Filled();
    ImportPhoneCsv("slot,number", values);
    EXPECT_EQ(values.FilledSlots(), 0);
}

// Texts a settings file may hold but typing cannot: quotes doubled, formulas kept from
// running, typed numbers untouched; the import refuses each guarded line.
TEST_F(PhoneCsvTest, FormulaTextsAreGuardedAndNotImported) {
    ConfigRecord values;
    const std::vector<std::string> texts = {"+385",   "=1+2",        "@SUM(A1)", "-2+3",
                                            "+cmd|x", "\tab",        "\r1",      "'=x",
                                            "a\"b",   "caf\xC3\xA9", "2=1",      "+"};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        values.SetPhoneText(static_cast<int>(i) + 1, texts[i]);
    }
    EXPECT_EQ(ExportPhoneCsv(values),
              "\xEF\xBB\xBFslot,number\r\n1,\"+385\"\r\n2,\"'=1+2\"\r\n3,\"'@SUM(A1)\"\r\n"
              "4,\"'-2+3\"\r\n5,\"'+cmd|x\"\r\n6,\"'\tab\"\r\n7,\"'\r1\"\r\n8,\"'=x\"\r\n"
              "9,\"a\"\"b\"\r\n10,\"caf\xC3\xA9\"\r\n11,\"2=1\"\r\n12,\"+\"\r\n");
    try {
        ConfigRecord into;
        ImportPhoneCsv(ExportPhoneCsv(values), into);
        ADD_FAILURE() << "guarded texts imported";
    } catch (const CsvRejected& rejected) {
        EXPECT_EQ(rejected.Line(), 3);
    }
}

TEST_F(PhoneCsvTest, PastedLinesFillSlotsDownward) {
    EXPECT_EQ(PastedPhones("1\r\n 2 \n\n+4\t\n", 10),
              (std::vector<PastedPhone>{{10, "1"}, {11, "2"}, {12, ""}, {13, "+4"}}));
    EXPECT_EQ(PastedPhones("5\r6", 499), (std::vector<PastedPhone>{{499, "5"}, {500, "6"}}));
    EXPECT_EQ(PastedPhones("\n", 3), (std::vector<PastedPhone>{{3, ""}}));
    EXPECT_EQ(PastedPhones("7\n\n", 3), (std::vector<PastedPhone>{{3, "7"}, {4, ""}}));

    auto rejection = [](std::string_view text, int first) -> std::string {
        try {
            PastedPhones(text, first);
        } catch (const CsvRejected& rejected) {
            return rejected.what();
        }
        return "accepted";
    };
    EXPECT_EQ(rejection("1\n2\n3 4\n", 1),
              "line 3: the number holds characters other than the digits and \"+\"");
    EXPECT_EQ(rejection("1\n12345678901234", 1), "line 2: the number is longer than 13 characters");
    EXPECT_EQ(rejection("1\n2\n", 500),
              "line 2: the line would go into slot 501, past the last "
              "slot 500");
    EXPECT_EQ(rejection("1\t2\n", 1),
              "line 1: the number holds characters other than the digits and \"+\"");
}

TEST_F(PhoneCsvTest, FileFailuresNameTheFileAndTheReason) {
    ConfigRecord values = Filled();
    const std::string missing = PathOf("-missing.csv");
    try {
        LoadPhoneCsv(missing, values);
        ADD_FAILURE() << "loaded a missing file";
    } catch (const CsvFileError& error) {
        EXPECT_EQ(error.Path(), missing);
        EXPECT_FALSE(error.Reason().empty());
        EXPECT_EQ(error.what(), missing + ": " + error.Reason());
    }
    ExpectSame(values, Filled());

    const std::string nowhere = PathOf("-none") + "/phones.csv";
    EXPECT_THROW(SavePhoneCsv(nowhere, values), CsvFileError);

    // An existing file is replaced whole, and no copy stays beside it.
    const std::string kept = (folder_ / "kept.csv").string();
    std::ofstream(kept) << "old";
    SavePhoneCsv(kept, values);
    EXPECT_EQ(Contents(kept), ExportPhoneCsv(values));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);

    fs::permissions(kept, fs::perms::owner_read);
    ConfigRecord other;
    try {
        SavePhoneCsv(kept, other);
        ADD_FAILURE() << "saved into a read-only file";
    } catch (const CsvFileError& error) {
        EXPECT_EQ(error.Reason(), "the file is read-only");
    }
    EXPECT_EQ(Contents(kept), ExportPhoneCsv(values));
}

// The warning of an export names exactly the texts its own import rejects.
TEST_F(PhoneCsvTest, ExportWarnsOfTheTextsItsImportRejects) {
    for (const std::string text :
         {"+385911234567", "0", "++0099", "1234567890123", "12345678901234",
          "hello world 123456789", "=1+2", "-5", " 123", "12\n34", "'7", "\"9\""}) {
        ConfigRecord values;
        values.SetPhoneText(7, text);
        const std::vector<std::string> warned = UnimportableTexts(values);
        ConfigRecord back;
        bool imported = true;
        try {
            ImportPhoneCsv(ExportPhoneCsv(values), back);
        } catch (const CsvRejected&) {
            imported = false;
        }
        EXPECT_EQ(warned.empty(), imported) << text;
        EXPECT_EQ(warned.size(), imported ? 0u : 1u) << text;
    }
    ConfigRecord values;
    values.SetPhoneText(3, "hello world 123456789");
    values.SetPhoneText(9, "+385");
    values.SetPhoneText(12, "12345678901234\r\n\x01");
    EXPECT_EQ(UnimportableTexts(values),
              (std::vector<std::string>{
                  "slot 3 holds \"hello world 123456789\", which an import of this file will "
                  "reject: the number holds characters other than the digits and \"+\"",
                  "slot 12 holds \"12345678901234\\r\\n\\x01\", which an import of this file "
                  "will reject: the number holds characters other than the digits and \"+\""}));
}

}  // namespace
}  // namespace varnix
