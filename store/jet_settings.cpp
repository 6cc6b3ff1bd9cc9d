#include "jet_settings.h"

#include <cstdint>
#include <optional>
#include <set>

#include "device_values.h"
#include "jet_phone_id.h"

namespace varnix {

namespace {

// A column of a table read whole, addressed by name like a query's fields.
class Rows {
  public:
    explicit Rows(JetTable table) : table_(std::move(table)) {}
    std::size_t Count() const { return table_.rows.size(); }

    // Text reads as its leading integer, as SQLite converts it; null as none.
    std::optional<std::int64_t> Integer(std::size_t row, const std::string& name) const {
        return JetSettingsInteger(Field(row, name));
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
    const JetValue& Field(std::size_t row, const std::string& name) const {
        const auto c = JetColumnNamed(table_.columns, name);
        if (!c) {
            throw DatabaseError("no such column: " + name);
        }
        const JetValue& value = table_.rows[row][*c];
        if (value.kind == JetValue::Kind::Other) {
            throw DatabaseError("the column " + name + " holds " +
                                JetTypeName(table_.columns[*c].type) +
                                " values, which Varnix cannot read");
        }
        return value;
    }

    JetTable table_;
};

// The table, or none when the file has no table of that name.
std::optional<Rows> ReadTable(const JetFile& file, const char* name) {
    try {
        return Rows(file.ReadTable(name));
    } catch (const JetError& error) {
        if (error.kind() == JetError::Kind::NoSuchTable) {
            return std::nullopt;
        }
        throw DatabaseError(error.what());
    }
}

}  // namespace

void LoadJetSettings(const JetFile& file, ConfigValues& values, LoadNotes* notes) {
    const std::optional<Rows> phone = ReadTable(file, "phone");
    if (!phone) {
        throw DatabaseError("the file holds no table phone, so it is not a settings file");
    }
    LoadNotes found;
    std::set<int> filled;
    std::set<int> repeated;
    for (std::size_t row = 0; row < phone->Count(); ++row) {
        const std::optional<std::int64_t> id = phone->Integer(row, "id");
        if (!id) {
            ++found.nullIds;
        } else if (*id < 1 || *id > kSlotCount) {
            found.idsOutside.push_back(*id);
        } else {
            const int slot = static_cast<int>(*id);
            if (!filled.insert(slot).second) {
                repeated.insert(slot);
            }
            values.SetPhoneText(slot, phone->Text(row, "phone"));
        }
    }
    found.repeatedSlots.assign(repeated.begin(), repeated.end());
    const std::optional<Rows> pcong = ReadTable(file, "pcong");
    found.noRelaySettings = !pcong;
    if (pcong && pcong->Count() > 0) {
        values.SetTimeoutText(pcong->Text(0, "time"));
        if (pcong->Integer(0, "rec").value_or(0) > 0) {
            values.SetExternalDisconnect(true);
        }
    }
    if (notes != nullptr) {
        *notes = std::move(found);
    }
}

void LoadJetSettings(const std::string& path, ConfigValues& values, FileDigest* digest,
                     LoadNotes* notes) {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = ReadJetFileBytes(path);
    } catch (const JetError& error) {
        throw DatabaseError(error.what());
    }
    if (digest != nullptr) {
        *digest = DigestOf(bytes);
    }
    try {
        LoadJetSettings(JetFile(std::move(bytes)), values, notes);
    } catch (const JetError& error) {
        throw DatabaseError(error.what());
    }
}

}  // namespace varnix
