#include "settings_file.h"

#include <cerrno>
#include <cstring>
#include <set>

#include "decimal_number.h"
#include "device_values.h"

#include "file_checks.h"
#include "file_open.h"
#include "jet/file.h"
#include "jet/text.h"
#include "jet_settings.h"
#include "latin1.h"

namespace varnix {

namespace {

void RunQuery(AdoQuery& query, const char* sql) {
    query.Close();
    query.SetSql(sql);
    query.Open();
}

void ExecuteStatement(AdoQuery& query, const char* sql) {
    query.Close();
    query.SetSql(sql);
    query.ExecSql();
}

// A text as earlier versions stored it, one Latin-1 byte a character, reads as UTF-8; a
// text that is UTF-8 already stays as it is.
std::string StoredText(const std::string& text) {
    return IsUtf8(text) ? text : Latin1ToUtf8(text);
}

// The error's text names the file, once.
std::string Named(const std::string& path, const std::string& reason) {
    const std::string prefix = path + ": ";
    return reason.compare(0, prefix.size(), prefix) == 0 ? reason : prefix + reason;
}

enum class StoredAs { Access, Sqlite };

// How the settings file keeps its settings, told by its first bytes; a file that is none
// throws DatabaseError with the reason.
StoredAs StoredAsOf(const std::string& path) {
    if (const std::string fault = SourceFault(path); !fault.empty()) {
        throw DatabaseError(fault);
    }
    std::FILE* file = OpenForReading(path);
    if (file == nullptr) {
        throw DatabaseError(std::string("the file cannot be read: ") + std::strerror(errno));
    }
    std::uint8_t head[32] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    switch (FileKindOf(head, got)) {
        case FileKind::Jet3:
        case FileKind::Jet4:
        case FileKind::Ace:
            return StoredAs::Access;
        case FileKind::Sqlite:
            return StoredAs::Sqlite;
        default:
            break;
    }
    throw DatabaseError(got == 0 ? "the file is empty"
                                 : "the file is not a settings file: it is neither an Access "
                                   "database nor a work file of an earlier Varnix");
}

bool HasTable(AdoQuery& query, const std::string& table) {
    query.Close();
    query.SetSql(
        "select name from sqlite_master where type in ('table', 'view') and lower(name) = '" +
        table + "'");
    query.Open();
    return query.RecordCount() > 0;
}

void NeedTable(AdoQuery& query, const std::string& table, const char* holding) {
    if (!HasTable(query, table)) {
        throw DatabaseError("the file has no table " + table + ", which holds " + holding);
    }
}

// Closes the query's connection however the scope is left.
struct Disconnecting {
    AdoQuery& query;
    ~Disconnecting() { query.Disconnect(); }
};

// A Varnix work file, in one transaction.
void SaveSqliteSettings(AdoQuery& query, const std::string& path, const ConfigValues& values,
                        std::int32_t timeout) {
    query.SetReadOnly(false);
    query.SetConnectionString(ConnectionStringFor(path));
    const Disconnecting closing{query};
    try {
        query.BeginTransaction();
        NeedTable(query, "phone", "the phone numbers");
        NeedTable(query, "pcong", "the relay settings");
        // Only the rows the load shows are replaced: a row whose id lies outside 1 to 500,
        // or that has none, stays. The cast reads an id as the load does.
        ExecuteStatement(query, "delete from phone where cast(id as integer) between 1 and 500");
        RunQuery(query, "select * from phone");
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            const std::string text = values.PhoneText(slot);
            if (text.empty()) {
                continue;
            }
            query.Append();
            query.SetField("id", std::int64_t{slot});
            query.SetField("phone", text);
            query.Post();
        }
        RunQuery(query, "select * from pcong");
        query.Edit();
        query.SetField("rec", std::int64_t{values.ExternalDisconnect() ? 1 : 0});
        query.SetField("time", std::int64_t{timeout});
        query.Post();
        query.Commit();
    } catch (...) {
        query.Rollback();
        throw;
    }
}

void LoadSqliteSettings(AdoQuery& query, const std::string& path, ConfigValues& values,
                        LoadNotes& notes) {
    query.SetReadOnly(true);  // a load never changes the file
    query.SetConnectionString(ConnectionStringFor(path));
    const Disconnecting closing{query};
    NeedTable(query, "phone", "the phone numbers");
    const bool hasRelaySettings = HasTable(query, "pcong");
    RunQuery(query, "select * from phone");
    std::set<int> shown;
    std::set<int> repeated;
    if (query.RecordCount() > 0) {
        for (query.First(); !query.Eof(); query.Next()) {
            if (query.FieldIsNull("id")) {
                ++notes.nullIds;
                continue;
            }
            const std::int64_t id = query.FieldAsInteger("id");
            if (id < 1 || id > kSlotCount) {
                notes.idsOutside.push_back(id);
                continue;
            }
            if (!shown.insert(static_cast<int>(id)).second) {
                repeated.insert(static_cast<int>(id));
            }
            values.SetPhoneText(static_cast<int>(id), StoredText(query.FieldAsString("phone")));
        }
    }
    notes.repeatedSlots.assign(repeated.begin(), repeated.end());
    if (!hasRelaySettings) {
        notes.noRelaySettings = true;
        return;
    }
    RunQuery(query, "select * from pcong");
    if (query.RecordCount() > 0) {
        query.First();
        values.SetTimeoutText(StoredText(query.FieldAsString("time")));
        if (query.FieldAsInteger("rec") > 0) {
            values.SetExternalDisconnect(true);
        }
    }
}

}  // namespace

