#include "system_tables.h"

#include <algorithm>

#include "error.h"

namespace varnix {

namespace {

// Column flags. Access sets 0x02 on every column (Jackcess calls it "updatable"; mdbtools
// "may be null"), 0x10 on the columns of its system tables and 0x20 on those holding a
// user's security identifier; the meaning of the last two is not known.
constexpr std::uint8_t kFixed = 0x01;
constexpr std::uint8_t kUpdatable = 0x02;
constexpr std::uint8_t kSystemColumn = 0x10;
constexpr std::uint8_t kSidColumn = 0x20;
constexpr std::uint8_t kSysFixed = kSystemColumn | kUpdatable | kFixed;
constexpr std::uint8_t kSysVariable = kSystemColumn | kUpdatable;
constexpr std::uint8_t kSysSid = kSidColumn | kSystemColumn | kUpdatable;

// Index flags; Access sets 0x80 on every index it makes.
constexpr std::uint8_t kUnique = 0x01;
constexpr std::uint8_t kIgnoreNulls = 0x02;
constexpr std::uint8_t kRequired = 0x08;
constexpr std::uint8_t kAccessIndex = 0x80;
constexpr std::uint8_t kPrimaryKey = 0x01;  // logical index type

constexpr std::uint16_t kGeneralSortOrder = 1033;
struct SystemColumn {
    const char* name;
    std::uint8_t type;
    std::uint16_t number;
    std::uint8_t flags;
};

// Gives each column its place in the row: fixed columns their offsets and variable ones
// their entries in the offset table, both in the order of the column numbers. A Yes/No
// column takes no room: it lives in the null mask.
void PlaceColumns(std::vector<JetColumnDef>& columns, std::uint16_t& varColumns) {
    std::vector<JetColumnDef*> byNumber;
    for (JetColumnDef& column : columns) {
        byNumber.push_back(&column);
    }
    std::sort(byNumber.begin(), byNumber.end(),
              [](const JetColumnDef* a, const JetColumnDef* b) { return a->number < b->number; });
    std::uint16_t fixedEnd = 0;
    varColumns = 0;
    for (JetColumnDef* column : byNumber) {
        if (!column->Fixed()) {
            column->varIndex = varColumns++;
        } else if (column->type != kJetTypeBoolean) {
            column->fixedOffset = fixedEnd;
            fixedEnd = static_cast<std::uint16_t>(fixedEnd + column->length);
        }
    }
}

JetTableSchema Schema(const char* name, bool system, std::initializer_list<SystemColumn> columns) {
    JetTableSchema schema;
    schema.name = name;
    schema.system = system;
    for (const SystemColumn& wanted : columns) {
        JetColumnDef column;
        column.name = wanted.name;
        column.type = wanted.type;
        column.number = wanted.number;
        column.flags = wanted.flags;
        column.length = JetColumnTypeOf(wanted.type).newLength;
        column.sortOrder = kGeneralSortOrder;
        schema.columns.push_back(column);
    }
    std::uint16_t varColumns = 0;
    PlaceColumns(schema.columns, varColumns);
    return schema;
}

JetRealIndex RealIndex(std::initializer_list<std::uint16_t> columns, std::uint8_t flags) {
    JetRealIndex index;
    for (const std::uint16_t column : columns) {
        index.parts.push_back({column, true});
    }
    index.flags = static_cast<std::uint8_t>(flags | kAccessIndex);
    return index;
}

}  // namespace

std::vector<JetTableSchema> JetSystemTableSchemas() {
    // Columns in the order Access lists them, by name.
    JetTableSchema objects = Schema("MSysObjects", true,
                                    {{"Connect", kJetTypeMemo, 9, kSysVariable},
                                     {"Database", kJetTypeMemo, 8, kSysVariable},
                                     {"DateCreate", kJetTypeDateTime, 4, kSysFixed},
                                     {"DateUpdate", kJetTypeDateTime, 5, kSysFixed},
                                     {"Flags", kJetTypeInt32, 7, kSysFixed},
                                     {"ForeignName", kJetTypeText, 10, kSysVariable},
                                     {"Id", kJetTypeInt32, 0, kSysFixed},
                                     {"Lv", kJetTypeOle, 13, kSysVariable},
                                     {"LvExtra", kJetTypeOle, 16, kSysVariable},
                                     {"LvModule", kJetTypeOle, 15, kSysVariable},
                                     {"LvProp", kJetTypeOle, 14, kSysVariable},
                                     {"Name", kJetTypeText, 2, kSysVariable},
                                     {"Owner", kJetTypeBinary, 6, kSysSid},
                                     {"ParentId", kJetTypeInt32, 1, kSysFixed},
                                     {"RmtInfoLong", kJetTypeOle, 12, kSysVariable},
                                     {"RmtInfoShort", kJetTypeBinary, 11, kSysVariable},
                                     {"Type", kJetTypeInt16, 3, kSysFixed}});
    objects.realIndexes = {RealIndex({1, 2}, kUnique), RealIndex({0}, kUnique)};
    objects.logicalIndexes = {{"Id", 1, 1, kPrimaryKey}, {"ParentIdName", 0, 0, 0}};

    JetTableSchema aces = Schema("MSysACEs", true,
                                 {{"ACM", kJetTypeInt32, 2, kSysFixed},
                                  {"FInheritable", kJetTypeBoolean, 3, kSysFixed},
                                  {"ObjectId", kJetTypeInt32, 0, kSysFixed},
                                  {"SID", kJetTypeBinary, 1, kSysSid}});
    aces.realIndexes = {RealIndex({0}, kRequired)};
    aces.logicalIndexes = {{"ObjectId", 0, 0, 0}};

    JetTableSchema queries = Schema("MSysQueries", true,
                                    {{"Attribute", kJetTypeByte, 1, kSysFixed},
                                     {"Expression", kJetTypeMemo, 5, kSysVariable},
                                     {"Flag", kJetTypeInt16, 6, kSysFixed},
                                     {"LvExtra", kJetTypeInt32, 7, kSysFixed},
                                     {"Name1", kJetTypeText, 3, kSysVariable},
                                     {"Name2", kJetTypeText, 4, kSysVariable},
                                     {"ObjectId", kJetTypeInt32, 0, kSysFixed},
                                     {"Order", kJetTypeBinary, 2, kSysVariable}});
    queries.realIndexes = {RealIndex({0, 1, 2}, kUnique)};
    queries.logicalIndexes = {{"ObjectIdAttribute", 0, 0, kPrimaryKey}};

    JetTableSchema relationships = Schema("MSysRelationships", true,
                                          {{"ccolumn", kJetTypeInt32, 2, kSysFixed},
                                           {"grbit", kJetTypeInt32, 1, kSysFixed},
                                           {"icolumn", kJetTypeInt32, 3, kSysFixed},
                                           {"szColumn", kJetTypeText, 5, kSysVariable},
                                           {"szObject", kJetTypeText, 4, kSysVariable},
                                           {"szReferencedColumn", kJetTypeText, 7, kSysVariable},
                                           {"szReferencedObject", kJetTypeText, 6, kSysVariable},
                                           {"szRelationship", kJetTypeText, 0, kSysVariable}});
    relationships.realIndexes = {RealIndex({0}, kIgnoreNulls), RealIndex({4}, kIgnoreNulls),
                                 RealIndex({6}, kIgnoreNulls)};
    relationships.logicalIndexes = {
        {"szObject", 1, 1, 0}, {"szReferencedObject", 2, 2, 0}, {"szRelationship", 0, 0, 0}};

    // Access's own table has a user table's definition; its ID is stored as a variable column.
    JetTableSchema accessObjects = Schema("MSysAccessObjects", false,
                                          {{"Data", kJetTypeBinaryChunk, 0, kUpdatable | kFixed},
                                           {"ID", kJetTypeInt32, 1, kUpdatable}});
    accessObjects.realIndexes = {RealIndex({1}, kUnique | kRequired)};
    accessObjects.logicalIndexes = {{"AOIndex", 0, 0, kPrimaryKey}};

    return {objects, aces, queries, relationships, accessObjects};
}

JetTableSchema JetUserTableSchema(const JetNewTable& table) {
    if (table.name.empty() || table.columns.empty() || table.columns.size() > 255) {
        JetUnsupported("a new table needs a name and 1 to 255 columns");
    }
    JetTableSchema schema;
    schema.name = table.name;
    schema.system = false;
    for (const JetNewColumn& wanted : table.columns) {
        JetColumnDef column;
        column.name = wanted.name;
        column.number = static_cast<std::uint16_t>(schema.columns.size());
        column.sortOrder = kGeneralSortOrder;
        if (wanted.type == JetNewColumn::Type::Text) {
            if (wanted.characters < 1 || wanted.characters > 255) {
                JetUnsupported("the text column " + wanted.name + " must hold 1 to 255 characters");
            }
            column.type = kJetTypeText;
            column.flags = kUpdatable;
            column.length = static_cast<std::uint16_t>(2 * wanted.characters);
        } else {
            column.type = kJetTypeInt32;
            column.flags = kUpdatable | kFixed;
            column.length = JetColumnTypeOf(kJetTypeInt32).newLength;
        }
        if (JetColumnNamed(schema.columns, column.name)) {
            JetUnsupported("the table " + table.name + " has two columns named " + wanted.name);
        }
        if (!wanted.nullable) {
            schema.requiredColumns.push_back(wanted.name);
        }
        schema.columns.push_back(column);
    }
    std::uint16_t varColumns = 0;
    PlaceColumns(schema.columns, varColumns);
    return schema;
}

}  // namespace varnix
