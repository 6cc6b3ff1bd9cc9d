// A new, empty Microsoft Access 2000 (Jet 4) database, built from nothing: the header page,
// the file's usage map, the system tables with their catalogue and permission rows, and the
// given user tables, all empty.
#pragma once

#include <cstdint>
#include <ctime>
#include <vector>

#include "system_tables.h"

namespace varnix {

// The file's bytes. `created` is the creation date as Access keeps dates (days since 30
// December 1899; JetDateOf). Throws JetUnsupported for tables Varnix cannot define: names
// outside printable ASCII (the catalogue's index keeps them in its sort order) or repeated,
// or definitions too long for one page.
std::vector<std::uint8_t> CreateJetDatabase(const std::vector<JetNewTable>& tables, double created);

// A point in time as Access keeps dates, in universal time.
double JetDateOf(std::time_t time);

}  // namespace varnix
