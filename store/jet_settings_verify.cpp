// The verify step of a save: the saved file as our own reader sees it.
#include <algorithm>
#include <array>
#include <set>

#include "device_values.h"
#include "jet/check.h"
#include "jet/integrity.h"
#include "jet/table_rows.h"
#include "jet/usage_map.h"
#include "jet/values.h"
#include "jet_phone_id.h"
#include "jet_settings.h"

namespace varnix {

namespace {

bool IsSettingsTable(const std::string& name) {
    return JetSameName(name, "phone") || JetSameName(name, "pcong");
}

// The data pointers of a table's usage maps: its own two and its indexes'.
std::vector<std::uint32_t> MapsOf(const JetTableDef& def) {
    std::vector<std::uint32_t> maps{def.ownedPages, def.freePages};
    for (const JetRealIndex& index : def.realIndexes) {
        if (index.usageMap != 0) {
            maps.push_back(index.usageMap);
        }
    }
    return maps;
}

// The stored rows of a file's phone table, with the slot each names: only the id column
// is read as a value, so the texts are not decoded once more.
struct PhoneRows {
    const JetFile& file;
    JetTableDef def;
    std::vector<JetStoredRow> rows;
    std::size_t id;

    explicit PhoneRows(const JetFile& from)
        : file(from),
          def(ReadJetTableDef(from.Pages(), from.TableDefinition("phone"))),
          rows(ReadJetTableRows(from.Pages(), def)),
          id(JetColumnNamed(def.columns, "id").value_or(def.columns.size())) {}
    std::optional<int> Slot(std::size_t row) const {
        return JetPhoneSlot(
            DecodeJetValue(file.Pages(), file.TextForm(), def.columns[id], rows[row].fields[id]));
    }
    std::vector<JetValue> Values(std::size_t row) const {
        return DecodeJetRowValues(file.Pages(), file.TextForm(), def, rows[row].fields);
    }
};

// The saved phone rows in stored order: one a filled slot, ascending, then the rows of the
// original that name no slot, as they were.
void VerifyPhoneRows(const JetFile& before, const JetFile& after, const ConfigValues& values) {
    const PhoneRows original(before);
    const PhoneRows saved(after);
    if (saved.id == saved.def.columns.size() || original.id != saved.id) {
        JetDamaged("the saved phone table lost its column id");
    }
    std::size_t next = 0;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (values.PhoneText(slot).empty()) {
            continue;
        }
        if (next == saved.rows.size() || saved.Slot(next) != slot) {
            JetDamaged("the saved phone rows are not one a filled slot in slot order, at slot " +
                       std::to_string(slot));
        }
        ++next;
    }
    for (std::size_t row = 0; row < original.rows.size(); ++row) {
        if (original.Slot(row)) {
            continue;
        }
        if (next == saved.rows.size() || saved.Values(next) != original.Values(row)) {
            JetDamaged("the save did not keep a phone row that names no slot as it was");
        }
        ++next;
    }
    if (next != saved.rows.size()) {
        JetDamaged("the saved phone table holds rows beyond the filled slots and kept rows");
    }
}

}  // namespace

void VerifyJetSettingsSaved(const JetFile& before, const JetFile& after, const ConfigValues& values,
                            std::int32_t timeout) {
    const std::vector<std::uint8_t>& original = before.Pages().Bytes();
    const std::vector<std::uint8_t>& saved = after.Pages().Bytes();
    if (after.IsJet4() != before.IsJet4() || after.Pages().Count() < before.Pages().Count()) {
        JetDamaged("the saved file lost its version or pages");
    }
    ConfigRecord back;
    LoadJetSettings(after, back);
    VerifyPhoneRows(before, after, values);
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (back.PhoneText(slot) != values.PhoneText(slot)) {
            JetDamaged("slot " + std::to_string(slot) + " reads back as \"" + back.PhoneText(slot) +
                       "\"");
        }
    }
    if (back.TimeoutText() != std::to_string(timeout) ||
        back.ExternalDisconnect() != values.ExternalDisconnect()) {
        JetDamaged("the relay settings read back as " + back.TimeoutText());
    }
    // The saved file is sound as a whole, and its two tables each.
    const JetPageWalk walk = WalkJetPages(after);
    if (walk.fault) {
        JetDamaged(walk.fault->Explained());
    }
    for (const char* name : {"phone", "pcong"}) {
        CheckJetTable(after.Pages(), after.TextForm(),
                      ReadJetTableDef(after.Pages(), after.TableDefinition(name)));
    }
    // The pages the save may change: those the two tables hold in the saved file
    // (definitions, data, indexes, long values), its free pages (among them those the tables
    // gave back), and the pages holding the tables' usage maps and the global map, before
    // and after. A page that belongs to another table afterwards must be as it was.
    std::set<std::uint32_t> changeable{kJetGlobalUsageMap >> 8};
    for (std::uint32_t page = 0; page < walk.owners.size(); ++page) {
        const JetPageOwner& owner = walk.owners[page];
        if (owner.kind == JetPageOwner::Kind::Free || IsSettingsTable(owner.table)) {
            changeable.insert(page);
        }
    }
    for (const JetFile* file : {&before, &after}) {
        for (const char* name : {"phone", "pcong"}) {
            const JetTableDef def = ReadJetTableDef(file->Pages(), file->TableDefinition(name));
            for (const std::uint32_t pointer : MapsOf(def)) {
                for (const std::uint32_t page :
                     JetUsageMap(file->Pages(), pointer).StoragePages()) {
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

}  // namespace varnix
