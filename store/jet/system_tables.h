// The tables of a new database: the system tables every Access 2000 database holds (the
// catalogue MSysObjects, the permissions MSysACEs, the saved queries MSysQueries, the
// relationships MSysRelationships and Access's own MSysAccessObjects), with their columns and
// indexes as Access defines them, and user tables of Long Integer and Text columns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "table_def.h"

namespace varnix {

struct JetTableSchema {
    std::string name;
    bool system = true;                     // the kind its definition states
    std::vector<JetColumnDef> columns;      // in definition order; numbers, places and flags set
    std::vector<JetRealIndex> realIndexes;  // columns and flags; their pages come later
    std::vector<JetLogicalIndex> logicalIndexes;
    std::vector<std::string> requiredColumns;  // columns that may not be null
};

// The system tables, MSysObjects first.
std::vector<JetTableSchema> JetSystemTableSchemas();

// A user table: columns of Long Integer or Text(1 to 255), in the order given, no index.
struct JetNewColumn {
    enum class Type { LongInteger, Text };
    std::string name;  // UTF-8
    Type type = Type::LongInteger;
    std::uint16_t characters = 0;  // Text only
    bool nullable = true;
};
struct JetNewTable {
    std::string name;  // UTF-8
    std::vector<JetNewColumn> columns;
};
// Throws JetUnsupported for a table Varnix cannot define.
JetTableSchema JetUserTableSchema(const JetNewTable& table);

}  // namespace varnix
