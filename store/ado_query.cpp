#include "ado_query.h"

#include <cctype>

namespace varnix {

namespace {

constexpr char kDataSource[] = "Data Source=";
constexpr int kBusyTimeoutMs = 1000;

std::string QuoteIdentifier(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Finalizes the statement however the scope is left.
struct Statement {
    sqlite3_stmt* handle = nullptr;
    ~Statement() { sqlite3_finalize(handle); }
};

}  // namespace

std::string ConnectionStringFor(const std::string& path) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=False";
}

AdoQuery::~AdoQuery() {
    Disconnect();
}

void AdoQuery::SetConnectionString(const std::string& connection) {
    Disconnect();
    const auto start = connection.find(kDataSource);
    if (start == std::string::npos) {
        path_.clear();
        return;
    }
    const auto begin = start + sizeof kDataSource - 1;
    const auto end = connection.find(';', begin);
    path_ = connection.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

void AdoQuery::Disconnect() {
    Close();
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void AdoQuery::Fail() const {
    throw DatabaseError(db_ != nullptr ? sqlite3_errmsg(db_) : "unable to open database file");
}

sqlite3* AdoQuery::Connection() {
    if (db_ == nullptr) {
        // Read and write, never create: a path that names no file is an error.
        const int result = sqlite3_open_v2(path_.c_str(), &db_,
                                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (result != SQLITE_OK) {
            const std::string message =
                db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(result);
            sqlite3_close_v2(db_);
            db_ = nullptr;
            throw DatabaseError(message);
        }
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    }
    return db_;
}

void AdoQuery::Close() {
    columns_.clear();
    rows_.clear();
    current_ = 0;
    editing_ = false;
    editedRowid_.reset();
    pending_.clear();
}

void AdoQuery::ExecSql() {
    Close();
    if (sqlite3_exec(Connection(), sql_.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail();
    }
}

void AdoQuery::BeginTransaction() {
    if (sqlite3_exec(Connection(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail();
    }
}

void AdoQuery::Commit() {
    if (sqlite3_exec(Connection(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail();
    }
}

void AdoQuery::Rollback() {
    if (db_ != nullptr && !sqlite3_get_autocommit(db_)) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

std::string AdoQuery::TableOfQuery() const {
    // "select * from TABLE", in any case, with single blanks.
    const std::string prefix = "select * from ";
    if (sql_.size() <= prefix.size() || !SameText(sql_.substr(0, prefix.size()), prefix)) {
        return {};
    }
    const std::string table = sql_.substr(prefix.size());
    for (char c : table) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
            return {};
        }
    }
    return table;
}

void AdoQuery::Open() {
    Close();
    sqlite3* db = Connection();
    Statement query;
    if (sqlite3_prepare_v2(db, sql_.c_str(), -1, &query.handle, nullptr) != SQLITE_OK) {
        Fail();
    }
    const int count = sqlite3_column_count(query.handle);
    for (int c = 0; c < count; ++c) {
        columns_.push_back(sqlite3_column_name(query.handle, c));
    }
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(query.handle)) == SQLITE_ROW) {
        Row row;
        for (int c = 0; c < count; ++c) {
            Value value;
            value.null = sqlite3_column_type(query.handle, c) == SQLITE_NULL;
            if (!value.null) {
                const auto* text = sqlite3_column_text(query.handle, c);
                value.text.assign(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(sqlite3_column_bytes(query.handle, c)));
                value.integer = sqlite3_column_int64(query.handle, c);
            }
            row.values.push_back(std::move(value));
        }
        rows_.push_back(std::move(row));
    }
    if (step != SQLITE_DONE) {
        Fail();
    }
    // The rowid of each row, for edits: a plain table scans in the same order both times.
    const std::string table = TableOfQuery();
    if (table.empty()) {
        return;
    }
    Statement rowids;
    const std::string sql = "select rowid from " + QuoteIdentifier(table);
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &rowids.handle, nullptr) != SQLITE_OK) {
        return;  // a table without rowids can be read, not edited
    }
    for (Row& row : rows_) {
        if (sqlite3_step(rowids.handle) != SQLITE_ROW) {
            break;
        }
        row.rowid = sqlite3_column_int64(rowids.handle, 0);
    }
}

std::size_t AdoQuery::ColumnIndex(const std::string& name) const {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (SameText(columns_[c], name)) {
            return c;
        }
    }
    throw DatabaseError("no such column: " + name);
}

const AdoQuery::Value& AdoQuery::Field(const std::string& name) const {
    const std::size_t column = ColumnIndex(name);
    if (Eof()) {
        throw DatabaseError("no current row");
    }
    return rows_[current_].values[column];
}

std::int64_t AdoQuery::FieldAsInteger(const std::string& name) const {
    const Value& value = Field(name);
    return value.null ? 0 : value.integer;
}

std::string AdoQuery::FieldAsString(const std::string& name) const {
    const Value& value = Field(name);
    return value.null ? std::string() : value.text;
}

void AdoQuery::Append() {
    if (TableOfQuery().empty()) {
        throw DatabaseError("the query cannot be edited: " + sql_);
    }
    pending_.clear();
    editedRowid_.reset();
    editing_ = true;
}

void AdoQuery::Edit() {
    Append();
    if (!Eof() && rows_[current_].rowid != 0) {
        editedRowid_ = rows_[current_].rowid;
    }
}

void AdoQuery::SetField(const std::string& name, std::int64_t value) {
    if (!editing_) {
        throw DatabaseError("the query is not being edited");
    }
    pending_[columns_[ColumnIndex(name)]] = value;
}

void AdoQuery::SetField(const std::string& name, const std::string& value) {
    if (!editing_) {
        throw DatabaseError("the query is not being edited");
    }
    pending_[columns_[ColumnIndex(name)]] = value;
}

void AdoQuery::Post() {
    if (!editing_) {
        throw DatabaseError("the query is not being edited");
    }
    const std::string table = QuoteIdentifier(TableOfQuery());
    std::string sql;
    if (editedRowid_) {
        sql = "update " + table + " set ";
        bool first = true;
        for (const auto& [column, value] : pending_) {
            sql += (first ? "" : ", ") + QuoteIdentifier(column) + " = ?";
            first = false;
        }
        sql += " where rowid = ?";
    } else {
        std::string names, marks;
        for (const auto& [column, value] : pending_) {
            names += (names.empty() ? "" : ", ") + QuoteIdentifier(column);
            marks += marks.empty() ? "?" : ", ?";
        }
        sql = pending_.empty() ? "insert into " + table + " default values"
                               : "insert into " + table + " (" + names + ") values (" + marks + ")";
    }
    if (editedRowid_ && pending_.empty()) {
        editing_ = false;
        return;
    }
    Statement write;
    if (sqlite3_prepare_v2(Connection(), sql.c_str(), -1, &write.handle, nullptr) != SQLITE_OK) {
        Fail();
    }
    int index = 1;
    for (const auto& [column, value] : pending_) {
        if (const auto* number = std::get_if<std::int64_t>(&value)) {
            sqlite3_bind_int64(write.handle, index++, *number);
        } else {
            const std::string& text = std::get<std::string>(value);
            sqlite3_bind_text(write.handle, index++, text.data(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
        }
    }
    if (editedRowid_) {
        sqlite3_bind_int64(write.handle, index, *editedRowid_);
    }
    if (sqlite3_step(write.handle) != SQLITE_DONE) {
        Fail();
    }
    editing_ = false;
    pending_.clear();
}

}  // namespace varnix
