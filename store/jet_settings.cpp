#include "jet_settings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <set>

#include "device_values.h"
#include "file_open.h"
#include "file_save.h"
#include "jet_check.h"
#include "jet_long_value.h"
#include "jet_table_index.h"
#include "jet_table_rows.h"
#include "jet_usage_map.h"

namespace varnix {

namespace {

constexpr std::uint8_t kForeignKeyIndex = 0x02;

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// A column of a table read whole, addressed by name like a query's fields.
class Rows {
  public:
    explicit Rows(JetTable table) : table_(std::move(table)) {}
    std::size_t Count() const { return table_.rows.size(); }

    // Null reads as 0; text reads as its leading integer, as SQLite converts it.
    std::int64_t Integer(std::size_t row, const std::string& name) const {
        const JetValue& value = Field(row, name);
        if (value.kind == JetValue::Kind::Text) {
            return LeadingInteger(value.text);
        }
        return value.kind == JetValue::Kind::Integer ? value.integer : 0;
    }
    // Null reads as empty text; a number as its decimal digits.
    std::string Text(std::size_t row, const std::string& name) const {
        const JetValue& value = Field(row, name);
        if (value.kind == JetValue::Kind::Integer) {
            return std::to_string(value.integer);
        }
        return value.kind == JetValue::Kind::Text ? value.text : std::string();
    }

  private:
    static std::int64_t LeadingInteger(const std::string& text) {
        std::size_t i = text.find_first_not_of(" \t\n\f\r");
        if (i == std::string::npos) {
            return 0;
        }
        const bool negative = text[i] == '-';
        if (text[i] == '-' || text[i] == '+') {
            ++i;
        }
        std::uint64_t magnitude = 0;
        const std::uint64_t limit =
            std::uint64_t{std::numeric_limits<std::int64_t>::max()} + (negative ? 1 : 0);
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
            if (magnitude > limit) {
                return negative ? std::numeric_limits<std::int64_t>::min()
                                : std::numeric_limits<std::int64_t>::max();
            }
        }
        return negative ? static_cast<std::int64_t>(0 - magnitude)
                        : static_cast<std::int64_t>(magnitude);
    }

    const JetValue& Field(std::size_t row, const std::string& name) const {
        const std::string lower = Lower(name);
        for (std::size_t c = 0; c < table_.columns.size(); ++c) {
            const JetColumn& column = table_.columns[c];
            if (Lower(column.name) != lower) {
                continue;
            }
            const JetValue& value = table_.rows[row][c];
            if (value.kind == JetValue::Kind::Other) {
                throw DatabaseError("the column " + name + " holds " + JetTypeName(column.type) +
                                    " values, which Varnix cannot read");
            }
            return value;
        }
        throw DatabaseError("no such column: " + name);
    }

