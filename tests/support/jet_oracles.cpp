#include "jet_oracles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <optional>

namespace varnix::testing {
namespace {

namespace fs = std::filesystem;

// libmdb reads a table in milliseconds, and Node a file; Node starts in a fraction of a
// second. The limits leave room for a busy machine.
constexpr int kLibmdbTimeLimitMs = 2000;
constexpr int kMdbReaderTimeLimitMs = 8000;

const QString kDumpScript = VARNIX_ORACLE_DIR "/mdb_reader_dump.mjs";
const QString kMdbReaderPackage = VARNIX_ORACLE_DIR "/node_modules/mdb-reader/package.json";

struct ChildRun {
    bool ok = false;
    bool timedOut = false;
    QByteArray out;
};

// The programs run side by side, within one time limit. Their output goes to files, so
// none waits on a full pipe while another is awaited.
std::vector<ChildRun> RunLibmdb(const std::vector<std::pair<QString, QStringList>>& commands) {
    QTemporaryDir folder;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const auto& [program, arguments] : commands) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->setStandardErrorFile(QProcess::nullDevice());
        processes.back()->setStandardOutputFile(folder.filePath(QString::number(processes.size())));
        processes.back()->start(program, arguments);
    }
    QElapsedTimer clock;
    clock.start();
    std::vector<ChildRun> runs(commands.size());
    for (std::size_t i = 0; i < processes.size(); ++i) {
        QProcess& process = *processes[i];
        const int left =
            static_cast<int>(std::max<qint64>(0, kLibmdbTimeLimitMs - clock.elapsed()));
        if (!process.waitForFinished(left) && process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(kLibmdbTimeLimitMs);
            runs[i].timedOut = true;
            continue;
        }
        runs[i].ok = process.error() == QProcess::UnknownError &&
                     process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        QFile out(folder.filePath(QString::number(i + 1)));
        if (out.open(QIODevice::ReadOnly)) {
            runs[i].out = out.readAll();
        }
    }
    return runs;
}

QStringList Arguments(const fs::path& file, const std::string& table) {
    return {QString::fromStdString(file.string()), QString::fromStdString(table)};
}

// One line of the dump script's output.
MdbReaderFile ParseDump(const QByteArray& line) {
    MdbReaderFile file;
    QJsonParseError error;
    const QJsonObject dump = QJsonDocument::fromJson(line, &error).object();
    if (error.error != QJsonParseError::NoError) {
        file.error = "unreadable output of mdb-reader: " + error.errorString().toStdString();
        return file;
    }
    if (dump.contains("error")) {
        file.error = dump.value("error").toString().toStdString();
        return file;
    }
    file.outcome = OracleTable::Outcome::Read;
    for (const QJsonValue& entry : dump.value("tables").toArray()) {
        const QJsonObject object = entry.toObject();
        const std::string name = object.value("name").toString().toStdString();
        file.tableNames.push_back(name);
        OracleTable& table = file.tables[name];
        if (object.contains("error")) {
            table.error = object.value("error").toString().toStdString();
            continue;
        }
        QStringList columns;
        for (const QJsonValue& column : object.value("columns").toArray()) {
            columns.push_back(column.toObject().value("name").toString());
            table.columns.push_back(columns.back().toStdString());
        }
        for (const QJsonValue& row : object.value("rows").toArray()) {
            const QJsonArray values = row.toArray();
            QJsonObject byName;
            for (qsizetype c = 0; c < columns.size() && c < values.size(); ++c) {
                byName.insert(columns[c], values[c]);
            }
            table.rows.push_back(byName);
        }
        const auto count = object.value("rowCount").toInteger(-1);
        if (count != static_cast<qint64>(table.rows.size())) {
            table.error = std::to_string(table.rows.size()) +
                          " rows read where the definition says " + std::to_string(count);
            continue;
        }
        table.outcome = OracleTable::Outcome::Read;
    }
    return file;
}

std::string Listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return "(" + text + ")";
}

// Table names in any order.
std::string Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return Listed(names);
}

}  // namespace

std::string ValueText(const JetValue& value) {
    switch (value.kind) {
        case JetValue::Kind::Null:
            return "null";
        case JetValue::Kind::Integer:
            return std::to_string(value.integer);
        case JetValue::Kind::Text:
            return "\"" + value.text + "\"";
        case JetValue::Kind::Other:
            break;
    }
    return "(other)";
}

