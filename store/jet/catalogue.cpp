#include "catalogue.h"

#include <cstring>
#include <utility>

#include "error.h"
#include "header_page.h"
#include "long_value.h"
#include "properties.h"
#include "values.h"

namespace varnix {

namespace {

constexpr JetTextForm kNewFileText{kJet4Layout.text, kJetNewFileCodePage};

// Object Ids the engine gives the objects of every database; Access numbers its own from
// 0x80000000 on, in the order it makes them. A table's Id is its definition page.
constexpr std::int32_t kTopContainer = 0x0f000000;
constexpr std::int32_t kTablesContainer = 0x0f000001;
constexpr std::int32_t kDatabasesContainer = 0x0f000002;
constexpr std::int32_t kRelationshipsContainer = 0x0f000003;
constexpr std::int32_t kDatabaseObject = 0x10000000;
constexpr std::int32_t kFirstAccessObject = INT32_MIN;

// Object types.
constexpr std::int16_t kTable = 1;
constexpr std::int16_t kDatabase = 2;
constexpr std::int16_t kContainer = 3;
constexpr std::int16_t kAccessDocument = -32757;  // a document of Access in "Databases"

// Object flags: objects of the engine, and Access's own table; a user's table has neither.
constexpr std::uint32_t kEngineObject = 0x80000000;
constexpr std::uint32_t kAccessTable = 0x00000002;
constexpr std::uint32_t kSystemObject = kEngineObject | kAccessTable;
// A table's Id holds its definition page in the low 24 bits.
constexpr std::uint32_t kIdPage = 0x00ffffff;

// Security identifiers that are the same in every workgroup: the engine, which owns its own
// objects; the user Admin, who owns the rest; the group Users; and the creator of an object.
// The group Admins has an identifier of its workgroup's own and gets no entry here.
using Sid = std::vector<std::uint8_t>;
const Sid kEngine{0xa7, 0x31};
const Sid kAdmin{0xa6, 0x33};
const Sid kUsers{0xa7, 0x33};
const Sid kCreator{0xa7, 0x36};

// Permissions as Access grants them on each object: a mask of rights (DAO's dbSec values),
// and whether objects made in a container inherit the entry.
struct Ace {
    const Sid* sid;
    std::uint32_t rights;
    bool inherited;
};
constexpr std::uint32_t kAllRights = 0xfffff;
constexpr std::uint32_t kReadData = 0x14;
constexpr std::uint32_t kPermissions = 0x60000;  // to read and to change permissions

struct CatalogueObject {
    std::string name;
    std::int32_t id;
    std::int32_t parent;
    std::int16_t type;
    std::uint32_t flags;
    const Sid* owner;
    std::vector<Ace> aces;
    std::vector<std::uint8_t> properties;
};

const std::vector<Ace> kAccessContainerAces{
    {&kUsers, kAllRights, true}, {&kAdmin, kAllRights, true}, {&kCreator, kAllRights, true}};
const std::vector<Ace> kSystemTableAces{{&kAdmin, kPermissions, false},
                                        {&kUsers, kReadData, false}};

// The entry of a system table: its flags, owner and permissions.
CatalogueObject SystemTableEntry(const JetCatalogueTable& table) {
    const auto id = static_cast<std::int32_t>(table.definition);
    CatalogueObject entry{table.name,    id,       kTablesContainer, kTable,
                          kEngineObject, &kEngine, kSystemTableAces, table.properties};
    if (table.name == "MSysACEs") {
        entry.aces = {{&kAdmin, kPermissions, false}};
    } else if (table.name == "MSysRelationships") {
        entry.aces = {{&kAdmin, 0xe0000, false}, {&kUsers, kReadData, false}};
    } else if (table.name == "MSysAccessObjects") {
        entry.flags = kAccessTable;
        entry.owner = &kAdmin;
        entry.aces = {{&kAdmin, kAllRights, false}, {&kUsers, kAllRights, false}};
    } else if (table.name != "MSysObjects" && table.name != "MSysQueries") {
        JetUnsupported("no catalogue entry is known for the system table " + table.name);
    }
    return entry;
}

CatalogueObject Object(std::string name, std::int32_t id, std::int32_t parent, std::int16_t type,
                       std::uint32_t flags, const Sid& owner, std::vector<Ace> aces) {
    return {std::move(name), id, parent, type, flags, &owner, std::move(aces), {}};
}

std::vector<CatalogueObject> Objects(const std::vector<JetCatalogueTable>& tables) {
    const std::size_t systemTables = 5;
    if (tables.size() < systemTables || tables[0].name != "MSysObjects") {
        JetUnsupported("a new catalogue needs the system tables first");
    }
    std::vector<CatalogueObject> objects{
        Object("Tables", kTablesContainer, kTopContainer, kContainer, kEngineObject, kEngine,
               {{&kCreator, 0xf00fe, true}, {&kAdmin, 0xffeff, true}, {&kUsers, 0xffeff, true}}),
        Object("Databases", kDatabasesContainer, kTopContainer, kContainer, kEngineObject, kEngine,
               {{&kAdmin, kPermissions, false}}),
        Object(
            "Relationships", kRelationshipsContainer, kTopContainer, kContainer, kEngineObject,
            kEngine,
            {{&kCreator, 0xf00fe, true}, {&kAdmin, 0x60001, false}, {&kUsers, kAllRights, true}}),
        Object("MSysDb", kDatabaseObject, kDatabasesContainer, kDatabase, kEngineObject, kAdmin,
               {{&kAdmin, 0x6000e, false}, {&kUsers, 0xe, false}}),
    };
    objects.back().properties = JetDatabaseProperties();
    for (std::size_t t = 0; t + 1 < systemTables; ++t) {
        objects.push_back(SystemTableEntry(tables[t]));
    }
    std::int32_t next = kFirstAccessObject;
    for (const char* container :
         {"DataAccessPages", "Forms", "Modules", "Reports", "Scripts", "SysRel"}) {
        objects.push_back(
            Object(container, next++, kTopContainer, kContainer, 0, kAdmin, kAccessContainerAces));
    }
    objects.push_back(
        Object("AccessLayout", next++, kDatabasesContainer, kAccessDocument, 0, kAdmin, {}));
    for (const char* document : {"SummaryInfo", "UserDefined"}) {
        objects.push_back(Object(document, next++, kDatabasesContainer, kAccessDocument, 0, kAdmin,
                                 {{&kUsers, 0x10000, false}}));
    }
    objects.push_back(SystemTableEntry(tables[systemTables - 1]));
    for (std::size_t t = systemTables; t < tables.size(); ++t) {
        objects.push_back(Object(tables[t].name, static_cast<std::int32_t>(tables[t].definition),
                                 kTablesContainer, kTable, 0, kAdmin,
                                 {{&kCreator, kAllRights, false},
                                  {&kAdmin, kAllRights, false},
                                  {&kUsers, kAllRights, false}}));
        objects.back().properties = tables[t].properties;
    }
    return objects;
}

// A row of a table, its fields set by column name.
class Row {
  public:
    explicit Row(const JetTableDef& def) : def_(def), fields_(def.columns.size()) {}
    void Set(const char* name, const JetValue& value) {
        const std::size_t c = Column(name);
        fields_[c] = EncodeJetValue(kNewFileText, def_.columns[c], value);
    }
    void SetBytes(const char* name, std::vector<std::uint8_t> bytes) {
        JetField& field = fields_[Column(name)];
        field.present = true;
        field.bytes = std::move(bytes);
    }
    void SetDate(const char* name, double days) {
        std::vector<std::uint8_t> bytes(sizeof days);
        std::memcpy(bytes.data(), &days, sizeof days);
        SetBytes(name, std::move(bytes));
    }
    void SetFlag(const char* name, bool on) { fields_[Column(name)].present = on; }
    std::vector<JetField> Fields() const { return fields_; }

