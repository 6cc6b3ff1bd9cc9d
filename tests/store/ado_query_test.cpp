// The query layer over SQLite on its own: a read-only connection changes nothing, a name
// that leads to no file is never created, and fields are found in any case.
#include "ado_query.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "config_sandbox.h"
#include "sqlite_sql.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

using testing::Sql;

TEST(AdoQueryTest, LoadConnectionCannotWrite) {
    testing::ConfigSandbox sandbox;
    const std::string file = (sandbox.Root() / "read.mdb").string();
    Sql(file, "create table phone (id INTEGER, phone TEXT); insert into phone values (1, '5550');");
    AdoQuery query;
    query.SetReadOnly(true);
    query.SetConnectionString(ConnectionStringFor(file));
    query.SetSql("delete from phone");
    EXPECT_THROW(query.ExecSql(), DatabaseError);
    query.Disconnect();
    EXPECT_EQ(Sql(file, "select phone from phone"), std::vector<std::string>{"5550"});

    const fs::path missing = sandbox.Root() / "missing.mdb";
    query.SetReadOnly(false);
    query.SetConnectionString(ConnectionStringFor(missing.string()));
    query.SetSql("create table phone (id INTEGER)");
    EXPECT_THROW(query.ExecSql(), DatabaseError);
    EXPECT_FALSE(fs::exists(missing));
}

TEST(AdoQueryTest, FieldsAreFoundInAnyCaseAndNullReadsAsZeroOrEmpty) {
    testing::ConfigSandbox sandbox;
    const std::string file = (sandbox.Root() / "rows.mdb").string();
    Sql(file,
        "create table phone (ID INTEGER, Phone TEXT); insert into phone values (NULL, NULL);");
    AdoQuery query;
    query.SetConnectionString(ConnectionStringFor(file));
    query.SetSql("SELECT * FROM phone");
    query.Open();
    ASSERT_EQ(query.RecordCount(), 1);
    EXPECT_TRUE(query.FieldIsNull("id"));
    EXPECT_EQ(query.FieldAsInteger("id"), 0);
    EXPECT_EQ(query.FieldAsString("phone"), "");
    EXPECT_THROW(query.FieldAsString("slot"), DatabaseError);
}

}  // namespace
}  // namespace varnix
