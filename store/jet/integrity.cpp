#include "integrity.h"

#include <algorithm>
#include <cstring>

#include "error.h"
#include "index_pages.h"
#include "long_value.h"
#include "table_rows.h"
#include "usage_map.h"

namespace varnix {

namespace {

constexpr std::uint32_t kCatalogueDefinition = 2;
constexpr std::size_t kNextDefinitionPage = 4;
constexpr std::size_t kInlineMapHeader = 5;  // type, first page
constexpr char kLongValueOwner[] = "LVAL";   // where a data page names its table

using Kind = JetPageOwner::Kind;

class Walk {
  public:
    explicit Walk(const JetPages& pages) : pages_(pages) { result_.owners.resize(pages.Count()); }

    // `owner` names `page`. A page may be named again by the same owner, and every usage map
    // may lie beside others on one page; any other second owner is a fault.
    void Claim(std::uint32_t page, const JetPageOwner& owner) {
        if (page >= pages_.Count()) {
            Fault({JetPageFault::Kind::BeyondEnd, page, owner, {}});
            return;
        }
        JetPageOwner& now = result_.owners[page];
        if (now.kind == Kind::Unaccounted) {
            now = owner;
        } else if (now != owner) {
            Fault({JetPageFault::Kind::OwnedTwice, page, now, owner});
        }
    }

    void Map(std::uint32_t pointer) {
        for (const std::uint32_t page : JetUsageMap(pages_, pointer).StoragePages()) {
            Claim(page, {Kind::UsageMaps, {}});
        }
    }

    void Table(const std::string& name, std::uint32_t definition) {
        for (std::uint32_t page = definition, seen = 0; page != 0 && seen <= pages_.Count();
             ++seen) {
            Claim(page, {Kind::Definition, name});
            page = page < pages_.Count() ? JetU32(pages_.Page(page) + kNextDefinitionPage) : 0;
        }
        const JetTableDef def = ReadJetTableDef(pages_, definition);
        Map(def.ownedPages);
        Map(def.freePages);
        for (const std::uint32_t page : JetUsageMap(pages_, def.ownedPages).Pages()) {
            Claim(page, {Kind::Data, name});
        }
        for (const JetRealIndex& index : def.realIndexes) {
            Index(name, definition, index);
        }
        LongValues(name, def);
    }

    // The LVAL pages the table's long values lie on. Rows of a form Varnix does not read
    // leave them unknown; LVAL pages that nothing else names are then taken for theirs.
    void LongValues(const std::string& name, const JetTableDef& def) {
        if (std::none_of(def.columns.begin(), def.columns.end(), IsJetLongValueColumn)) {
            return;
        }
        std::vector<JetStoredRow> rows;
        try {
            rows = ReadJetTableRows(pages_, def);
        } catch (const JetError& error) {
            if (error.kind() != JetError::Kind::Unsupported) {
                throw;
            }
            unreadLongValues_ = true;
        }
        for (const JetStoredRow& row : rows) {
            for (std::size_t c = 0; c < def.columns.size(); ++c) {
                const JetField& field = row.fields[c];
                if (!IsJetLongValueColumn(def.columns[c]) || !field.present) {
                    continue;
                }
                for (const JetRowId at :
                     JetLongValueRows(pages_, field.bytes.data(), field.bytes.size())) {
                    Claim(at.page, {Kind::LongValues, name});
                }
            }
        }
    }

    // The index's pages: its tree and the pages its usage map lists. A tree of a shape
    // Varnix does not write is known by its map alone.
    void Index(const std::string& name, std::uint32_t definition, const JetRealIndex& index) {
        if (index.usageMap != 0) {
            Map(index.usageMap);
            for (const std::uint32_t page : JetUsageMap(pages_, index.usageMap).Pages()) {
                Claim(page, {Kind::Index, name});
            }
        }
        try {
            for (const std::uint32_t page :
                 ReadJetIndex(pages_, definition, index.firstPage).pages) {
                Claim(page, {Kind::Index, name});
            }
        } catch (const JetError& error) {
            if (error.kind() != JetError::Kind::Unsupported) {
                throw;
            }
        }
    }

    void Global() {
        Claim(0, {Kind::Header, {}});
        const JetUsageMap global(pages_, kJetGlobalUsageMap);
        Map(kJetGlobalUsageMap);
        for (const std::uint32_t page : global.Pages()) {
            if (page < pages_.Count()) {
                Claim(page, {Kind::Free, {}});
            }
        }
        // Pages past the map's reach count as free.
        for (std::uint32_t page = 0; page < pages_.Count(); ++page) {
            if (!global.Covers(page)) {
                Claim(page, {Kind::Free, {}});
            }
        }
    }

