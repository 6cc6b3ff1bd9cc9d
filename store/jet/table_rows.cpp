#include "table_rows.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "error.h"
#include "usage_map.h"

namespace varnix {

namespace {

constexpr int kMaxMoves = 8;

bool IsTableDataPage(const JetPages& pages, const JetTableDef& def, std::uint32_t page) {
    const std::uint8_t* data = pages.Page(page);
    return data[0] == kJetDataPage && JetU32(data + pages.Layout().dataOwner) == def.page;
}

// A reused or new data page of the table, with no rows yet.
void ClearDataPage(JetPages& pages, const JetTableDef& def, std::uint32_t page) {
    std::uint8_t owner[4];
    JetPutU32(owner, def.page);
    pages.InitDataPage(page, owner);
}

}  // namespace

std::size_t JetDataPageGap(const JetPages& pages, std::uint32_t page) {
    const JetLayout& layout = pages.Layout();
    const std::uint16_t count = pages.RowCount(page);
    std::size_t lowest = layout.pageSize;
    for (std::uint16_t row = 0; row < count; ++row) {
        lowest = std::min(lowest, pages.Row({page, static_cast<std::uint8_t>(row)}).start);
    }
    return lowest - (layout.dataRowTable + 2 * std::size_t{count});
}

std::vector<std::uint32_t> JetTableDataPages(const JetPages& pages, const JetTableDef& def) {
    std::vector<std::uint32_t> out;
    for (const std::uint32_t page : JetUsageMap(pages, def.ownedPages).Pages()) {
        if (page >= pages.Count()) {
            JetDamaged("a usage map names pages beyond the end of the file");
        }
        if (IsTableDataPage(pages, def, page)) {
            out.push_back(page);
        }
    }
    return out;
}

std::vector<JetStoredRow> ReadJetTableRows(const JetPages& pages, const JetTableDef& def) {
    const JetLayout& layout = pages.Layout();
    // A row moved to another page leaves a pointer in its place; it is read there, at the
    // place of its pointer. Where it now lies it is marked deleted (or, in files of other
    // writers, skipped as already read); a moved row may move again.
    std::set<JetRowId> moved;
    const auto target = [&](JetRowId from) {
        JetRowId at = from;
        for (int hop = 0; hop < kMaxMoves; ++hop) {
            const JetPages::RowSpan span = pages.Row(at);
            if ((span.flags & kJetOverflowRow) == 0) {
                if (!moved.insert(at).second) {
                    break;
                }
                return at;
            }
            if (span.end - span.start < 4) {
                JetDamaged("a moved row's pointer is cut short");
            }
            at = JetRowId::From(JetU32(pages.Page(at.page) + span.start));
            if (!IsTableDataPage(pages, def, at.page) || at.row >= pages.RowCount(at.page)) {
                break;
            }
        }
        JetDamaged("a moved row's pointer leads nowhere");
    };
    struct Place {
        JetRowId at;
        JetRowId stored;
    };
    std::vector<Place> order;
    for (const std::uint32_t page : JetTableDataPages(pages, def)) {
        const std::uint16_t count = pages.RowCount(page);
        for (std::uint16_t row = 0; row < count; ++row) {
            const JetRowId at{page, static_cast<std::uint8_t>(row)};
            const std::uint16_t flags = pages.Row(at).flags;
            if ((flags & kJetDeletedRow) != 0) {
                continue;
            }
            order.push_back({at, (flags & kJetOverflowRow) != 0 ? target(at) : at});
        }
    }
    std::vector<JetStoredRow> rows;
    rows.reserve(order.size());
    for (const Place& place : order) {
        if (place.at == place.stored && moved.count(place.at) != 0) {
            continue;  // read at the place of its pointer
        }
        const JetPages::RowSpan span = pages.Row(place.stored);
        rows.push_back(
            {place.at, DecodeJetRow(layout, def, pages.Page(place.stored.page) + span.start,
                                    span.end - span.start)});
    }
    if (rows.size() != def.rowCount) {
        JetDamaged("a table holds " + std::to_string(rows.size()) +
                   " rows where its definition says " + std::to_string(def.rowCount));
    }
    return rows;
}

std::vector<JetRowId> WriteJetTableRows(JetPages& pages, JetTableDef& def,
                                        const std::vector<std::vector<std::uint8_t>>& rows) {
    const std::vector<std::uint32_t> own = JetTableDataPages(pages, def);
    JetUsageMap owned(pages, def.ownedPages);
    JetUsageMap free(pages, def.freePages);
    std::vector<std::uint32_t> used;  // pages written, in order
    std::set<std::uint32_t> full;     // pages a row no longer fitted on
    std::size_t next = 0;             // the next of `own` to reuse
    const auto takePage = [&]() {
        if (next < own.size()) {
            return own[next++];
        }
        const std::uint32_t page = AllocateJetPage(pages);
        owned.Set(pages, page, true);
        return page;
    };
    // Fills pages in turn, each as far as the rows fit, taking each page from `nextPage`.
    const auto layOut = [&](const auto& nextPage) {
        used.clear();
        full.clear();
        std::vector<JetRowId> placed;
        placed.reserve(rows.size());
        for (const std::vector<std::uint8_t>& row : rows) {
            if (row.size() > JetMaxRowSize(pages.Layout())) {
                JetUnsupported("a row is longer than an Access page holds");
            }
            if (used.empty() || !pages.RowFits(used.back(), row.size())) {
                if (!used.empty()) {
                    full.insert(used.back());
                }
                used.push_back(nextPage());
                ClearDataPage(pages, def, used.back());
            }
            placed.push_back({used.back(), pages.AddRow(used.back(), row)});
        }
        return placed;
    };
    std::vector<JetRowId> placed = layOut(takePage);
    // A table scan reads the pages in ascending order, so the rows keep their order only
    // on ascending pages; a page taken from the file's free pages may lie below the
    // table's own. Every page is empty before it is filled, so the same pages, sorted,
    // take the rows alike.
    if (!std::is_sorted(used.begin(), used.end())) {
        std::vector<std::uint32_t> ascending = used;
        std::sort(ascending.begin(), ascending.end());
        std::size_t taken = 0;
        placed = layOut([&]() {
            if (taken == ascending.size()) {
                JetUnsupported("the rows do not fit on the pages they took before");
            }
            return ascending[taken++];
        });
    }
    // Pages the rows no longer need go back to the file's free pages: a data page without
    // rows is something other readers do not expect.
    for (std::size_t i = next; i < own.size(); ++i) {
        owned.Set(pages, own[i], false);
        if (free.Covers(own[i])) {
            free.Set(pages, own[i], false);
        }
        ReleaseJetPage(pages, own[i]);
    }
    // Every page of the table has room unless a row did not fit on it.
    for (const std::uint32_t page : JetTableDataPages(pages, def)) {
        if (!free.Covers(page)) {
            if (full.count(page) != 0) {
                continue;  // nothing to clear
            }
            JetUnsupported("the free-space map of the Access file cannot take page " +
                           std::to_string(page));
        }
        free.Set(pages, page, full.count(page) == 0);
    }
    def.rowCount = static_cast<std::uint32_t>(rows.size());
    return placed;
}

}  // namespace varnix