    JetTable table_;
};

// The position of a settings column in its table's definition.
std::size_t ColumnOf(const JetTableDef& def, const std::string& name) {
    for (std::size_t c = 0; c < def.columns.size(); ++c) {
        if (Lower(def.columns[c].name) == Lower(name)) {
            return c;
        }
    }
    JetUnsupported("the table has no column " + name);
}

bool IsLongValue(const JetColumnDef& column) {
    return column.type == kJetTypeMemo || column.type == kJetTypeOle;
}

// Gives a field's LVAL records back; a page released is taken out of the table's maps.
void ReleaseLongValue(JetPages& pages, const JetTableDef& def, const JetField& field) {
    for (const std::uint32_t page :
         ReleaseJetLongValue(pages, field.bytes.data(), field.bytes.size())) {
        for (const std::uint32_t pointer : {def.ownedPages, def.freePages}) {
            JetUsageMap map(pages, pointer);
            if (map.Contains(page)) {
                map.Set(pages, page, false);
            }
        }
    }
}

// The LVAL pages the long values of a table's rows lie on.
std::set<std::uint32_t> LongValuePages(const JetPages& pages, const JetTableDef& def) {
    std::set<std::uint32_t> out;
    for (const JetStoredRow& row : ReadJetTableRows(pages, def)) {
        for (std::size_t c = 0; c < def.columns.size(); ++c) {
            if (IsLongValue(def.columns[c]) && row.fields[c].present) {
                for (const JetRowId at : JetLongValueRows(pages, row.fields[c].bytes.data(),
                                                          row.fields[c].bytes.size())) {
                    out.insert(at.page);
                }
            }
        }
    }
    return out;
}

// A relationship that Access enforces ties the table to another, which a save that
// replaces its rows could break: such files are left to Access.
void RefuseEnforcedRelationships(const JetTableDef& def, const std::string& table) {
    for (const JetLogicalIndex& index : def.logicalIndexes) {
        if (index.type == kForeignKeyIndex) {
            JetUnsupported("the table " + table +
                           " takes part in a relationship that Access "
                           "enforces (" +
                           index.name + "), which Varnix does not keep");
        }
    }
}

// A row the save adds: every column null, but for an AutoNumber column (other than
// `given`, which the save sets) that takes the next number.
std::vector<JetField> NewRow(JetTableDef& def, JetTextForm form, std::size_t given) {
    std::vector<JetField> fields(def.columns.size());
    for (std::size_t c = 0; c < def.columns.size(); ++c) {
        if (c != given && def.columns[c].AutoNumber()) {
            ++def.autoNumber;
            fields[c] = EncodeJetValue(form, def.columns[c],
                                       JetValue::Int(static_cast<std::int32_t>(def.autoNumber)));
        }
    }
    return fields;
}

// What a load reads back, for the verify step.
class ReadBack : public SettingsValues {
  public:
    std::string PhoneText(int slot) const override { return phones_[slot]; }
    void SetPhoneText(int slot, const std::string& text) override { phones_[slot] = text; }
    std::string TimeoutText() const override { return timeout_; }
    void SetTimeoutText(const std::string& text) override { timeout_ = text; }
    bool ExternalDisconnect() const override { return flag_; }
    void SetExternalDisconnect(bool on) override { flag_ = on; }

  private:
    std::array<std::string, kSlotCount + 1> phones_;
    std::string timeout_ = "0";
    bool flag_ = false;
};

// The whole file; a file that cannot be read throws JetError with the system's reason.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    const std::string error = ReadWholeFile(path, bytes);
    if (!error.empty()) {
        JetUnsupported("unable to open database file: " + error);
    }
    return bytes;
}

Rows ReadTable(const JetFile& file, const char* name) {
    try {
        return Rows(file.ReadTable(name));
    } catch (const JetError& error) {
        throw DatabaseError(error.what());
    }
}

}  // namespace

void LoadJetSettings(const JetFile& file, SettingsValues& values) {
    const Rows phone = ReadTable(file, "phone");
    for (std::size_t row = 0; row < phone.Count(); ++row) {
        const std::int64_t id = phone.Integer(row, "id");
        if (id >= 1 && id <= kSlotCount) {
            values.SetPhoneText(static_cast<int>(id), phone.Text(row, "phone"));
        }
    }
    const Rows pcong = ReadTable(file, "pcong");
    if (pcong.Count() > 0) {
        values.SetTimeoutText(pcong.Text(0, "time"));
        if (pcong.Integer(0, "rec") > 0) {
            values.SetExternalDisconnect(true);
        }
    }
}

void LoadJetSettings(const std::string& path, SettingsValues& values, FileDigest* digest) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = ReadFileBytes(path);
    } catch (const JetError& error) {
        throw DatabaseError(error.what());
    }
    if (digest != nullptr) {
        *digest = DigestOf(bytes);
    }
    try {
        LoadJetSettings(JetFile(std::move(bytes)), values);
    } catch (const JetError& error) {
        throw DatabaseError(error.what());
    }
}

