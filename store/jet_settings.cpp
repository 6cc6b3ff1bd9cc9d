#include "jet_settings.h"

#include <cstdint>
#include <limits>

#include "device_values.h"

namespace varnix {

namespace {

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
        for (std::size_t c = 0; c < table_.columns.size(); ++c) {
            const JetColumn& column = table_.columns[c];
            if (!JetSameName(column.name, name)) {
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

Rows ReadTable(const JetFile& file, const char* name) {
    try {
        return Rows(file.ReadTable(name));
    } catch (const JetError& error) {
        throw DatabaseError(error.what());
    }
}

}  // namespace

void LoadJetSettings(const JetFile& file, ConfigValues& values) {
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

void LoadJetSettings(const std::string& path, ConfigValues& values, FileDigest* digest) {
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
        LoadJetSettings(JetFile(std::move(bytes)), values);
    } catch (const JetError& error) {
        throw DatabaseError(error.what());
    }
}

}  // namespace varnix
