// The save of the settings into a Jet file's pages, in memory.
#include <algorithm>
#include <map>

#include "device_values.h"
#include "jet_long_value.h"
#include "jet_settings.h"
#include "jet_table_index.h"
#include "jet_table_rows.h"
#include "jet_usage_map.h"

namespace varnix {

namespace {

constexpr std::uint8_t kForeignKeyIndex = 0x02;

// The position of a settings column in its table's definition.
std::size_t ColumnOf(const JetTableDef& def, const std::string& name) {
    for (std::size_t c = 0; c < def.columns.size(); ++c) {
        if (JetSameName(def.columns[c].name, name)) {
            return c;
        }
    }
    JetUnsupported("the table has no column " + name);
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

// A relationship that Access enforces ties the table to another, which a save that
// replaces its rows could break: such files are left to Access.
void RefuseEnforcedRelationships(const JetTableDef& def, const std::string& table) {
    for (const JetLogicalIndex& index : def.logicalIndexes) {
        if (index.type == kForeignKeyIndex) {
            JetUnsupported("the table " + table + " takes part in a relationship (" + index.name +
                           ") that Access enforces and Varnix does not keep");
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

}  // namespace

std::vector<std::uint8_t> JetSettingsSaved(const JetFile& file, const ConfigValues& values) {
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
            if ((!stays || c == number) && IsJetLongValueColumn(phone.columns[c]) &&
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
        if (IsJetLongValueColumn(phone.columns[number])) {
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

}  // namespace varnix
