// The catalogue (MSysObjects), the table of a database's objects: the tables it names, read
// from any file; and the rows a new database's catalogue and permissions (MSysACEs) begin
// with: the containers of the engine and of Access, the database's own object, Access's
// documents, and one entry for each table, each with the permissions Access grants on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pages.h"
#include "row.h"
#include "table_def.h"
#include "values.h"

namespace varnix {

// The catalogue's definition page, in every file.
inline constexpr std::uint32_t kJetCatalogueDefinition = 2;

// A table the catalogue names.
struct JetCatalogueEntry {
    std::string name;  // UTF-8
    std::uint32_t definition = 0;
    bool user = false;  // neither the engine's nor Access's own
};

// Every table the catalogue names, system tables too, in catalogue order. Throws JetError.
std::vector<JetCatalogueEntry> ReadJetCatalogue(const JetPages& pages, JetTextForm form);

struct JetCatalogueTable {
    std::string name;                      // a system table of JetSystemTableSchemas, or a user's
    std::uint32_t definition = 0;          // its definition page, which is also its Id
    std::vector<std::uint8_t> properties;  // its property blob (LvProp); empty for none
};

struct JetCatalogueRows {
    std::vector<std::vector<JetField>> objects;  // for MSysObjects, one field a column
    std::vector<std::vector<JetField>> aces;     // for MSysACEs
};

// `objects` and `aces` are the definitions of MSysObjects and MSysACEs; `tables` lists the
// system tables first. Every date is `created` (days since 30 December 1899). Throws
// JetUnsupported when a value does not fit its column.
JetCatalogueRows JetNewCatalogueRows(const JetTableDef& objects, const JetTableDef& aces,
                                     const std::vector<JetCatalogueTable>& tables, double created);

}  // namespace varnix