std::string OraclesMissing() {
    for (const char* program : {"mdb-tables", "mdb-json", "mdb-count"}) {
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            return std::string(program) +
                   " is not on the path: install Debian's mdbtools (scripts/install-deps, as root)";
        }
    }
    if (QStandardPaths::findExecutable("node").isEmpty()) {
        return "node is not on the path: install Debian's nodejs and npm (scripts/install-deps, as "
               "root)";
    }
    if (!QFile::exists(kMdbReaderPackage)) {
        return "npm's mdb-reader is not installed in " VARNIX_ORACLE_DIR
               "/node_modules: run scripts/install-deps (npm ci there)";
    }
    return {};
}

OracleTable::Outcome LibmdbTableNames(const fs::path& file, std::vector<std::string>& names) {
    names.clear();
    const ChildRun list =
        RunLibmdb({{"mdb-tables", {"-1", QString::fromStdString(file.string())}}}).front();
    if (!list.ok) {
        return list.timedOut ? OracleTable::Outcome::TimedOut : OracleTable::Outcome::Failed;
    }
    for (const QByteArray& line : list.out.split('\n')) {
        if (!line.trimmed().isEmpty()) {
            names.push_back(line.trimmed().toStdString());
        }
    }
    return OracleTable::Outcome::Read;
}

std::vector<OracleTable> LibmdbTables(const fs::path& file, const std::vector<std::string>& names) {
    std::vector<std::pair<QString, QStringList>> commands;
    for (const std::string& name : names) {
        commands.push_back({"mdb-json", Arguments(file, name)});
        commands.push_back({"mdb-count", Arguments(file, name)});
    }
    const std::vector<ChildRun> runs = RunLibmdb(commands);
    std::vector<OracleTable> tables(names.size());
    for (std::size_t t = 0; t < names.size(); ++t) {
        OracleTable& table = tables[t];
        table.emptyTextAbsent = true;
        const ChildRun& json = runs[2 * t];
        const ChildRun& count = runs[2 * t + 1];
        if (json.timedOut || count.timedOut) {
            table.outcome = OracleTable::Outcome::TimedOut;
            table.error = "libmdb timed out";
            continue;
        }
        if (!json.ok || !count.ok) {
            table.error = "libmdb failed";
            continue;
        }
        for (const QByteArray& line : json.out.split('\n')) {
            if (line.isEmpty()) {
                continue;
            }
            QJsonParseError error;
            const QJsonDocument row = QJsonDocument::fromJson(line, &error);
            if (error.error != QJsonParseError::NoError || !row.isObject()) {
                table.error = "libmdb printed a row that is not JSON";
                break;
            }
            table.rows.push_back(row.object());
        }
        bool number = false;
        const auto expected = count.out.trimmed().toULongLong(&number);
        if (!table.error.empty()) {
            table.rows.clear();
        } else if (!number || expected != table.rows.size()) {
            table.error = "libmdb read " + std::to_string(table.rows.size()) +
                          " rows where the definition says " + count.out.trimmed().toStdString();
        } else {
            table.outcome = OracleTable::Outcome::Read;
        }
    }
    return tables;
}

MdbReader::MdbReader() = default;

MdbReader::~MdbReader() {
    if (node_) {
        node_->closeWriteChannel();
        if (!node_->waitForFinished(kLibmdbTimeLimitMs)) {
            node_->kill();
            node_->waitForFinished(kLibmdbTimeLimitMs);
        }
    }
}

MdbReaderFile MdbReader::Read(const fs::path& file) {
    MdbReaderFile result;
    if (!node_) {
        node_ = std::make_unique<QProcess>();
        node_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        node_->start("node", {"--max-old-space-size=256", kDumpScript});
    }
    node_->write(QByteArray::fromStdString(file.string()) + '\n');
    QElapsedTimer clock;
    clock.start();
    QByteArray line;
    while (!line.endsWith('\n')) {
        const qint64 left = kMdbReaderTimeLimitMs - clock.elapsed();
        if (left <= 0) {
            result.outcome = OracleTable::Outcome::TimedOut;
            result.error = "mdb-reader timed out";
            break;
        }
        if (!node_->canReadLine() && !node_->waitForReadyRead(static_cast<int>(left)) &&
            node_->state() == QProcess::NotRunning) {
            result.error =
                "mdb-reader's process ended (exit code " + std::to_string(node_->exitCode()) + ")";
            break;
        }
        line += node_->readLine();
    }
    if (!line.endsWith('\n')) {
        node_->kill();
        node_->waitForFinished(kLibmdbTimeLimitMs);
        node_.reset();  // the next file starts a new process
        return result;
    }
    return ParseDump(line);
}

