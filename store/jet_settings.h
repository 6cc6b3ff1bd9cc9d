// The settings kept in a genuine Microsoft Access file, through our own Jet code. The load
// gives what LoadSettings gives for a Varnix work file, and notes the rows it cannot show.
// The save has the meaning of SaveSettings: the `phone` rows become one row per non-empty
// slot in ascending slot order (further columns of a slot that keeps its row keep their
// values; of two rows of one slot, the last is the one kept), followed by the rows that
// name no slot (no id, or one outside 1 to 500) as they were, in their stored order; and
// the first `pcong` row is updated, or one added. A table scan reads the rows in that order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/file.h"
#include "load_notes.h"
#include "settings_file.h"

namespace varnix {

// Every row of `phone` in stored order (a later row of a slot wins), then the first row of
// `pcong`. `notes`, when given, receives the rows without a slot, the slots of more than
// one row, and whether `pcong` is missing (the time-out and flag are then left as they
// were). Throws DatabaseError where the file cannot be read, with the reason: damage, or
// no table phone; values placed so far stay.
void LoadJetSettings(const JetFile& file, ConfigValues& values, LoadNotes* notes = nullptr);
void LoadJetSettings(const std::string& path, ConfigValues& values, FileDigest* digest = nullptr,
                     LoadNotes* notes = nullptr);

// The file's bytes after the save of `values`, built in memory, with `timeout` (the
// time-out text as SavedTimeout reads it) in pcong; the file's other tables, pages and
// header stay byte for byte. Throws JetError: Unsupported, with the reason, for whatever
// cannot be kept exactly, and for a file without the table `phone` or `pcong`.
std::vector<std::uint8_t> JetSettingsSaved(const JetFile& file, const ConfigValues& values,
                                           std::int32_t timeout);

// Checks `saved` as our own reader sees it: the settings read back are `values` and
// `timeout`, the phone rows are in the order the save promises, with the rows that name no
// slot as in `original`, the whole file passes the integrity walk and the two tables their
// integrity check, and every page outside them is as in `original`. Throws JetError naming
// the first difference.
void VerifyJetSettingsSaved(const JetFile& original, const JetFile& saved,
                            const ConfigValues& values, std::int32_t timeout);

// The in-memory part of a save, without the disk: the bytes `original` holds after the save
// of `values` with `timeout`, built (JetSettingsSaved) and verified (VerifyJetSettingsSaved).
// Throws JetError as they do.
std::vector<std::uint8_t> BuildJetSettingsSave(const std::vector<std::uint8_t>& original,
                                               const ConfigValues& values, std::int32_t timeout);

// Saves into the Access file at `path`: the new file is built and verified in memory
// (BuildJetSettingsSave), written beside it and flushed, and then replaces it in one step.
// `timeout` is the time-out text as SavedTimeout read it. `loaded` is the file as it was
// loaded (nullptr: not known); a file changed since then is left alone. Throws FileRefused
// with the reason for anything that keeps the save from happening; the file is then
// exactly as it was. Returns the digest of the file as saved.
FileDigest SaveJetSettings(const std::string& path, const ConfigValues& values,
                           std::int32_t timeout, const FileDigest* loaded);

// The lock file Access keeps beside an open database: NAME.ldb for NAME.mdb.
std::string JetLockFileOf(const std::string& path);

// Why a save into `path` must wait for the program that holds it open: a lock file beside
// the name or beside the file a link leads to. Empty when there is none.
std::string JetLockFault(const std::string& path);

}  // namespace varnix
