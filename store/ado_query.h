// The query layer the settings files are read and written through, over SQLite: a
// connection string naming the file, statements run as given, the rows of the last query
// in stored order with a current row, and row edits that are posted back to the table.
// It opens existing files only. A failure of the file itself (locked, read-only, full,
// damaged, no database) throws in our own words; one of a statement with SQLite's message.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace varnix {

class DatabaseError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=False"
std::string ConnectionStringFor(const std::string& path);

class AdoQuery {
  public:
    AdoQuery() = default;
    ~AdoQuery();
    AdoQuery(const AdoQuery&) = delete;
    AdoQuery& operator=(const AdoQuery&) = delete;

    // Takes the file from the "Data Source=" part, up to a trailing ";Persist Security
    // Info=False", so a path may hold ";" itself; the file is opened by the first
    // statement. Closes any earlier connection.
    void SetConnectionString(const std::string& connection);
    void SetSql(const std::string& sql) { sql_ = sql; }
    // Connections opened from now on only read: SQLite opens the file read-only, so
    // nothing done through them can change it.
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

    // Runs the statement and places the query on its first row.
    void Open();
    // Runs a statement that yields no rows.
    void ExecSql();
    // Drops the rows; the connection stays until Disconnect or a new connection string.
    void Close();
    void Disconnect();

    void BeginTransaction();
    void Commit();
    void Rollback();  // never throws

    int RecordCount() const { return static_cast<int>(rows_.size()); }
    void First() { current_ = 0; }
    void Next() { ++current_; }
    bool Eof() const { return current_ >= rows_.size(); }

    // A column of the current row: null reads as 0 or as empty text.
    std::int64_t FieldAsInteger(const std::string& name) const;
    std::string FieldAsString(const std::string& name) const;
    bool FieldIsNull(const std::string& name) const;

    // Row edits of a "select * from TABLE" query: Append starts a new row, Edit the
    // current one (a new one when there is none); Post writes it to the table. The edited
    // row is found again by the rowid read with it, or, in a table without rowids, by
    // all its values (the primary key among them).
    void Append();
    void Edit();
    void SetField(const std::string& name, std::int64_t value);
    void SetField(const std::string& name, const std::string& value);
    void SetField(const std::string& name, const char* value) {
        SetField(name, std::string(value));
    }
    void Post();

  private:
    // A stored value in every form it can be read in, as SQLite converts them, and its
    // storage class (SQLite's type code), so the row can be matched exactly.
    struct Value {
        int type = 0;
        std::int64_t integer = 0;
        double real = 0;
        std::string text;
    };
    struct Row {
        std::optional<std::int64_t> rowid;
        std::vector<Value> values;
    };

    sqlite3* Connection();
    [[noreturn]] void Fail() const;
    void ReadRows(sqlite3_stmt* query, bool withRowid);
    std::string UpdateSql(const std::string& table) const;
    std::size_t ColumnIndex(const std::string& name) const;
    const Value& Field(const std::string& name) const;
    std::string TableOfQuery() const;

    std::string path_;
    bool readOnly_ = false;
    sqlite3* db_ = nullptr;
    std::string sql_;
    std::vector<std::string> columns_;
    std::vector<Row> rows_;
    std::size_t current_ = 0;
    // The row being edited: the columns set so far, and the row it replaces, if any.
    bool editing_ = false;
    std::optional<std::size_t> editedRow_;
    std::map<std::string, std::variant<std::int64_t, std::string>> pending_;
};

}  // namespace varnix
