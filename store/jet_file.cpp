#include "jet_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "file_open.h"

namespace varnix {

namespace {

constexpr char kSqliteMagic[] = "SQLite format 3";  // followed by a zero byte
constexpr char kJetMagic[] = "Standard Jet DB";
constexpr char kAceMagic[] = "Standard ACE DB";
constexpr std::size_t kMagicOffset = 4;
constexpr std::size_t kVersionOffset = 0x14;

// The header area from 0x18 is masked with RC4 under this fixed key.
constexpr std::uint8_t kHeaderKey[] = {0xc7, 0xda, 0x39, 0x6b};
constexpr std::size_t kMaskedStart = 0x18;
constexpr std::size_t kCodePageOffset = 0x3c;
constexpr std::size_t kDatabaseKeyOffset = 0x3e;

constexpr std::uint8_t kDataPage = 0x01;
constexpr std::uint8_t kDefinitionPage = 0x02;
constexpr std::uint8_t kUsageMapPage = 0x05;
constexpr std::uint32_t kCatalogueDefinition = 2;

constexpr std::uint16_t kDeletedRow = 0x8000;
constexpr std::uint16_t kOverflowRow = 0x4000;
constexpr std::uint16_t kRowOffsetMask = 0x1fff;

constexpr std::uint8_t kTypeBoolean = 0x01;
constexpr std::uint8_t kTypeByte = 0x02;
constexpr std::uint8_t kTypeInt16 = 0x03;
constexpr std::uint8_t kTypeInt32 = 0x04;
constexpr std::uint8_t kTypeText = 0x0a;
constexpr std::uint8_t kTypeMemo = 0x0c;

constexpr std::uint32_t kCatalogueTable = 1;
constexpr std::uint32_t kSystemFlags = 0x80000002;
constexpr std::size_t kMemoHeader = 12;

[[noreturn]] void Damaged(const std::string& what) {
    throw JetError(JetError::Kind::Damaged, "the Access file is damaged: " + what);
}

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Bounds-checked reads from a block of bytes; any read past its end is damage.
class Cursor {
  public:
    Cursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    const std::uint8_t* At(std::size_t offset, std::size_t length) const {
        if (offset > size_ || length > size_ - offset) {
            Damaged("a table definition runs past its end");
        }
        return data_ + offset;
    }
    std::uint8_t U8At(std::size_t offset) const { return *At(offset, 1); }
    std::uint16_t U16At(std::size_t offset) const { return U16(At(offset, 2)); }
    std::uint32_t U32At(std::size_t offset) const { return U32(At(offset, 4)); }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xc0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xe0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    }
}

// UTF-16 units as UTF-8; a surrogate without its partner becomes U+FFFD.
std::string Utf16ToUtf8(const std::vector<std::uint16_t>& units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::uint32_t unit = units[i];
        if (unit >= 0xd800 && unit < 0xdc00 && i + 1 < units.size() && units[i + 1] >= 0xdc00 &&
            units[i + 1] < 0xe000) {
            AppendUtf8(out, 0x10000 + ((unit - 0xd800) << 10) + (units[i + 1] - 0xdc00));
            ++i;
        } else if (unit >= 0xd800 && unit < 0xe000) {
            AppendUtf8(out, 0xfffd);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

// Windows code page 1252; the five bytes it leaves undefined map to the C1 controls.
std::string Cp1252ToUtf8(const std::uint8_t* data, std::size_t size) {
    static constexpr std::uint16_t kHigh[32] = {
        0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008d, 0x017d, 0x008f, 0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
        0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        AppendUtf8(out, byte >= 0x80 && byte < 0xa0 ? kHigh[byte - 0x80] : byte);
    }
    return out;
}

// Jet 4 text: UCS-2, or its compressed form (0xff 0xfe, then single bytes for characters
// below U+0100, with each zero byte switching between single bytes and pairs).
std::string Jet4TextToUtf8(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint16_t> units;
    if (size >= 2 && data[0] == 0xff && data[1] == 0xfe) {
        bool compressed = true;
        std::size_t i = 2;
        while (i < size) {
            if (data[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                units.push_back(data[i++]);
            } else {
                if (i + 1 >= size) {
                    Damaged("a text value ends inside a character");
                }
                units.push_back(U16(data + i));
                i += 2;
            }
        }
    } else {
        if (size % 2 != 0) {
            Damaged("a text value ends inside a character");
        }
        for (std::size_t i = 0; i < size; i += 2) {
            units.push_back(U16(data + i));
        }
    }
    return Utf16ToUtf8(units);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

std::size_t TypeWidth(std::uint8_t type) {
    switch (type) {
        case kTypeByte:
            return 1;
        case kTypeInt16:
            return 2;
        case kTypeInt32:
            return 4;
        default:
            return 0;
    }
}

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

std::string JetTypeName(std::uint8_t type) {
    static const char* const kNames[] = {
        "unknown", "Yes/No",  "Byte",      "Integer",        "Long Integer", "Currency",
        "Single",  "Double",  "Date/Time", "Binary",         "Text",         "OLE Object",
        "Memo",    "unknown", "unknown",   "Replication ID", "Decimal"};
    return type < std::size(kNames) ? kNames[type] : "type " + std::to_string(type);
}

struct JetFile::Definition {
    std::uint32_t page = 0;
    std::uint32_t rowCount = 0;
    std::uint16_t varColumns = 0;
    std::uint32_t usedPages = 0;
    std::vector<JetColumn> columns;
};

struct JetFile::Catalogue {
    struct Entry {
        std::string name;
        std::uint32_t page = 0;
        bool user = false;
    };
    std::vector<Entry> entries;
};

JetFile::JetFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
    switch (FileKindOf(bytes_.data(), bytes_.size())) {
        case FileKind::Jet3:
            pageSize_ = 2048;
            break;
        case FileKind::Jet4:
            jet4_ = true;
            pageSize_ = 4096;
            break;
        case FileKind::Ace:
            throw JetError(JetError::Kind::Unsupported,
                           "the file is from a newer Microsoft Access (2007 or later), which "
                           "Varnix cannot read; save it in Access 2000 format");
        default:
            throw JetError(JetError::Kind::Unsupported, "file is not a database");
    }
    if (bytes_.size() < pageSize_ * (kCatalogueDefinition + 1)) {
        Damaged("the file is too short");
    }
    pageCount_ =
        static_cast<std::uint32_t>(std::min<std::size_t>(bytes_.size() / pageSize_, UINT32_MAX));
    // Unmask the header area to check that the pages are stored in the clear.
    const std::size_t masked = jet4_ ? 128 : 126;
    std::uint8_t state[256];
    for (int i = 0; i < 256; ++i) {
        state[i] = static_cast<std::uint8_t>(i);
    }
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + state[i] + kHeaderKey[i % sizeof kHeaderKey]) & 0xff;
        std::swap(state[i], state[j]);
    }
    std::vector<std::uint8_t> header(bytes_.begin() + kMaskedStart,
                                     bytes_.begin() + kMaskedStart + masked);
    for (std::size_t n = 0, i = 0, j = 0; n < header.size(); ++n) {
        i = (i + 1) & 0xff;
        j = (j + state[i]) & 0xff;
        std::swap(state[i], state[j]);
        header[n] ^= state[(state[i] + state[j]) & 0xff];
    }
    codePage_ = U16(header.data() + kCodePageOffset - kMaskedStart);
    if (U32(header.data() + kDatabaseKeyOffset - kMaskedStart) != 0) {
        throw JetError(JetError::Kind::Unsupported,
                       "the Access file is encrypted, which Varnix cannot read");
    }
}

JetFile JetFile::Open(const std::string& path) {
    std::FILE* file = OpenForReading(path);
    if (file == nullptr) {
        throw JetError(JetError::Kind::Unsupported, "unable to open database file");
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        throw JetError(JetError::Kind::Unsupported, "unable to open database file");
    }
    return JetFile(std::move(bytes));
}

const std::uint8_t* JetFile::Page(std::uint32_t page) const {
    if (page >= pageCount_) {
        Damaged("page " + std::to_string(page) + " lies beyond the end of the file");
    }
    return bytes_.data() + static_cast<std::size_t>(page) * pageSize_;
}

std::vector<std::uint8_t> JetFile::DefinitionBytes(std::uint32_t page) const {
    std::vector<std::uint8_t> out;
    std::set<std::uint32_t> seen;
    for (std::uint32_t next = page; next != 0;) {
        const std::uint8_t* data = Page(next);
        if (data[0] != kDefinitionPage || !seen.insert(next).second) {
            Damaged("page " + std::to_string(next) + " is not a table definition");
        }
        out.insert(out.end(), data + (out.empty() ? 0 : 8), data + pageSize_);
        next = U32(data + 4);
    }
    return out;
}

JetFile::Definition JetFile::ReadDefinition(std::uint32_t page) const {
    const std::vector<std::uint8_t> bytes = DefinitionBytes(page);
    const Cursor in(bytes.data(), bytes.size());
    Definition definition;
    definition.page = page;
    const std::size_t base = jet4_ ? 12 : 8;  // the row count; the counts follow at +24/+13
    definition.rowCount = in.U32At(base + 4);
    const std::size_t counts = jet4_ ? 41 : 21;
    const std::uint16_t maxColumns = in.U16At(counts);
    definition.varColumns = in.U16At(counts + 2);
    const std::uint16_t columnCount = in.U16At(counts + 4);
    const std::uint32_t realIndexes = in.U32At(counts + 10);
    definition.usedPages = in.U32At(counts + 14);
    std::size_t at = (jet4_ ? 63 : 43) + std::size_t{realIndexes} * (jet4_ ? 12 : 8);
    const std::size_t entry = jet4_ ? 25 : 18;
    in.At(at, std::size_t{columnCount} * entry);
    for (std::uint16_t c = 0; c < columnCount; ++c, at += entry) {
        JetColumn column;
        column.type = in.U8At(at);
        const std::size_t field = jet4_ ? at + 4 : at;
        column.number = in.U16At(field + 1);
        column.varIndex = in.U16At(field + 3);
        column.fixed = (in.U8At(jet4_ ? at + 15 : at + 13) & 0x01) != 0;
        column.fixedOffset = in.U16At(jet4_ ? at + 21 : at + 14);
        column.length = in.U16At(jet4_ ? at + 23 : at + 16);
        for (const JetColumn& other : definition.columns) {
            if (other.number == column.number) {
                Damaged("two columns share a number");
            }
        }
        if (column.number >= maxColumns) {
            Damaged("a column's number lies beyond the table's columns");
        }
        definition.columns.push_back(column);
    }
    for (JetColumn& column : definition.columns) {
        const std::size_t length = jet4_ ? in.U16At(at) : in.U8At(at);
        at += jet4_ ? 2 : 1;
        const std::uint8_t* name = in.At(at, length);
        column.name = jet4_ ? Jet4TextToUtf8(name, length) : Cp1252ToUtf8(name, length);
        at += length;
    }
    return definition;
}

std::pair<std::size_t, std::size_t> JetFile::RowBounds(std::uint32_t page,
                                                       std::uint16_t row) const {
    const std::uint8_t* data = Page(page);
    const std::size_t countAt = jet4_ ? 12 : 8;
    const std::uint16_t rows = U16(data + countAt);
    const std::size_t table = countAt + 2;
    if (row >= rows || table + 2 * std::size_t{rows} > pageSize_) {
        Damaged("row " + std::to_string(row) + " of page " + std::to_string(page) +
                " does not exist");
    }
    const std::size_t start = U16(data + table + 2 * row) & kRowOffsetMask;
    const std::size_t end =
        row == 0 ? pageSize_ : std::size_t{U16(data + table + 2 * (row - 1))} & kRowOffsetMask;
    if (start < table + 2 * std::size_t{rows} || start > end || end > pageSize_) {
        Damaged("row " + std::to_string(row) + " of page " + std::to_string(page) +
                " lies outside its page");
    }
    return {start, end};
}

std::vector<std::uint32_t> JetFile::UsedPages(std::uint32_t mapPointer) const {
    const std::uint32_t mapPage = mapPointer >> 8;
    const auto [start, end] = RowBounds(mapPage, mapPointer & 0xff);
    const std::uint8_t* record = Page(mapPage) + start;
    const std::size_t size = end - start;
    std::vector<std::uint32_t> pages;
    const auto addBits = [&](const std::uint8_t* bits, std::size_t length, std::uint64_t first) {
        for (std::size_t i = 0; i < length; ++i) {
            for (int bit = 0; bits[i] != 0 && bit < 8; ++bit) {
                if ((bits[i] >> bit) & 1) {
                    const std::uint64_t page = first + i * 8 + static_cast<unsigned>(bit);
                    if (page >= pageCount_) {
                        Damaged("a usage map names pages beyond the end of the file");
                    }
                    pages.push_back(static_cast<std::uint32_t>(page));
                }
            }
        }
    };
    if (size < 1) {
        Damaged("a usage map is empty");
    }
    if (record[0] == 0) {
        if (size < 5) {
            Damaged("a usage map is cut short");
        }
        addBits(record + 5, size - 5, U32(record + 1));
    } else if (record[0] == 1) {
        const std::size_t perMap = (pageSize_ - 4) * 8;
        for (std::size_t i = 0; 1 + 4 * i + 4 <= size; ++i) {
            const std::uint32_t map = U32(record + 1 + 4 * i);
            if (map == 0) {
                continue;
            }
            if (i * perMap >= pageCount_) {
                Damaged("a usage map names pages beyond the end of the file");
            }
            const std::uint8_t* bits = Page(map);
            if (bits[0] != kUsageMapPage) {
                Damaged("page " + std::to_string(map) + " is not a usage map");
            }
            addBits(bits + 4, pageSize_ - 4, i * perMap);
        }
    } else {
        Damaged("a usage map is of unknown type");
    }
    return pages;
}

JetValue JetFile::DecodeText(const std::uint8_t* data, std::size_t size) const {
    JetValue value;
    value.kind = JetValue::Kind::Text;
    if (jet4_) {
        value.text = Jet4TextToUtf8(data, size);
    } else if (codePage_ == 0 || codePage_ == 1252 ||
               std::all_of(data, data + size, [](std::uint8_t byte) { return byte < 0x80; })) {
        value.text = Cp1252ToUtf8(data, size);  // plain ASCII reads alike in every code page
    } else {
        throw JetError(JetError::Kind::Unsupported, "the Access file keeps its text in code page " +
                                                        std::to_string(codePage_) +
                                                        ", which Varnix cannot read");
    }
    return value;
}

JetValue JetFile::DecodeMemo(const std::uint8_t* data, std::size_t size) const {
    if (size < kMemoHeader) {
        Damaged("a memo value is cut short");
    }
    const std::uint32_t length = U32(data) & 0x3fffffff;
    const std::uint8_t flags = data[3] & 0xc0;
    if (flags == 0x80) {
        if (length > size - kMemoHeader) {
            Damaged("a memo value runs past its row");
        }
        return DecodeText(data + kMemoHeader, length);
    }
    if (flags == 0x40) {
        const std::uint32_t pointer = U32(data + 4);
        const std::uint8_t* page = Page(pointer >> 8);
        if (page[0] != kDataPage || std::memcmp(page + 4, "LVAL", 4) != 0) {
            Damaged("a memo value points to a page that holds none");
        }
        const auto [start, end] = RowBounds(pointer >> 8, pointer & 0xff);
        if (length > end - start) {
            Damaged("a memo value runs past its record");
        }
        return DecodeText(page + start, length);
    }
    throw JetError(JetError::Kind::Unsupported,
                   "a memo value spans several pages, which Varnix cannot read");
}

std::vector<JetValue> JetFile::DecodeRow(const Definition& definition, const std::uint8_t* row,
                                         std::size_t size) const {
    const std::size_t countBytes = jet4_ ? 2 : 1;
    if (size < countBytes) {
        Damaged("a row is empty");
    }
    const std::size_t columns = jet4_ ? U16(row) : row[0];
    const std::size_t maskSize = (columns + 7) / 8;
    if (maskSize + countBytes > size) {
        Damaged("a row is shorter than its null mask");
    }
    const std::uint8_t* mask = row + size - maskSize;
    std::size_t dataEnd = size - maskSize;  // where the fixed and variable data must end
    std::vector<std::size_t> varOffsets;    // the variable columns' starts, then their end
    if (definition.varColumns > 0) {
        if (!jet4_ && size > 255) {
            throw JetError(JetError::Kind::Unsupported,
                           "a row of 256 bytes or more in an Access 97 file, which Varnix "
                           "cannot read");
        }
        const std::size_t entry = jet4_ ? 2 : 1;
        if (dataEnd < countBytes + entry) {
            Damaged("a row is shorter than its offset table");
        }
        const std::size_t varCount = jet4_ ? U16(row + dataEnd - 2) : row[dataEnd - 1];
        dataEnd -= entry;
        if ((varCount + 1) * entry > dataEnd - countBytes) {
            Damaged("a row is shorter than its offset table");
        }
        for (std::size_t i = 0; i <= varCount; ++i) {
            const std::uint8_t* at = row + dataEnd - entry * (i + 1);
            varOffsets.push_back(jet4_ ? U16(at) : *at);
        }
        dataEnd -= (varCount + 1) * entry;
        for (std::size_t i = 0; i < varOffsets.size(); ++i) {
            if (varOffsets[i] < countBytes || varOffsets[i] > dataEnd ||
                (i > 0 && varOffsets[i] < varOffsets[i - 1])) {
                Damaged("a row's offset table points outside the row");
            }
        }
    }
    std::vector<JetValue> values;
    values.reserve(definition.columns.size());
    for (const JetColumn& column : definition.columns) {
        JetValue value;
        const bool present =
            column.number < columns && ((mask[column.number / 8] >> (column.number % 8)) & 1);
        const std::size_t width = TypeWidth(column.type);
        const std::uint8_t* data = nullptr;
        std::size_t length = 0;
        if (column.type == kTypeBoolean) {
            value.kind = JetValue::Kind::Other;  // held in the null mask itself
            values.push_back(value);
            continue;
        }
        if (!present) {
            values.push_back(value);
            continue;
        }
        if (column.fixed) {
            length = width != 0 ? width : column.length;
            const std::size_t at = countBytes + column.fixedOffset;
            if (at > dataEnd || length > dataEnd - at) {
                Damaged("a fixed column lies outside its row");
            }
            data = row + at;
        } else {
            if (std::size_t{column.varIndex} + 1 >= varOffsets.size()) {
                values.push_back(value);  // added after the row was written
                continue;
            }
            data = row + varOffsets[column.varIndex];
            length = varOffsets[column.varIndex + 1] - varOffsets[column.varIndex];
        }
        if (width != 0) {
            if (length != width) {
                Damaged("a number column has the wrong length");
            }
            value.kind = JetValue::Kind::Integer;
            value.integer = column.type == kTypeByte ? std::int64_t{data[0]}
                            : column.type == kTypeInt16
                                ? std::int64_t{static_cast<std::int16_t>(U16(data))}
                                : std::int64_t{static_cast<std::int32_t>(U32(data))};
        } else if (column.type == kTypeText) {
            value = DecodeText(data, length);
        } else if (column.type == kTypeMemo) {
            value = DecodeMemo(data, length);
        } else {
            value.kind = JetValue::Kind::Other;
        }
        values.push_back(std::move(value));
    }
    return values;
}

std::vector<std::vector<JetValue>> JetFile::ReadRows(const Definition& definition) const {
    const std::vector<std::uint32_t> pages = UsedPages(definition.usedPages);
    const auto ownPage = [&](std::uint32_t page) {
        const std::uint8_t* data = Page(page);
        return data[0] == kDataPage && U32(data + 4) == definition.page;
    };
    const auto rowCount = [&](std::uint32_t page) { return U16(Page(page) + (jet4_ ? 12 : 8)); };
    const auto rowFlags = [&](std::uint32_t page, std::uint16_t row) {
        return U16(Page(page) + (jet4_ ? 14 : 10) + 2 * row);
    };
    // A row moved to another page leaves a pointer in its place; it is read there, at the
    // place of its pointer, and skipped where it now lies.
    std::set<std::pair<std::uint32_t, std::uint16_t>> moved;
    const auto target = [&](std::uint32_t page, std::uint16_t row) {
        const auto [start, end] = RowBounds(page, row);
        if (end - start < 4) {
            Damaged("a moved row's pointer is cut short");
        }
        const std::uint32_t pointer = U32(Page(page) + start);
        const std::pair<std::uint32_t, std::uint16_t> to{
            pointer >> 8, static_cast<std::uint16_t>(pointer & 0xff)};
        if (!ownPage(to.first) || to.second >= rowCount(to.first) ||
            (rowFlags(to.first, to.second) & (kDeletedRow | kOverflowRow)) != 0 ||
            !moved.insert(to).second) {
            Damaged("a moved row's pointer leads nowhere");
        }
        return to;
    };
    struct Place {
        std::pair<std::uint32_t, std::uint16_t> at;
        bool viaPointer = false;
    };
    std::vector<Place> order;
    for (const std::uint32_t page : pages) {
        if (!ownPage(page)) {
            continue;
        }
        const std::uint16_t rows = rowCount(page);
        if ((jet4_ ? 14u : 10u) + 2u * rows > pageSize_) {
            Damaged("page " + std::to_string(page) + " lists more rows than it can hold");
        }
        for (std::uint16_t row = 0; row < rows; ++row) {
            const std::uint16_t flags = rowFlags(page, row);
            if ((flags & kDeletedRow) != 0) {
                continue;
            }
            if ((flags & kOverflowRow) != 0) {
                order.push_back({target(page, row), true});
            } else {
                order.push_back({{page, row}, false});
            }
        }
    }
    std::vector<std::vector<JetValue>> rows;
    for (const Place& place : order) {
        if (!place.viaPointer && moved.count(place.at) != 0) {
            continue;  // read at the place of its pointer
        }
        const auto [start, end] = RowBounds(place.at.first, place.at.second);
        rows.push_back(DecodeRow(definition, Page(place.at.first) + start, end - start));
    }
    if (rows.size() != definition.rowCount) {
        Damaged("a table holds " + std::to_string(rows.size()) +
                " rows where its definition says " + std::to_string(definition.rowCount));
    }
    return rows;
}

JetFile::Catalogue JetFile::ReadCatalogue() const {
    const Definition definition = ReadDefinition(kCatalogueDefinition);
    const auto column = [&](const char* name) {
        for (std::size_t c = 0; c < definition.columns.size(); ++c) {
            if (SameName(definition.columns[c].name, name)) {
                return c;
            }
        }
        Damaged("the catalogue has no column " + std::string(name));
    };
    const std::size_t id = column("Id");
    const std::size_t name = column("Name");
    const std::size_t type = column("Type");
    const std::size_t flags = column("Flags");
    Catalogue catalogue;
    for (const auto& row : ReadRows(definition)) {
        if (row[type].kind != JetValue::Kind::Integer || row[type].integer != kCatalogueTable ||
            row[name].kind != JetValue::Kind::Text || row[id].kind != JetValue::Kind::Integer) {
            continue;
        }
        const auto flagBits = static_cast<std::uint32_t>(row[flags].integer);
        catalogue.entries.push_back({row[name].text,
                                     static_cast<std::uint32_t>(row[id].integer) & 0x00ffffff,
                                     (flagBits & kSystemFlags) == 0});
    }
    return catalogue;
}

std::vector<std::string> JetFile::TableNames() const {
    std::vector<std::string> names;
    for (const auto& entry : ReadCatalogue().entries) {
        if (entry.user) {
            names.push_back(entry.name);
        }
    }
    return names;
}

JetTable JetFile::ReadTable(const std::string& name) const {
    for (const auto& entry : ReadCatalogue().entries) {
        if (entry.user && SameName(entry.name, name)) {
            Definition definition = ReadDefinition(entry.page);
            JetTable table;
            table.rows = ReadRows(definition);
            table.columns = std::move(definition.columns);
            return table;
        }
    }
    throw JetError(JetError::Kind::NoSuchTable, "no such table: " + name);
}

}  // namespace varnix