  private:
    std::size_t Column(const char* name) const {
        const auto column = JetColumnNamed(def_.columns, name);
        if (!column) {
            JetUnsupported(std::string("a system table has no column ") + name);
        }
        return *column;
    }
    const JetTableDef& def_;
    std::vector<JetField> fields_;
};

}  // namespace

std::vector<JetCatalogueEntry> ReadJetCatalogue(const JetPages& pages, JetTextForm form) {
    const JetTableDef def = ReadJetTableDef(pages, kJetCatalogueDefinition);
    const auto column = [&](const char* name) {
        const auto found = JetColumnNamed(def.columns, name);
        if (!found) {
            JetDamaged("the catalogue has no column " + std::string(name));
        }
        return *found;
    };
    const std::size_t id = column("Id");
    const std::size_t name = column("Name");
    const std::size_t type = column("Type");
    const std::size_t flags = column("Flags");
    std::vector<JetCatalogueEntry> entries;
    for (const auto& row : ReadJetTableValues(pages, form, def)) {
        if (row[type].kind != JetValue::Kind::Integer || row[type].integer != kTable ||
            row[name].kind != JetValue::Kind::Text || row[id].kind != JetValue::Kind::Integer) {
            continue;
        }
        const auto flagBits = static_cast<std::uint32_t>(row[flags].integer);
        entries.push_back({row[name].text, static_cast<std::uint32_t>(row[id].integer) & kIdPage,
                           (flagBits & kSystemObject) == 0});
    }
    return entries;
}

JetCatalogueRows JetNewCatalogueRows(const JetTableDef& objects, const JetTableDef& aces,
                                     const std::vector<JetCatalogueTable>& tables, double created) {
    JetCatalogueRows rows;
    for (const CatalogueObject& object : Objects(tables)) {
        Row row(objects);
        row.Set("Id", JetValue::Int(object.id));
        row.Set("ParentId", JetValue::Int(object.parent));
        row.Set("Name", JetValue::Str(object.name));
        row.Set("Type", JetValue::Int(object.type));
        row.SetDate("DateCreate", created);
        row.SetDate("DateUpdate", created);
        row.SetBytes("Owner", *object.owner);
        row.Set("Flags", JetValue::Int(static_cast<std::int32_t>(object.flags)));
        if (!object.properties.empty()) {
            row.SetBytes("LvProp", InlineJetLongValue(object.properties));
        }
        rows.objects.push_back(row.Fields());
        for (const Ace& ace : object.aces) {
            Row entry(aces);
            entry.Set("ObjectId", JetValue::Int(object.id));
            entry.SetBytes("SID", *ace.sid);
            entry.Set("ACM", JetValue::Int(static_cast<std::int32_t>(ace.rights)));
            entry.SetFlag("FInheritable", ace.inherited);
            rows.aces.push_back(entry.Fields());
        }
    }
    return rows;
}

}  // namespace varnix
