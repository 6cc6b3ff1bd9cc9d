#include "ado_query.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

namespace varnix {

namespace {

constexpr char kDataSource[] = "Data Source=";
constexpr char kTrailer[] = ";Persist Security Info=False";
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

// Binds a value read earlier in its own storage class, so "is ?" matches it exactly.
void BindStored(sqlite3_stmt* statement, int index, int type, std::int64_t integer, double real,
                const std::string& bytes) {
    const int size = static_cast<int>(bytes.size());
    switch (type) {
        case SQLITE_INTEGER:
            sqlite3_bind_int64(statement, index, integer);
            break;
        case SQLITE_FLOAT:
            sqlite3_bind_double(statement, index, real);
            break;
        case SQLITE_TEXT:
            sqlite3_bind_text(statement, index, bytes.data(), size, SQLITE_TRANSIENT);
            break;
        case SQLITE_BLOB:
            sqlite3_bind_blob(statement, index, bytes.data(), size, SQLITE_TRANSIENT);
            break;
        default:
            sqlite3_bind_null(statement, index);
            break;
    }
}

// What went wrong, in our words where the file itself is the cause.
std::string FailureText(int code, const char* message) {
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "another program is using the file (it is locked)";
        case SQLITE_READONLY:
            return "the file cannot be written: it is read-only for this user, or on a "
                   "read-only disk";
        case SQLITE_FULL:
            return "the disk is full";
        case SQLITE_IOERR:
            return "the file could not be read or written (disk I/O error)";
        case SQLITE_CORRUPT:
            return "the file is damaged";
        case SQLITE_NOTADB:
            return "the file is not a database";
        case SQLITE_CANTOPEN:
            return "the file cannot be opened";
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return "access to the file is denied";
        default:
            return message;
    }
}

}  // namespace

std::string ConnectionStringFor(const std::string& path) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;" + std::string(kDataSource) + path + kTrailer;
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
    // The path is inserted unquoted and may itself hold ";": only the trailer ends it.
    const auto begin = start + sizeof kDataSource - 1;
    std::string_view rest = std::string_view(connection).substr(begin);
    if (rest.ends_with(kTrailer)) {
        rest.remove_suffix(sizeof kTrailer - 1);
    }
    path_ = rest;
}

void AdoQuery::Disconnect() {
    Close();
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void AdoQuery::Fail() const {
    if (db_ == nullptr) {
        throw DatabaseError(FailureText(SQLITE_CANTOPEN, ""));
    }
    throw DatabaseError(FailureText(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_)));
}

sqlite3* AdoQuery::Connection() {
    if (db_ == nullptr) {
        // Never create: a path that names no file is an error.
        const int mode = readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
        const int result =
            sqlite3_open_v2(path_.c_str(), &db_, mode | SQLITE_OPEN_NOMUTEX, nullptr);
        if (result != SQLITE_OK) {
            const std::string message =
                FailureText(result, db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(result));
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
    editedRow_.reset();
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
    // A table's rows are read with their rowids, which row edits need; a table without
    // rowids (or a statement of another form) is read as given.
    const std::string table = TableOfQuery();
    const std::string withRowid = "select rowid, * from " + QuoteIdentifier(table);
    const bool hasRowid = !table.empty() && sqlite3_prepare_v2(db, withRowid.c_str(), -1,
                                                               &query.handle, nullptr) == SQLITE_OK;
    if (!hasRowid &&
        sqlite3_prepare_v2(db, sql_.c_str(), -1, &query.handle, nullptr) != SQLITE_OK) {
        Fail();
    }
    ReadRows(query.handle, hasRowid);
}

void AdoQuery::ReadRows(sqlite3_stmt* query, bool withRowid) {
    const int first = withRowid ? 1 : 0;
    const int count = sqlite3_column_count(query);
    for (int c = first; c < count; ++c) {
        columns_.push_back(sqlite3_column_name(query, c));
    }
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(query)) == SQLITE_ROW) {
        Row row;
        if (withRowid && sqlite3_column_type(query, 0) != SQLITE_NULL) {
            row.rowid = sqlite3_column_int64(query, 0);
        }
        for (int c = first; c < count; ++c) {
            Value value;
            value.type = sqlite3_column_type(query, c);
            if (value.type != SQLITE_NULL) {
                value.integer = sqlite3_column_int64(query, c);
                value.real = sqlite3_column_double(query, c);
                const auto* text = sqlite3_column_text(query, c);
                value.text.assign(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(sqlite3_column_bytes(query, c)));
            }
            row.values.push_back(std::move(value));
        }
        rows_.push_back(std::move(row));
    }
    if (step != SQLITE_DONE) {
        Fail();
    }
}

std::size_t AdoQuery::ColumnIndex(const std::string& name) const {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (SameText(columns_[c], name)) {
            return c;
        }
    }
    const std::string table = TableOfQuery();
    throw DatabaseError(table.empty() ? "no such column: " + name
                                      : "the table " + table + " has no column " + name);
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
    return value.type == SQLITE_NULL ? 0 : value.integer;
}

std::string AdoQuery::FieldAsString(const std::string& name) const {
    const Value& value = Field(name);
    return value.type == SQLITE_NULL ? std::string() : value.text;
}

bool AdoQuery::FieldIsNull(const std::string& name) const {
    return Field(name).type == SQLITE_NULL;
}

void AdoQuery::Append() {
    if (TableOfQuery().empty()) {
        throw DatabaseError("the query cannot be edited: " + sql_);
    }
    pending_.clear();
    editedRow_.reset();
    editing_ = true;
}

void AdoQuery::Edit() {
    Append();
    if (!Eof()) {
        editedRow_ = current_;
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

std::string AdoQuery::UpdateSql(const std::string& table) const {
    std::string sql = "update " + table + " set ";
    bool first = true;
    for (const auto& [column, value] : pending_) {
        sql += (first ? "" : ", ") + QuoteIdentifier(column) + " = ?";
        first = false;
    }
    if (rows_[*editedRow_].rowid) {
        return sql + " where rowid = ?";
    }
    // No rowid: the row is the one holding all the values read, its primary key included.
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        sql += (c == 0 ? " where " : " and ") + QuoteIdentifier(columns_[c]) + " is ?";
    }
    return sql;
}

void AdoQuery::Post() {
    if (!editing_) {
        throw DatabaseError("the query is not being edited");
    }
    if (editedRow_ && pending_.empty()) {
        editing_ = false;
        return;
    }
    const std::string table = QuoteIdentifier(TableOfQuery());
    std::string sql;
    if (editedRow_) {
        sql = UpdateSql(table);
    } else {
        std::string names, marks;
        for (const auto& [column, value] : pending_) {
            names += (names.empty() ? "" : ", ") + QuoteIdentifier(column);
            marks += marks.empty() ? "?" : ", ?";
        }
        sql = pending_.empty() ? "insert into " + table + " default values"
                               : "insert into " + table + " (" + names + ") values (" + marks + ")";
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
    if (editedRow_) {
        const Row& row = rows_[*editedRow_];
        if (row.rowid) {
            sqlite3_bind_int64(write.handle, index, *row.rowid);
        } else {
            for (const Value& read : row.values) {
                BindStored(write.handle, index++, read.type, read.integer, read.real, read.text);
            }
        }
    }
    if (sqlite3_step(write.handle) != SQLITE_DONE) {
        Fail();
    }
    editing_ = false;
    pending_.clear();
}

}  // namespace varnix
