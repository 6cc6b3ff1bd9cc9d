// Two independent readers of Access files that the tests check our Jet reader against:
// Debian's libmdb (the mdbtools programs) and npm's mdb-reader (run by Node, from
// tests/oracle). Each runs in a child process with a time limit, since either may hang or
// crash on a damaged file.
#pragma once

#include <QJsonObject>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "jet/file.h"

class QProcess;

namespace varnix::testing {

// What an oracle read of one table.
struct OracleTable {
    enum class Outcome { Read, Failed, TimedOut };
    Outcome outcome = Outcome::Failed;
    std::string error;                 // when Failed or TimedOut
    std::vector<std::string> columns;  // mdb-reader's column names, in its order; libmdb names none
    std::vector<QJsonObject> rows;     // one object a row, by column name (a null may be absent)
    // libmdb's JSON leaves out an empty text as it leaves out a null.
    bool emptyTextAbsent = false;
};

// What mdb-reader read of one file: the tables it lists, in its order, each read. A file it
// cannot open is Failed (or TimedOut) with no tables.
struct MdbReaderFile {
    OracleTable::Outcome outcome = OracleTable::Outcome::Failed;
    std::string error;
    std::vector<std::string> tableNames;
    std::map<std::string, OracleTable> tables;
};

// Empty when both oracles can run; otherwise what is missing and how to install it.
std::string OraclesMissing();

// The user tables libmdb lists (mdb-tables); Failed when it cannot list them.
OracleTable::Outcome LibmdbTableNames(const std::filesystem::path& file,
                                      std::vector<std::string>& names);
// The tables as libmdb reads them (mdb-json), all at once, each counted as read only when it
// has as many rows as the table's definition says (mdb-count).
std::vector<OracleTable> LibmdbTables(const std::filesystem::path& file,
                                      const std::vector<std::string>& names);

// mdb-reader in one Node process that reads file after file. A file on which it hangs or
// crashes is marked, and the next one starts a new process. A table is counted as read only
// when it has as many rows as its definition says.
class MdbReader {
  public:
    MdbReader();
    ~MdbReader();
    MdbReader(const MdbReader&) = delete;
    MdbReader& operator=(const MdbReader&) = delete;

    MdbReaderFile Read(const std::filesystem::path& file);

  private:
    std::unique_ptr<QProcess> node_;
};

// A value as the comparisons print it: null, the number, or the text in quotes.
std::string ValueText(const JetValue& value);

// Where our table differs from an oracle's read of it, in words; empty when they agree. Values
// of types our reader leaves alone (JetValue::Kind::Other) are not compared.
std::string Difference(const JetTable& ours, const OracleTable& theirs);

// Empty when libmdb, mdb-reader and our reader list the same user tables and read every one
// of them alike, row for row and value for value; otherwise every difference, one a line.
// Also not empty when an oracle is missing or any reader fails on the file.
std::string CompareWithOracles(const std::filesystem::path& file);
// The same for many files at once (one Node process for all), a text for each.
std::vector<std::string> CompareWithOracles(const std::vector<std::filesystem::path>& files);

}  // namespace varnix::testing