std::string Difference(const JetTable& ours, const OracleTable& theirs) {
    if (theirs.outcome != OracleTable::Outcome::Read) {
        return "not read: " + theirs.error;
    }
    if (!theirs.columns.empty()) {
        std::vector<std::string> names;
        for (const JetColumn& column : ours.columns) {
            names.push_back(column.name);
        }
        if (names != theirs.columns) {
            return "columns " + Listed(names) + " against " + Listed(theirs.columns);
        }
    }
    if (ours.rows.size() != theirs.rows.size()) {
        return std::to_string(ours.rows.size()) + " rows against " +
               std::to_string(theirs.rows.size());
    }
    for (std::size_t r = 0; r < theirs.rows.size(); ++r) {
        for (std::size_t c = 0; c < ours.columns.size(); ++c) {
            const JetValue& value = ours.rows[r][c];
            const QJsonValue their =
                theirs.rows[r].value(QString::fromStdString(ours.columns[c].name));
            bool same = true;
            switch (value.kind) {
                case JetValue::Kind::Null:
                    same = their.isUndefined() || their.isNull();
                    break;
                case JetValue::Kind::Integer:
                    same =
                        their.isDouble() && their.toDouble() == static_cast<double>(value.integer);
                    break;
                case JetValue::Kind::Text:
                    same = their.isString() ? their.toString().toStdString() == value.text
                                            : theirs.emptyTextAbsent && value.text.empty() &&
                                                  their.isUndefined();
                    break;
                case JetValue::Kind::Other:
                    break;  // a type the reader leaves alone
            }
            if (!same) {
                return "row " + std::to_string(r) + " column " + ours.columns[c].name + ": " +
                       ValueText(value) + " against " +
                       QJsonDocument(theirs.rows[r]).toJson(QJsonDocument::Compact).toStdString();
            }
        }
    }
    return {};
}

std::vector<std::string> CompareWithOracles(const std::vector<fs::path>& files) {
    const std::string missing = OraclesMissing();
    if (!missing.empty()) {
        return std::vector<std::string>(files.size(), missing);
    }
    MdbReader mdbReader;
    std::vector<std::string> results;
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string problems;
        const auto note = [&](const std::string& problem) {
            problems += (problems.empty() ? "" : "\n") + problem;
        };
        std::optional<JetFile> ours;
        std::vector<std::string> names;
        try {
            ours.emplace(JetFile::Open(files[i].string()));
            names = ours->TableNames();
        } catch (const JetError& error) {
            note(std::string("our reader: ") + error.what());
            ours.reset();
        }
        const MdbReaderFile reader = mdbReader.Read(files[i]);
        if (reader.outcome != OracleTable::Outcome::Read) {
            note("mdb-reader: " + reader.error);
        } else if (ours && Sorted(reader.tableNames) != Sorted(names)) {
            note("tables " + Sorted(names) + " against mdb-reader's " + Sorted(reader.tableNames));
        }
        std::vector<std::string> libmdbNames;
        if (LibmdbTableNames(files[i], libmdbNames) != OracleTable::Outcome::Read) {
            note("libmdb cannot list the tables");
        } else if (ours && Sorted(libmdbNames) != Sorted(names)) {
            note("tables " + Sorted(names) + " against libmdb's " + Sorted(libmdbNames));
        }
        const std::vector<OracleTable> libmdbTables = LibmdbTables(files[i], names);
        for (std::size_t t = 0; t < names.size(); ++t) {
            const std::string& name = names[t];
            JetTable table;
            try {
                table = ours->ReadTable(name);
            } catch (const JetError& error) {
                note("table " + name + ", our reader: " + error.what());
                continue;
            }
            const std::string withLibmdb = Difference(table, libmdbTables[t]);
            if (!withLibmdb.empty()) {
                note("table " + name + ", libmdb: " + withLibmdb);
            }
            const auto found = reader.tables.find(name);
            const std::string withMdbReader =
                found == reader.tables.end() ? "not listed" : Difference(table, found->second);
            if (reader.outcome == OracleTable::Outcome::Read && !withMdbReader.empty()) {
                note("table " + name + ", mdb-reader: " + withMdbReader);
            }
        }
        results.push_back(problems);
    }
    return results;
}

std::string CompareWithOracles(const fs::path& file) {
    return CompareWithOracles(std::vector<fs::path>{file}).front();
}

}  // namespace varnix::testing
