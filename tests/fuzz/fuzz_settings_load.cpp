// Loads arbitrary files as settings files. The first input byte chooses the form: the
// remaining bytes as the file itself, or as a recipe that fills a real database with
// arbitrary tables, columns and values. A load may fail with a DatabaseError (the error
// report); it must never crash, write outside the phone table, or change the file.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "checked_values.h"
#include "settings_file.h"

namespace {

using namespace varnix;

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

// Builds recipe databases in memory, on one connection kept for the whole run, and hands
// them back as file images: opening, locking and journalling a file for every input took
// most of the fuzzing time. Each build starts from an empty database, so that an input
// always makes the same file.
class RecipeBuilder {
  public:
    RecipeBuilder() { sqlite3_open(":memory:", &db_); }
    ~RecipeBuilder() { sqlite3_close(db_); }
    RecipeBuilder(const RecipeBuilder&) = delete;
    RecipeBuilder& operator=(const RecipeBuilder&) = delete;

    std::string Build(const std::uint8_t* data, std::size_t size);

  private:
    sqlite3* db_ = nullptr;
};

std::string RecipeBuilder::Build(const std::uint8_t* data, std::size_t size) {
    sqlite3_deserialize(db_, "main", nullptr, 0, 0,
                        SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE);
    sqlite3* db = db_;
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
    sqlite3_int64 length = 0;
    unsigned char* image = sqlite3_serialize(db, "main", &length, 0);
    std::string file(reinterpret_cast<const char*>(image), static_cast<std::size_t>(length));
    sqlite3_free(image);
    return file;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::perror(path.c_str());
        std::abort();
    }
    close(fd);
}

std::string ReadFile(const std::string& path) {
    std::string bytes;
    const int fd = open(path.c_str(), O_RDONLY);
    struct stat status {};
    if (fd >= 0 && fstat(fd, &status) == 0) {
        bytes.resize(static_cast<std::size_t>(status.st_size));
        bytes.resize(
            static_cast<std::size_t>(std::max<ssize_t>(0, read(fd, bytes.data(), bytes.size()))));
    }
    if (fd >= 0) {
        close(fd);
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // In memory-backed /dev/shm where there is one.
    static const std::string path =
        std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/varnix-fuzz-" +
        std::to_string(getpid()) + ".mdb";
    static RecipeBuilder builder;
    const std::string before =
        size > 0 && data[0] % 2 == 0
            ? std::string(reinterpret_cast<const char*>(data + 1), size - 1)
            : builder.Build(data + (size > 0 ? 1 : 0), size > 0 ? size - 1 : 0);
    WriteFile(path, before);
    AdoQuery query;
    CheckedValues values;
    try {
        LoadSettings(query, path, values);
    } catch (const DatabaseError&) {
        // Shown by the error report; nothing else happens.
    }
    if (ReadFile(path) != before) {
        std::fprintf(stderr, "the load changed the file\n");
        std::abort();
    }
    return 0;
}