std::vector<std::uint8_t> JetSettingsSaved(const JetFile& file, const SettingsValues& values) {
    if (file.HasDatabasePassword()) {
        JetUnsupported(
            "the Access file has a database password, and Varnix does not write "
            "files that Access guards with one");
    }
    JetPages pages = file.Pages();
    const JetTextForm form = file.TextForm();

    JetTableDef phone = ReadJetTableDef(pages, file.TableDefinition("phone"));
    RefuseEnforcedRelationships(phone, "phone");
    const std::size_t id = ColumnOf(phone, "id");
    const std::size_t number = ColumnOf(phone, "phone");
    std::vector<JetStoredRow> old = ReadJetTableRows(pages, phone);
    std::map<std::int64_t, std::size_t> kept;  // by id, the row it keeps; the later of two wins
    for (std::size_t r = 0; r < old.size(); ++r) {
        const JetValue value = DecodeJetValue(pages, form, phone.columns[id], old[r].fields[id]);
        if (value.kind == JetValue::Kind::Integer && value.integer >= 1 &&
            value.integer <= kSlotCount &&
            !values.PhoneText(static_cast<int>(value.integer)).empty()) {
            kept[value.integer] = r;
        }
    }
    // The long values of rows that go, and the numbers about to be replaced, give their
    // records back first, so the new ones take their pages.
    for (std::size_t r = 0; r < old.size(); ++r) {
        const JetValue value = DecodeJetValue(pages, form, phone.columns[id], old[r].fields[id]);
        const bool stays = value.kind == JetValue::Kind::Integer &&
                           kept.count(value.integer) != 0 && kept.at(value.integer) == r;
        for (std::size_t c = 0; c < phone.columns.size(); ++c) {
            if ((!stays || c == number) && IsLongValue(phone.columns[c]) &&
                old[r].fields[c].present) {
                ReleaseLongValue(pages, phone, old[r].fields[c]);
            }
        }
    }
    JetLongValueWriter longValues(pages);
    std::vector<std::vector<JetField>> rows;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const std::string text = values.PhoneText(slot);
        if (text.empty()) {
            continue;
        }
        const auto keeps = kept.find(slot);
        std::vector<JetField> fields =
            keeps != kept.end() ? old[keeps->second].fields : NewRow(phone, form, id);
        fields[id] = EncodeJetValue(form, phone.columns[id], JetValue::Int(slot));
        fields[number] = EncodeJetValue(form, phone.columns[number], JetValue::Str(text));
        if (IsLongValue(phone.columns[number])) {
            const std::vector<std::uint8_t> stored(
                fields[number].bytes.begin() + static_cast<std::ptrdiff_t>(kJetLongValueHeader),
                fields[number].bytes.end());
            fields[number].bytes = longValues.Store(stored);
        }
        rows.push_back(std::move(fields));
        if (phone.columns[id].AutoNumber()) {
            phone.autoNumber = std::max<std::uint32_t>(phone.autoNumber, slot);
        }
    }
    ReplaceJetTableRows(pages, form, phone, rows);

    JetTableDef pcong = ReadJetTableDef(pages, file.TableDefinition("pcong"));
    RefuseEnforcedRelationships(pcong, "pcong");
    const std::size_t time = ColumnOf(pcong, "time");
    const std::size_t rec = ColumnOf(pcong, "rec");
    std::vector<std::vector<JetField>> settings;
    for (JetStoredRow& row : ReadJetTableRows(pages, pcong)) {
        settings.push_back(std::move(row.fields));
    }
    if (settings.empty()) {
        settings.push_back(NewRow(pcong, form, time));
    }
    settings[0][rec] = EncodeJetValue(form, pcong.columns[rec],
                                      JetValue::Int(values.ExternalDisconnect() ? 1 : 0));
    settings[0][time] = EncodeJetValue(form, pcong.columns[time],
                                       JetValue::Int(SavedTimeout(values.TimeoutText())));
    ReplaceJetTableRows(pages, form, pcong, settings);
    return pages.Bytes();
}

