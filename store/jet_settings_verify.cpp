// The verify step of a save: the saved file as our own reader sees it.
#include <algorithm>
#include <array>
#include <set>

#include "device_values.h"
#include "jet/check.h"
#include "jet/index_pages.h"
#include "jet/long_value.h"
#include "jet/table_rows.h"
#include "jet/usage_map.h"
#include "jet_phone_id.h"
#include "jet_settings.h"

namespace varnix {

namespace {

// The LVAL pages the long values of a table's rows lie on.
std::set<std::uint32_t> LongValuePages(const JetPages& pages, const JetTableDef& def) {
    std::set<std::uint32_t> out;
    for (const JetStoredRow& row : ReadJetTableRows(pages, def)) {
        for (std::size_t c = 0; c < def.columns.size(); ++c) {
            if (IsJetLongValueColumn(def.columns[c]) && row.fields[c].present) {
                for (const JetRowId at : JetLongValueRows(pages, row.fields[c].bytes.data(),
                                                          row.fields[c].bytes.size())) {
                    out.insert(at.page);
                }
            }
        }
    }
    return out;
}

// The saved phone rows in stored order: one a filled slot, ascending, then the rows of the
// original that name no slot, as they were.
void VerifyPhoneRows(const JetFile& before, const JetFile& after, const ConfigValues& values) {
    const JetTable original = before.ReadTable("phone");
    const JetTable saved = after.ReadTable("phone");
    const auto idColumn = [](const JetTable& table) {
        return JetColumnNamed(table.columns, "id").value_or(table.columns.size());
    };
    const std::size_t id = idColumn(saved);
    if (id == saved.columns.size() || idColumn(original) != id) {
        JetDamaged("the saved phone table lost its column id");
    }
    std::size_t next = 0;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (values.PhoneText(slot).empty()) {
            continue;
        }
        if (next == saved.rows.size() || JetPhoneSlot(saved.rows[next][id]) != slot) {
            JetDamaged("the saved phone rows are not one a filled slot in slot order, at slot " +
                       std::to_string(slot));
        }
        ++next;
    }
    for (const std::vector<JetValue>& row : original.rows) {
        if (JetPhoneSlot(row[id])) {
            continue;
        }
        if (next == saved.rows.size() || saved.rows[next] != row) {
            JetDamaged("the save did not keep a phone row that names no slot as it was");
        }
        ++next;
    }
    if (next != saved.rows.size()) {
        JetDamaged("the saved phone table holds rows beyond the filled slots and kept rows");
    }
}

}  // namespace

void VerifyJetSettingsSaved(const std::vector<std::uint8_t>& original,
                            const std::vector<std::uint8_t>& saved, const ConfigValues& values) {
    const JetFile before(original);
    const JetFile after(saved);
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

}  // namespace varnix