std::int32_t SavedTimeout(const std::string& text) {
    std::int32_t value = 0;
    if (!ParseDecimalInt32(text, value)) {
        throw DatabaseError("'" + text + "' is not a valid integer value");
    }
    return value;
}

FileDigest DigestOf(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;  // 64-bit FNV-1a
    for (const std::uint8_t byte : bytes) {
        hash = (hash ^ byte) * 0x100000001b3ull;
    }
    return {bytes.size(), hash};
}

void LoadSettings(AdoQuery& query, const std::string& path, ConfigValues& values,
                  std::optional<FileDigest>* digest, LoadNotes* notes) {
    if (digest != nullptr) {
        digest->reset();
    }
    LoadNotes found;
    try {
        if (StoredAsOf(path) == StoredAs::Access) {
            FileDigest read;
            try {
                LoadJetSettings(path, values, &read, &found);
            } catch (...) {
                if (digest != nullptr && read.size != 0) {
                    *digest = read;
                }
                throw;
            }
            if (digest != nullptr) {
                *digest = read;
            }
        } else {
            LoadSqliteSettings(query, path, values, found);
        }
    } catch (const DatabaseError& error) {
        throw DatabaseError(Named(path, error.what()));
    }
    if (notes != nullptr) {
        *notes = std::move(found);
    }
}

void SaveSettings(AdoQuery& query, const std::string& path, const ConfigValues& values,
                  std::optional<FileDigest>* loaded) {
    const std::int32_t timeout = SavedTimeout(values.TimeoutText());
    if (const std::string fault = SaveTargetFault(path); !fault.empty()) {
        throw FileRefused(path, fault);
    }
    StoredAs kind = StoredAs::Sqlite;
    try {
        kind = StoredAsOf(path);
    } catch (const DatabaseError& error) {
        throw FileRefused(path, error.what());
    }
    if (kind == StoredAs::Access) {
        const FileDigest* expected = loaded != nullptr && *loaded ? &**loaded : nullptr;
        const FileDigest saved = SaveJetSettings(path, values, timeout, expected);
        if (loaded != nullptr) {
            *loaded = saved;
        }
        return;
    }
    try {
        SaveSqliteSettings(query, path, values, timeout);
    } catch (const DatabaseError& error) {
        throw FileRefused(path, error.what());
    }
}

}  // namespace varnix
