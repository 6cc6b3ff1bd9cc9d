// A table's rows on its data pages: read in stored order with the place of each row, and
// written anew on the table's own pages. Usage maps stay true: the table's owned and
// free-space maps, and the file's global map for pages added at the end.
#pragma once

#include <cstdint>
#include <vector>

#include "pages.h"
#include "row.h"
#include "table_def.h"

namespace varnix {

struct JetStoredRow {
    JetRowId at;  // where indexes point: for a moved row, the place of its pointer
    std::vector<JetField> fields;
};

// Every live row, page by page in the order of the owned-pages map, slot by slot. Throws
// JetError; a row count that disagrees with the definition is damage.
std::vector<JetStoredRow> ReadJetTableRows(const JetPages& pages, const JetTableDef& def);

// The table's data pages (owned, of type data, naming this table), ascending.
std::vector<std::uint32_t> JetTableDataPages(const JetPages& pages, const JetTableDef& def);

// Replaces every row of the table by `rows`, in that order, as a table scan reads them
// back: the table's data pages are rewritten compactly from the first, pages it no longer
// needs go back to the file's free pages, free pages are taken (AllocateJetPage) when they
// run out, and the pages are filled in ascending order. Returns where each row now lies and
// sets `def.rowCount` (the caller writes the counts back). Throws JetError.
std::vector<JetRowId> WriteJetTableRows(JetPages& pages, JetTableDef& def,
                                        const std::vector<std::vector<std::uint8_t>>& rows);

// The free space a data page must record: the gap between its offset table and its
// lowest row.
std::size_t JetDataPageGap(const JetPages& pages, std::uint32_t page);

}  // namespace varnix
