// Writes the template settings file: the tables phone and pcong, both empty.
#include <sqlite3.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kUsage[] =
    "usage: make_template FILE\n"
    "Writes the settings file template, its tables empty, to FILE.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // It takes no options: anything that looks like one is refused, never taken as a name.
    if (argc != 2 || argv[1][0] == '-' || argv[1][0] == '\0') {
        std::fputs(kUsage, stderr);
        return 2;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", argv[1], sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }
    const char* schema =
        "create table phone (id INTEGER, phone TEXT);"
        "create table pcong (time INTEGER, rec INTEGER);";
    char* error = nullptr;
    const int result = sqlite3_exec(db, schema, nullptr, nullptr, &error);
    if (result != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error);
        sqlite3_free(error);
    }
    sqlite3_close(db);
    return result == SQLITE_OK ? 0 : 1;
}