    JetPageWalk Finish() {
        for (std::uint32_t page = 0; page < pages_.Count(); ++page) {
            if (result_.owners[page].kind == Kind::Unaccounted && HoldsOnlyUsageMaps(page)) {
                result_.owners[page] = {Kind::UsageMaps, {}};
            }
            if (result_.owners[page].kind == Kind::Unaccounted && unreadLongValues_ &&
                IsLongValuePage(page)) {
                result_.owners[page] = {Kind::LongValues, {}};
            }
            if (result_.owners[page].kind == Kind::Unaccounted) {
                Fault({JetPageFault::Kind::Unaccounted, page, {}, {}});
            }
        }
        return std::move(result_);
    }

  private:
    // The maps of long-value columns (and, in Jet 3 files, of some indexes) are named from
    // parts of a definition that Varnix does not read. Their records lie on data pages that
    // name no table, beside the other maps.
    bool HoldsOnlyUsageMaps(std::uint32_t page) const {
        const std::uint8_t* data = pages_.Page(page);
        if (data[0] != kJetDataPage || JetU32(data + pages_.Layout().dataOwner) != 0) {
            return false;
        }
        const std::uint16_t rows = pages_.RowCount(page);
        for (std::uint16_t row = 0; row < rows; ++row) {
            const JetPages::RowSpan span = pages_.Row({page, static_cast<std::uint8_t>(row)});
            if ((span.flags & kJetDeletedRow) != 0) {
                continue;
            }
            const std::size_t size = span.end - span.start;
            const std::uint8_t type = size > 0 ? data[span.start] : 0xff;
            const bool inlineMap = type == 0 && size >= kInlineMapHeader;
            const bool referenceMap = type == 1 && (size - 1) % 4 == 0;
            if (!inlineMap && !referenceMap) {
                return false;
            }
        }
        return rows > 0;
    }

    bool IsLongValuePage(std::uint32_t page) const {
        const std::uint8_t* data = pages_.Page(page);
        return data[0] == kJetDataPage &&
               std::memcmp(data + pages_.Layout().dataOwner, kLongValueOwner, 4) == 0;
    }

    void Fault(const JetPageFault& fault) {
        if (!result_.fault) {
            result_.fault = fault;
        }
    }

    const JetPages& pages_;
    JetPageWalk result_;
    bool unreadLongValues_ = false;  // a table's rows could not be read for them
};

}  // namespace

std::string JetPageOwner::Described() const {
    switch (kind) {
        case Kind::Unaccounted:
            return "nothing";
        case Kind::Header:
            return "the file's header";
        case Kind::Free:
            return "the file's free pages";
        case Kind::UsageMaps:
            return "the usage maps";
        case Kind::Definition:
            return "the definition of the table " + table;
        case Kind::Data:
            return "the data of the table " + table;
        case Kind::Index:
            return "an index of the table " + table;
        case Kind::LongValues:
            return table.empty() ? "the long values of a table Varnix cannot read"
                                 : "the long values of the table " + table;
    }
    return "nothing";
}

std::string JetPageFault::Explained() const {
    const std::string named = "page " + std::to_string(page);
    switch (kind) {
        case Kind::OwnedTwice:
            return named + " belongs both to " + first.Described() + " and to " +
                   second.Described();
        case Kind::Unaccounted:
            return named + " belongs to nothing: neither a table nor the free pages name it";
        case Kind::BeyondEnd:
            return first.Described() + " names " + named +
                   ", which lies beyond the end of the file";
    }
    return named;
}

JetPageWalk WalkJetPages(const JetFile& file) {
    Walk walk(file.Pages());
    walk.Global();
    bool catalogue = false;
    for (const JetFile::TableEntry& entry : file.Tables()) {
        walk.Table(entry.name, entry.definition);
        catalogue = catalogue || entry.definition == kCatalogueDefinition;
    }
    if (!catalogue) {
        walk.Table("MSysObjects", kCatalogueDefinition);
    }
    return walk.Finish();
}

void CheckJetPages(const JetFile& file) {
    if (const JetPageWalk walk = WalkJetPages(file); walk.fault) {
        JetDamaged(walk.fault->Explained());
    }
}

}  // namespace varnix
