// A reader of genuine Microsoft Access files (Jet 3 and Jet 4 databases): tells the format
// by the first bytes, finds a table through the catalogue and returns its rows in stored
// order. Every page and offset is checked against the file, and every walk is bounded by
// its page count: a damaged file throws JetError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue.h"
#include "error.h"
#include "header_page.h"
#include "pages.h"
#include "table_def.h"
#include "values.h"

namespace varnix {

// Unknown when the file cannot be read.
FileKind FileKindOfPath(const std::string& path);
// A genuine Microsoft Access file of any version.
bool IsAccessFile(const std::string& path);

// The whole file; one that cannot be read throws JetError with the system's reason.
std::vector<std::uint8_t> ReadJetFileBytes(const std::string& path);

using JetColumn = JetColumnDef;

struct JetTable {
    std::vector<JetColumn> columns;
    std::vector<std::vector<JetValue>> rows;  // one value per column, in stored order
};

class JetFile {
  public:
    // Checks the header; throws JetError for anything but a plain Jet 3 or Jet 4 file.
    explicit JetFile(std::vector<std::uint8_t> bytes);
    static JetFile Open(const std::string& path);

    bool IsJet4() const { return pages_.Layout().version == kJet4Layout.version; }
    const JetPages& Pages() const { return pages_; }
    // The file's bytes, taken out of a file no longer needed.
    std::vector<std::uint8_t> Bytes() && { return std::move(pages_).Bytes(); }
    JetTextForm TextForm() const { return {pages_.Layout().text, codePage_}; }
    // Access asks for a password before it opens the file.
    bool HasDatabasePassword() const { return hasPassword_; }

    using TableEntry = JetCatalogueEntry;
    // Every table the catalogue names, system tables too, in catalogue order. The catalogue
    // is read on the first call and kept.
    const std::vector<TableEntry>& Tables() const;
    // The user tables, in catalogue order.
    std::vector<std::string> TableNames() const;
    // The definition page of the user table of that name, compared without regard to
    // case; throws JetError (NoSuchTable) when there is none.
    std::uint32_t TableDefinition(const std::string& name) const;
    // The table of that name, compared without regard to case.
    JetTable ReadTable(const std::string& name) const;
    // The rows of a table as values, in stored order.
    std::vector<std::vector<JetValue>> Values(const JetTableDef& def) const;

  private:
    JetPages pages_;
    std::uint16_t codePage_ = 0;
    bool hasPassword_ = false;
    mutable std::optional<std::vector<TableEntry>> tables_;
};

}  // namespace varnix
