#include "file.h"

#include <cstdio>
#include <utility>

#include "catalogue.h"
#include "file_open.h"

namespace varnix {

FileKind FileKindOfPath(const std::string& path) {
    std::FILE* file = OpenForReading(path);
    if (file == nullptr) {
        return FileKind::Unknown;
    }
    std::uint8_t head[32] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return FileKindOf(head, got);
}

bool IsAccessFile(const std::string& path) {
    const FileKind kind = FileKindOfPath(path);
    return kind == FileKind::Jet3 || kind == FileKind::Jet4 || kind == FileKind::Ace;
}

namespace {

const JetLayout& LayoutOf(const std::vector<std::uint8_t>& bytes) {
    switch (FileKindOf(bytes.data(), bytes.size())) {
        case FileKind::Jet3:
            return kJet3Layout;
        case FileKind::Jet4:
            return kJet4Layout;
        case FileKind::Ace:
            JetUnsupported(
                "the file is from a newer Microsoft Access (2007 or later), which Varnix "
                "cannot read; save it in Access 2000 format");
        default:
            JetUnsupported("file is not a database");
    }
}

}  // namespace

JetFile::JetFile(std::vector<std::uint8_t> bytes) : pages_({}, LayoutOf(bytes)) {
    const JetLayout& layout = pages_.Layout();
    if (bytes.size() < layout.pageSize * (kJetCatalogueDefinition + 1)) {
        JetDamaged("the file is too short");
    }
    const JetHeader header = ReadJetHeaderPage(bytes.data(), layout);
    if (header.encrypted) {
        JetUnsupported("the Access file is encrypted, which Varnix cannot read");
    }
    codePage_ = header.codePage;
    hasPassword_ = header.hasPassword;
    pages_ = JetPages(std::move(bytes), layout);
}

std::vector<std::uint8_t> ReadJetFileBytes(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    const std::string error = ReadWholeFile(path, bytes);
    if (!error.empty()) {
        JetUnsupported("unable to open database file: " + error);
    }
    return bytes;
}

JetFile JetFile::Open(const std::string& path) {
    return JetFile(ReadJetFileBytes(path));
}

std::vector<std::vector<JetValue>> JetFile::Values(const JetTableDef& def) const {
    return ReadJetTableValues(pages_, TextForm(), def);
}

const std::vector<JetFile::TableEntry>& JetFile::Tables() const {
    if (!tables_) {
        tables_ = ReadJetCatalogue(pages_, TextForm());
    }
    return *tables_;
}

std::vector<std::string> JetFile::TableNames() const {
    std::vector<std::string> names;
    for (const TableEntry& entry : Tables()) {
        if (entry.user) {
            names.push_back(entry.name);
        }
    }
    return names;
}

std::uint32_t JetFile::TableDefinition(const std::string& name) const {
    for (const TableEntry& entry : Tables()) {
        if (entry.user && JetSameName(entry.name, name)) {
            return entry.definition;
        }
    }
    throw JetError(JetError::Kind::NoSuchTable, "no such table: " + name);
}

JetTable JetFile::ReadTable(const std::string& name) const {
    JetTableDef def = ReadJetTableDef(pages_, TableDefinition(name));
    JetTable table;
    table.rows = Values(def);
    table.columns = std::move(def.columns);
    return table;
}

}  // namespace varnix