void VerifyJetSettingsSaved(const std::vector<std::uint8_t>& original,
                            const std::vector<std::uint8_t>& saved, const SettingsValues& values) {
    const JetFile before(original);
    const JetFile after(saved);
    if (after.IsJet4() != before.IsJet4() || after.Pages().Count() < before.Pages().Count()) {
        JetDamaged("the saved file lost its version or pages");
    }
    ReadBack back;
    LoadJetSettings(after, back);
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (back.PhoneText(slot) != values.PhoneText(slot)) {
            JetDamaged("slot " + std::to_string(slot) + " reads back as \"" + back.PhoneText(slot) +
                       "\"");
        }
    }
    if (back.TimeoutText() != std::to_string(SavedTimeout(values.TimeoutText())) ||
        back.ExternalDisconnect() != values.ExternalDisconnect()) {
        JetDamaged("the relay settings read back as " + back.TimeoutText());
    }
    // The pages the save may change: those of the two tables, their definitions, indexes
    // and usage maps, the file's global map and its free pages, and pages it added.
    std::set<std::uint32_t> changeable{kJetGlobalUsageMap >> 8};
    for (const std::uint32_t page : JetUsageMap(before.Pages(), kJetGlobalUsageMap).Pages()) {
        changeable.insert(page);
    }
    for (const JetFile* file : {&before, &after}) {
        for (const char* name : {"phone", "pcong"}) {
            const JetTableDef def = ReadJetTableDef(file->Pages(), file->TableDefinition(name));
            if (file == &after) {
                CheckJetTable(after.Pages(), after.TextForm(), def);
            }
            changeable.insert(def.page);
            for (const std::uint32_t pointer : {def.ownedPages, def.freePages}) {
                for (const std::uint32_t page :
                     JetUsageMap(file->Pages(), pointer).StoragePages()) {
                    changeable.insert(page);
                }
            }
            for (const std::uint32_t page : JetTableDataPages(file->Pages(), def)) {
                changeable.insert(page);
            }
            for (const std::uint32_t page : LongValuePages(file->Pages(), def)) {
                changeable.insert(page);
            }
            for (const JetRealIndex& index : def.realIndexes) {
                if (index.usageMap != 0) {
                    for (const std::uint32_t page :
                         JetUsageMap(file->Pages(), index.usageMap).StoragePages()) {
                        changeable.insert(page);
                    }
                }
                for (const std::uint32_t page :
                     ReadJetIndex(file->Pages(), def.page, index.firstPage).pages) {
                    changeable.insert(page);
                }
            }
        }
    }
    const std::size_t pageSize = before.Pages().PageSize();
    for (std::uint32_t page = 0; page < before.Pages().Count(); ++page) {
        if (changeable.count(page) == 0 &&
            !std::equal(original.begin() + std::ptrdiff_t(page * pageSize),
                        original.begin() + std::ptrdiff_t((page + 1) * pageSize),
                        saved.begin() + std::ptrdiff_t(page * pageSize))) {
            JetDamaged("the save changed page " + std::to_string(page) +
                       ", which belongs to neither table");
        }
    }
}

std::string JetLockFileOf(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return path + ".ldb";
    }
    return path.substr(0, dot) + ".ldb";
}

FileDigest SaveJetSettings(const std::string& path, const SettingsValues& values,
                           const FileDigest* loaded) {
    const auto refuse = [&](const std::string& reason) -> FileRefused {
        return FileRefused(path, reason);
    };
    // Through a link, the file itself is replaced, and the link stays.
    const std::string target = FinalPathOf(path);
    for (const std::string& lock : {JetLockFileOf(path), JetLockFileOf(target)}) {
        if (PathExists(lock)) {
            throw refuse("Microsoft Access or another program has the file open (its lock file " +
                         lock +
                         " lies beside it). Close that program first; if none has it open, "
                         "delete the lock file.");
        }
    }
    if (IsReadOnlyFile(target)) {
        throw refuse("the file is read-only");
    }
    std::vector<std::uint8_t> original;
    std::vector<std::uint8_t> saved;
    try {
        original = ReadFileBytes(target);
        if (loaded != nullptr && DigestOf(original) != *loaded) {
            throw refuse(
                "the file was changed by another program after Varnix loaded it; load it "
                "again to see its changes");
        }
        saved = JetSettingsSaved(JetFile(original), values);
        VerifyJetSettingsSaved(original, saved, values);
    } catch (const JetError& error) {
        throw refuse(error.what());
    }
    const std::string copy = target + ".varnix-save";
    RemoveFile(copy);  // a copy left by a save that was cut off
    std::string error = WriteNewFileDurably(copy, saved, target);
    if (error.empty()) {
        // The file must still be what the save was built from.
        std::vector<std::uint8_t> now;
        try {
            now = ReadFileBytes(target);
        } catch (const JetError& failure) {
            error = failure.what();
        }
        if (error.empty() && now != original) {
            error = "the file was changed by another program during the save";
        }
        if (error.empty()) {
            error = ReplaceFileAtomically(copy, target);
        }
    }
    if (!error.empty()) {
        RemoveFile(copy);
        throw refuse(error);
    }
    return DigestOf(saved);
}

}  // namespace varnix
