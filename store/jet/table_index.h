// A table's indexes against its rows: the entries each real index must hold, the rebuild
// of every index after the rows were written anew, and the two together: a table's rows
// replaced.
#pragma once

#include <vector>

#include "index_pages.h"
#include "table_def.h"
#include "table_rows.h"
#include "values.h"

namespace varnix {

// The entries `index` must hold for `rows`, in index order. Throws JetUnsupported when a
// key cannot be built exactly (a text key outside the sort order Varnix knows, a column
// type it does not index), and when a unique index would hold a key twice.
std::vector<JetIndexEntry> JetIndexEntriesFor(const JetPages& pages, JetTextForm form,
                                              const JetTableDef& def, const JetRealIndex& index,
                                              const std::vector<JetStoredRow>& rows);

// The pages of each real index of `def`, read before its rows are rewritten.
std::vector<JetIndexTree> ReadJetTableIndexes(const JetPages& pages, const JetTableDef& def);

// Lays every real index of `def` out anew for `rows`, reusing the pages `before` lists
// and adding pages at the end of the file when they run out; pages left over go back to
// the file's free pages. The usage maps stay true.
void RebuildJetTableIndexes(JetPages& pages, JetTextForm form, const JetTableDef& def,
                            const std::vector<JetIndexTree>& before,
                            const std::vector<JetStoredRow>& rows);

// Writes `rows` (one field per column of `def`) as the table's whole content, in that
// order, with its indexes, row count and AutoNumber counter (`def.autoNumber`, which the
// caller has set). Throws JetError, leaving `pages` part-written: callers work on a copy.
void ReplaceJetTableRows(JetPages& pages, JetTextForm form, JetTableDef& def,
                         const std::vector<std::vector<JetField>>& rows);

}  // namespace varnix
