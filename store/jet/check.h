// The integrity check of a table, as a reader that trusts nothing would walk it: its rows
// readable and as many as its definition says, each data page's free space as recorded,
// the AutoNumber counter above every number handed out, and every index holding exactly
// the entries its rows give, in order. The save's verify step, the tests and the fuzz
// targets share it.
#pragma once

#include "table_def.h"
#include "values.h"

namespace varnix {

// Throws JetError naming the first finding.
void CheckJetTable(const JetPages& pages, JetTextForm form, const JetTableDef& def);

}  // namespace varnix
