#include "file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "file_open.h"
#include "header_page.h"
#include "table_rows.h"

namespace varnix {

namespace {

constexpr char kSqliteMagic[] = "SQLite format 3";  // followed by a zero byte
constexpr char kJetMagic[] = "Standard Jet DB";
constexpr char kAceMagic[] = "Standard ACE DB";
constexpr std::size_t kMagicOffset = 4;
constexpr std::size_t kVersionOffset = 0x14;

constexpr std::size_t kMaskedStart = kJetMaskedHeaderStart;
constexpr std::size_t kCodePageOffset = 0x3c;
constexpr std::size_t kDatabaseKeyOffset = 0x3e;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kCreationDateOffset = 0x72;  // Jet 4: masks the password further

constexpr std::uint32_t kCatalogueDefinition = 2;
constexpr std::uint32_t kCatalogueTable = 1;
constexpr std::uint32_t kSystemFlags = 0x80000002;

}  // namespace

FileKind FileKindOf(const std::uint8_t* bytes, std::size_t size) {
    if (size >= sizeof kSqliteMagic && std::memcmp(bytes, kSqliteMagic, sizeof kSqliteMagic) == 0) {
        return FileKind::Sqlite;
    }
    const std::size_t magic = sizeof kJetMagic - 1;
    if (size >= kMagicOffset + magic) {
        if (std::memcmp(bytes + kMagicOffset, kAceMagic, magic) == 0) {
            return FileKind::Ace;
        }
        if (std::memcmp(bytes + kMagicOffset, kJetMagic, magic) == 0) {
            if (size > kVersionOffset && bytes[kVersionOffset] == 0) {
                return FileKind::Jet3;
            }
            if (size > kVersionOffset && bytes[kVersionOffset] == 1) {
                return FileKind::Jet4;
            }
            return FileKind::Ace;  // a later engine under the old name
        }
    }
    return FileKind::Unknown;
}

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
    if (bytes.size() < layout.pageSize * (kCatalogueDefinition + 1)) {
        JetDamaged("the file is too short");
    }
    // Unmask the header area to check that the pages are stored in the clear.
    std::vector<std::uint8_t> first(bytes.begin(), bytes.begin() + layout.pageSize);
    ToggleJetHeaderMask(first.data(), layout);
    const std::vector<std::uint8_t> header(
        first.begin() + kMaskedStart, first.begin() + kMaskedStart + JetMaskedHeaderSize(layout));
    codePage_ = JetU16(header.data() + kCodePageOffset - kMaskedStart);
    // The password area reads as zeros when the database has none; Jet 4 also masks it
    // with the whole days of the creation date.
    std::uint8_t dayMask[4] = {};
    if (layout.jet4) {
        double created = 0;
        std::memcpy(&created, header.data() + kCreationDateOffset - kMaskedStart, sizeof created);
        const auto days = created > -2147483648.0 && created < 2147483648.0
                              ? static_cast<std::uint32_t>(static_cast<std::int32_t>(created))
                              : 0u;
        JetPutU32(dayMask, days);
    }
    const std::size_t passwordSize = layout.jet4 ? 40 : 20;
    for (std::size_t i = 0; i < passwordSize; ++i) {
        hasPassword_ =
            hasPassword_ || (header[kPasswordOffset - kMaskedStart + i] ^ dayMask[i % 4]) != 0;
    }
    if (JetU32(header.data() + kDatabaseKeyOffset - kMaskedStart) != 0) {
        JetUnsupported("the Access file is encrypted, which Varnix cannot read");
    }
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
    std::vector<std::vector<JetValue>> rows;
    for (const JetStoredRow& stored : ReadJetTableRows(pages_, def)) {
        std::vector<JetValue> values;
        values.reserve(def.columns.size());
        for (std::size_t c = 0; c < def.columns.size(); ++c) {
            values.push_back(DecodeJetValue(pages_, TextForm(), def.columns[c], stored.fields[c]));
        }
        rows.push_back(std::move(values));
    }
    return rows;
}

const std::vector<JetFile::TableEntry>& JetFile::Tables() const {
    if (!tables_) {
        tables_ = ReadCatalogue();
    }
    return *tables_;
}

std::vector<JetFile::TableEntry> JetFile::ReadCatalogue() const {
    const JetTableDef def = ReadJetTableDef(pages_, kCatalogueDefinition);
    const auto column = [&](const char* name) {
        for (std::size_t c = 0; c < def.columns.size(); ++c) {
            if (JetSameName(def.columns[c].name, name)) {
                return c;
            }
        }
        JetDamaged("the catalogue has no column " + std::string(name));
    };
    const std::size_t id = column("Id");
    const std::size_t name = column("Name");
    const std::size_t type = column("Type");
    const std::size_t flags = column("Flags");
    std::vector<TableEntry> entries;
    for (const auto& row : Values(def)) {
        if (row[type].kind != JetValue::Kind::Integer || row[type].integer != kCatalogueTable ||
            row[name].kind != JetValue::Kind::Text || row[id].kind != JetValue::Kind::Integer) {
            continue;
        }
        const auto flagBits = static_cast<std::uint32_t>(row[flags].integer);
        entries.push_back({row[name].text, static_cast<std::uint32_t>(row[id].integer) & 0x00ffffff,
                           (flagBits & kSystemFlags) == 0});
    }
    return entries;
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
