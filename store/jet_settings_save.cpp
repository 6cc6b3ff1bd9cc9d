// The save of the settings into a Jet file's pages, in memory.
#include <algorithm>
#include <map>

#include "device_values.h"
#include "jet/long_value.h"
#include "jet/table_index.h"
#include "jet/table_rows.h"
#include "jet_phone_id.h"
#include "jet_settings.h"

namespace varnix {

namespace {

constexpr std::uint8_t kForeignKeyIndex = 0x02;

// The position of a settings column in its table's definition.
std::size_t ColumnOf(const JetTableDef& def, const std::string& name) {
    const auto column = JetColumnNamed(def.columns, name);
    if (!column) {
        JetUnsupported("the table has no column " + name);
    }
    return *column;
}

// The relationships that Access enforces between `table` and another, by name, as
// MSysRelationships lists them (one row per column of each).
std::vector<std::string> EnforcedRelationships(const JetFile& file, const std::string& table) {
    constexpr std::int64_t kNotEnforced = 0x02;
    std::vector<std::string> names;
    for (const JetFile::TableEntry& entry : file.Tables()) {
        if (entry.user || entry.name != "MSysRelationships") {
            continue;
        }
        const JetTableDef def = ReadJetTableDef(file.Pages(), entry.definition);
        const std::size_t name = ColumnOf(def, "szRelationship");
        const std::size_t flags = ColumnOf(def, "grbit");
        const std::size_t from = ColumnOf(def, "szObject");
        const std::size_t to = ColumnOf(def, "szReferencedObject");
        for (const std::vector<JetValue>& row : file.Values(def)) {
            const bool involved =
                (row[from].kind == JetValue::Kind::Text && JetSameName(row[from].text, table)) ||
                (row[to].kind == JetValue::Kind::Text && JetSameName(row[to].text, table));
            const bool enforced = row[flags].kind == JetValue::Kind::Integer &&
                                  (row[flags].integer & kNotEnforced) == 0;
            if (involved && enforced && row[name].kind == JetValue::Kind::Text &&
                std::find(names.begin(), names.end(), row[name].text) == names.end()) {
                names.push_back(row[name].text);
            }
        }
    }
    return names;
}

// A relationship that Access enforces ties the table to another, which a save that
// replaces its rows could break: such files are left to Access. Such a table has an
// index of the relationship's; the refusal names the relationship itself.
void RefuseEnforcedRelationships(const JetFile& file, const JetTableDef& def,
                                 const std::string& table) {
    const bool tied =
        std::any_of(def.logicalIndexes.begin(), def.logicalIndexes.end(),
                    [](const JetLogicalIndex& index) { return index.type == kForeignKeyIndex; });
    if (!tied) {
        return;
    }
    const std::vector<std::string> names = EnforcedRelationships(file, table);
    std::string named;
    for (const std::string& name : names) {
        named += (named.empty() ? " (" : ", ") + name;
    }
    JetUnsupported("the table " + table + " takes part in " +
                   (names.size() > 1 ? "relationships" : "a relationship") +
                   (named.empty() ? "" : named + ")") +
                   " that Access enforces and Varnix does not keep");
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

// The definition page of a settings table; a file without it is no file to save into.
std::uint32_t SettingsTable(const JetFile& file, const std::string& name,
                            const std::string& missing) {
    try {
        return file.TableDefinition(name);
    } catch (const JetError& error) {
        if (error.kind() == JetError::Kind::NoSuchTable) {
            JetUnsupported(missing);
        }
        throw;
    }
}

// What the save does with a stored phone row.
enum class PhoneRow {
    Goes,       // its slot is empty now, or a later row of its slot is kept
    TakesSlot,  // it keeps its further columns and takes its slot's number
    StaysAsIs,  // it names no slot, so no load showed it
};

struct PhonePlan {
    std::vector<PhoneRow> fates;      // one a stored row
    std::map<int, std::size_t> kept;  // by filled slot, the row it keeps
};

PhonePlan PlanPhoneRows(const JetPages& pages, JetTextForm form, const JetTableDef& phone,
                        std::size_t id, const std::vector<JetStoredRow>& old,
                        const ConfigValues& values) {
    PhonePlan plan{std::vector<PhoneRow>(old.size(), PhoneRow::Goes), {}};
    for (std::size_t r = 0; r < old.size(); ++r) {
        const JetValue value = DecodeJetValue(pages, form, phone.columns[id], old[r].fields[id]);
        if (value.kind == JetValue::Kind::Other) {
            JetUnsupported("the column id holds " + JetTypeName(phone.columns[id].type) +
                           " values, which Varnix cannot read");
        }
        const std::optional<int> slot = JetPhoneSlot(value);
        if (!slot) {
            plan.fates[r] = PhoneRow::StaysAsIs;
        } else if (!values.PhoneText(*slot).empty()) {
            const auto [earlier, first] = plan.kept.emplace(*slot, r);
            if (!first) {  // the later of two rows wins, as the load shows it
                plan.fates[earlier->second] = PhoneRow::Goes;
                earlier->second = r;
            }
            plan.fates[r] = PhoneRow::TakesSlot;
        }
    }
    return plan;
}

// The phone rows: one a filled slot, ascending, then the rows that name no slot.
void SavePhoneRows(JetPages& pages, JetTextForm form, std::uint32_t definition,
                   const ConfigValues& values) {
    JetTableDef phone = ReadJetTableDef(pages, definition);
    const std::size_t id = ColumnOf(phone, "id");
    const std::size_t number = ColumnOf(phone, "phone");
    const std::vector<JetStoredRow> old = ReadJetTableRows(pages, phone);
    const PhonePlan plan = PlanPhoneRows(pages, form, phone, id, old, values);
    // The long values of rows that go, and the numbers about to be replaced, give their
    // records back first, so the new ones take their pages.
    for (std::size_t r = 0; r < old.size(); ++r) {
        for (std::size_t c = 0; c < phone.columns.size(); ++c) {
            const bool replaced = plan.fates[r] == PhoneRow::Goes ||
                                  (plan.fates[r] == PhoneRow::TakesSlot && c == number);
            if (replaced && IsJetLongValueColumn(phone.columns[c]) && old[r].fields[c].present) {
                ReleaseJetTableLongValue(pages, phone, old[r].fields[c]);
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
        const auto keeps = plan.kept.find(slot);
        std::vector<JetField> fields =
            keeps != plan.kept.end() ? old[keeps->second].fields : NewRow(phone, form, id);
        fields[id] = EncodeJetValue(form, phone.columns[id], JetValue::Int(slot));
        fields[number] = EncodeJetValue(form, phone.columns[number], JetValue::Str(text));
        if (IsJetLongValueColumn(phone.columns[number])) {
            longValues.StoreField(fields[number]);
        }
        rows.push_back(std::move(fields));
        if (phone.columns[id].AutoNumber()) {
            phone.autoNumber = std::max<std::uint32_t>(phone.autoNumber, slot);
        }
    }
    for (std::size_t r = 0; r < old.size(); ++r) {
        if (plan.fates[r] == PhoneRow::StaysAsIs) {
            rows.push_back(old[r].fields);
        }
    }
    ReplaceJetTableRows(pages, form, phone, rows);
}

// The time-out and the flag in the first pcong row, which is added if there is none.
void SaveRelaySettings(JetPages& pages, JetTextForm form, std::uint32_t definition,
                       const ConfigValues& values, std::int32_t timeout) {
    JetTableDef pcong = ReadJetTableDef(pages, definition);
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
    settings[0][time] = EncodeJetValue(form, pcong.columns[time], JetValue::Int(timeout));
    ReplaceJetTableRows(pages, form, pcong, settings);
}

}  // namespace

std::vector<std::uint8_t> JetSettingsSaved(const JetFile& file, const ConfigValues& values,
                                           std::int32_t timeout) {
    if (file.HasDatabasePassword()) {
        JetUnsupported(
            "the Access file has a database password, and Varnix does not write "
            "files that Access guards with one");
    }
    const std::uint32_t phone =
        SettingsTable(file, "phone", "the file holds no table phone, so it is not a settings file");
    const std::uint32_t pcong =
        SettingsTable(file, "pcong", "the file has no table pcong for the relay settings");
    RefuseEnforcedRelationships(file, ReadJetTableDef(file.Pages(), phone), "phone");
    RefuseEnforcedRelationships(file, ReadJetTableDef(file.Pages(), pcong), "pcong");
    JetPages pages = file.Pages();
    SavePhoneRows(pages, file.TextForm(), phone, values);
    SaveRelaySettings(pages, file.TextForm(), pcong, values, timeout);
    return std::move(pages).Bytes();
}

std::vector<std::uint8_t> BuildJetSettingsSave(const std::vector<std::uint8_t>& original,
                                               const ConfigValues& values, std::int32_t timeout) {
    const JetFile before(original);
    JetFile saved(JetSettingsSaved(before, values, timeout));
    VerifyJetSettingsSaved(before, saved, values, timeout);
    return std::move(saved).Bytes();
}

}  // namespace varnix
