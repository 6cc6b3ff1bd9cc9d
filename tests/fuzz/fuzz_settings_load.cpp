// Loads arbitrary files as settings files. The first input byte chooses the form: the
// remaining bytes as the file itself, or as a recipe that fills a real database with
// arbitrary tables, columns and values. A load may fail with a DatabaseError (the error
// report); it must never crash, write outside the phone table, or change the file.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "settings_file.h"

namespace {

using namespace varnix;

struct Values : SettingsValues {
    std::string PhoneText(int) const override { return {}; }
    void SetPhoneText(int slot, const std::string&) override {
        if (slot < 1 || slot > 500) {
            std::fprintf(stderr, "phone written outside the table: %d\n", slot);
            std::abort();
        }
    }
    std::string TimeoutText() const override { return {}; }
    void SetTimeoutText(const std::string&) override {}
    bool ExternalDisconnect() const override { return false; }
    void SetExternalDisconnect(bool) override {}
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A value of the kind the recipe byte asks for.
void Bind(sqlite3_stmt* statement, int index, std::uint8_t kind, const std::uint8_t*& data,
          const std::uint8_t* end) {
    const std::size_t left = static_cast<std::size_t>(end - data);
    const std::size_t take = std::min<std::size_t>(left, kind >> 3);
    switch (kind % 5) {
        case 0:
            sqlite3_bind_null(statement, index);
            break;
        case 1: {
            std::int64_t number = 0;
            for (std::size_t i = 0; i < take && i < 8; ++i) {
                number = (number << 8) | data[i];
            }
            sqlite3_bind_int64(statement, index, (kind & 0x80) ? -number : number);
            break;
        }
        case 2:
            sqlite3_bind_text(statement, index, reinterpret_cast<const char*>(data),
                              static_cast<int>(take), SQLITE_TRANSIENT);
            break;
        case 3:
            sqlite3_bind_blob(statement, index, data, static_cast<int>(take), SQLITE_TRANSIENT);
            break;
        default:
            sqlite3_bind_double(statement, index, static_cast<double>(kind) / 7.0 - 10.0);
            break;
    }
    data += take;
}

void BuildDatabase(const std::string& path, const std::uint8_t* data, std::size_t size) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "pragma synchronous = off; pragma journal_mode = memory", nullptr, nullptr,
                 nullptr);
    const std::uint8_t* end = data + size;
    const std::uint8_t shape = size > 0 ? *data++ : 0;
    // The schema: each table present or not, with its columns, possibly more or fewer.
    const char* phone[] = {"create table phone (id INTEGER, phone TEXT)",
                           "create table phone (id, phone, extra)",
                           "create table phone (phone TEXT)", "create table phone (id TEXT)"};
    const char* pcong[] = {"create table pcong (time INTEGER, rec INTEGER)",
                           "create table pcong (rec INTEGER, time TEXT, more)",
                           "create table pcong (time INTEGER)", "create view pcong as select 1"};
    if (shape & 0x10) {
        sqlite3_exec(db, phone[shape % 4], nullptr, nullptr, nullptr);
    }
    if (shape & 0x20) {
        sqlite3_exec(db, pcong[(shape >> 2) % 4], nullptr, nullptr, nullptr);
    }
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* insertPhone = nullptr;
    sqlite3_stmt* insertPcong = nullptr;
    sqlite3_prepare_v2(db, "insert into phone values (?, ?)", -1, &insertPhone, nullptr);
    sqlite3_prepare_v2(db, "insert into pcong values (?, ?)", -1, &insertPcong, nullptr);
    while (data + 2 < end) {
        const std::uint8_t table = *data++;
        sqlite3_stmt* insert = (table & 1) ? insertPcong : insertPhone;
        if (insert == nullptr) {
            continue;
        }
        sqlite3_reset(insert);
        const std::uint8_t first = *data++;
        Bind(insert, 1, first, data, end);
        const std::uint8_t second = data < end ? *data++ : 0;
        Bind(insert, 2, second, data, end);
        sqlite3_step(insert);
    }
    sqlite3_finalize(insertPhone);
    sqlite3_finalize(insertPcong);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // In memory-backed /dev/shm where there is one: thousands of files a minute.
    static const std::string path =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/varnix-fuzz-" +
        std::to_string(getpid()) + ".mdb";
    std::remove(path.c_str());
    if (size > 0 && data[0] % 2 == 0) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    } else {
        BuildDatabase(path, data + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);
    }
    const std::string before = ReadAll(path);
    AdoQuery query;
    Values values;
    try {
        LoadSettings(query, path, values);
    } catch (const DatabaseError&) {
        // Shown by the error report; nothing else happens.
    }
    if (ReadAll(path) != before) {
        std::fprintf(stderr, "the load changed the file\n");
        std::abort();
    }
    return 0;
}
