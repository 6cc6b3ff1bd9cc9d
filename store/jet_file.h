// A read-only reader of genuine Microsoft Access files (Jet 3 and Jet 4 databases): finds
// a table through the catalogue and returns its rows in stored order. It decodes the value
// types a small settings table holds (byte, 16- and 32-bit integers, text, short memo);
// columns of other types come back as Other. Every page and offset is checked against
// the file, and every walk is bounded by its page count: a damaged file throws JetError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnix {

// What a file is, told by its first bytes alone.
enum class FileKind { Unknown, Sqlite, Jet3, Jet4, Ace };
FileKind FileKindOf(const std::uint8_t* bytes, std::size_t size);
// Unknown when the file cannot be read.
FileKind FileKindOfPath(const std::string& path);
// A genuine Microsoft Access file of any version, which Varnix never writes.
bool IsAccessFile(const std::string& path);

class JetError : public std::runtime_error {
  public:
    enum class Kind { Damaged, NoSuchTable, Unsupported };
    JetError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

struct JetValue {
    enum class Kind { Null, Integer, Text, Other };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;
    std::string text;  // UTF-8
};

struct JetColumn {
    std::string name;  // UTF-8
    std::uint8_t type = 0;
    std::uint16_t number = 0;  // position in the row's null mask
    std::uint16_t varIndex = 0;
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0;
    bool fixed = false;
};

struct JetTable {
    std::vector<JetColumn> columns;
    std::vector<std::vector<JetValue>> rows;  // one value per column, in stored order
};

// The name of a column type, for messages ("Date/Time").
std::string JetTypeName(std::uint8_t type);

class JetFile {
  public:
    // Checks the header; throws JetError for anything but a plain Jet 3 or Jet 4 file.
    explicit JetFile(std::vector<std::uint8_t> bytes);
    static JetFile Open(const std::string& path);

    bool IsJet4() const { return jet4_; }
    // The user tables, in catalogue order.
    std::vector<std::string> TableNames() const;
    // The table of that name, compared without regard to case.
    JetTable ReadTable(const std::string& name) const;

  private:
    struct Catalogue;
    struct Definition;

    const std::uint8_t* Page(std::uint32_t page) const;
    std::vector<std::uint8_t> DefinitionBytes(std::uint32_t page) const;
    Definition ReadDefinition(std::uint32_t page) const;
    std::vector<std::uint32_t> UsedPages(std::uint32_t mapPointer) const;
    std::pair<std::size_t, std::size_t> RowBounds(std::uint32_t page, std::uint16_t row) const;
    std::vector<std::vector<JetValue>> ReadRows(const Definition& definition) const;
    std::vector<JetValue> DecodeRow(const Definition& definition, const std::uint8_t* row,
                                    std::size_t size) const;
    JetValue DecodeText(const std::uint8_t* data, std::size_t size) const;
    JetValue DecodeMemo(const std::uint8_t* data, std::size_t size) const;
    Catalogue ReadCatalogue() const;

    std::vector<std::uint8_t> bytes_;
    bool jet4_ = false;
    std::size_t pageSize_ = 0;
    std::uint32_t pageCount_ = 0;
    std::uint16_t codePage_ = 0;
};

}  // namespace varnix
