#include "settings_file.h"

#include "decimal_number.h"
#include "device_values.h"

#include "jet_settings.h"
#include "jet_text.h"
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
        ExecuteStatement(query, "delete from phone");
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
                  std::optional<FileDigest>* digest) {
    if (digest != nullptr) {
        digest->reset();
    }
    if (IsAccessFile(path)) {
        FileDigest read;
        try {
            LoadJetSettings(path, values, &read);
        } catch (...) {
            if (digest != nullptr && read.size != 0) {
                *digest = read;
            }
            throw;
        }
        if (digest != nullptr) {
            *digest = read;
        }
        return;
    }
    query.SetReadOnly(true);  // a load never changes the file
    query.SetConnectionString(ConnectionStringFor(path));
    const Disconnecting closing{query};
    RunQuery(query, "select * from phone");
    if (query.RecordCount() > 0) {
        for (query.First(); !query.Eof(); query.Next()) {
            const std::int64_t id = query.FieldAsInteger("id");
            if (id >= 1 && id <= kSlotCount) {
                values.SetPhoneText(static_cast<int>(id), StoredText(query.FieldAsString("phone")));
            }
        }
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

void SaveSettings(AdoQuery& query, const std::string& path, const ConfigValues& values,
                  std::optional<FileDigest>* loaded) {
    const std::int32_t timeout = SavedTimeout(values.TimeoutText());
    if (IsAccessFile(path)) {
        const FileDigest* expected = loaded != nullptr && *loaded ? &**loaded : nullptr;
        const FileDigest saved = SaveJetSettings(path, values, expected);
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
