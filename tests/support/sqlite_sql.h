// Runs SQL on an SQLite file for a test, creating the file; the rows of the last statement
// come back as text, "a|b", with NULL for a null.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

namespace varnix::testing {

inline std::vector<std::string> Sql(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    std::vector<std::string> rows;
    char* error = nullptr;
    sqlite3_exec(
        db, sql.c_str(),
        [](void* out, int count, char** values, char**) {
            std::string row;
            for (int i = 0; i < count; ++i) {
                row += (i ? "|" : "") + std::string(values[i] ? values[i] : "NULL");
            }
            static_cast<std::vector<std::string>*>(out)->push_back(row);
            return 0;
        },
        &rows, &error);
    EXPECT_EQ(error, nullptr) << error;
    sqlite3_free(error);
    sqlite3_close(db);
    return rows;
}

}  // namespace varnix::testing
