// The integrity walk over a whole file, as a checker that trusts nothing would make it:
// every page is accounted for once, by the structure that names it. The header page; the
// file's global usage map and the pages it marks free; and for each table the catalogue
// names (system tables too) its definition pages, its data pages, its indexes' pages, the
// pages its usage maps lie on, and the LVAL pages its long values lie on. The save's verify
// step, the tests and the fuzz targets share it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "file.h"

namespace varnix {

// What a page of the file is for.
struct JetPageOwner {
    enum class Kind {
        Unaccounted,  // nothing names it
        Header,       // page 0
        Free,         // marked free in the global usage map
        UsageMaps,    // holds usage-map records, or is a usage-map page (0x05)
        Definition,   // a table definition page of `table`
        Data,         // a data page of `table`
        Index,        // a page of one of `table`'s indexes
        LongValues,   // an LVAL page holding long values of `table`
    };
    Kind kind = Kind::Unaccounted;
    std::string table;  // Definition, Data, Index and LongValues

    // "the data of the table phone", "the file's free pages", ...
    std::string Described() const;
    friend bool operator==(const JetPageOwner&, const JetPageOwner&) = default;
};

struct JetPageFault {
    enum class Kind {
        OwnedTwice,   // two structures name the page
        Unaccounted,  // no structure names it
        BeyondEnd,    // a structure names a page past the end of the file
    };
    Kind kind = Kind::Unaccounted;
    std::uint32_t page = 0;
    JetPageOwner first;   // OwnedTwice: the owner met first; BeyondEnd: the one naming it
    JetPageOwner second;  // OwnedTwice: the other owner

    // "page 12 belongs both to the data of the table phone and to the file's free pages".
    std::string Explained() const;
};

struct JetPageWalk {
    std::vector<JetPageOwner> owners;   // one a page of the file
    std::optional<JetPageFault> fault;  // the first fault found; none for a sound file
};

// Walks every structure of the file. Throws JetError where a structure is damaged (a
// definition, usage map, index or row); a page accounted for wrongly is a fault. Where a
// part is of a form Varnix does not read, the walk goes by what names its pages otherwise:
// an index tree by the index's usage map, long values by the LVAL pages nothing else names.
JetPageWalk WalkJetPages(const JetFile& file);

// The walk's fault as JetError (damaged, with the fault explained); nothing for a sound file.
void CheckJetPages(const JetFile& file);

}  // namespace varnix
