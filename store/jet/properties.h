// Property blobs (the catalogue's LvProp): the properties Access keeps for an object and its
// columns, beyond what the table definition holds. A blob starts with "MR2" and a zero byte,
// then blocks, each of a 4-byte length (itself included) and a 2-byte type: first the list
// of property names, then one block of values for the object (type 0) or for each column
// (type 1), named after it. A value gives its length, a DDL flag, its type, the number of its
// name in the list, and its bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnix {

// The database's own properties, kept with the catalogue's entry MSysDb, as an Access 2000
// database holds them: AccessVersion "08.50", by which readers tell an Access 2000 file from
// another Jet 4 one, and the Build of Access that made it.
std::vector<std::uint8_t> JetDatabaseProperties();

// The blob that marks each of `columns` Required (may not be null); empty when there are
// none. Throws JetUnsupported for a name that cannot be stored.
std::vector<std::uint8_t> JetRequiredColumnsProperties(const std::vector<std::string>& columns);

}  // namespace varnix
