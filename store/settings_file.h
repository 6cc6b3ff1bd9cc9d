// Loading and saving the device configuration in a settings file: the phone table, the
// relay time-out and the external disconnection flag (the password is never stored).
// The values are reached through ConfigValues, so that the window, the command line and the
// tests can each supply their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ado_query.h"
#include "config_values.h"
#include "load_notes.h"

namespace varnix {

// A save that did not happen because of the file itself (it cannot be written, or not
// exactly, or it changed meanwhile), as opposed to the values: the values can still go
// into a new file. The message names the file and the reason.
class FileRefused : public DatabaseError {
  public:
    FileRefused(const std::string& path, const std::string& reason)
        : DatabaseError(path + ": " + reason), path_(path), reason_(reason) {}
    const std::string& Path() const { return path_; }
    const std::string& Reason() const { return reason_; }

  private:
    std::string path_;
    std::string reason_;
};

// The bytes of a file as they were read, told apart from any other contents.
struct FileDigest {
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    friend bool operator==(const FileDigest&, const FileDigest&) = default;
};
FileDigest DigestOf(const std::vector<std::uint8_t>& bytes);

// The time-out text as a save stores it: read as the range rule and the write to the
// device read it; anything else throws DatabaseError.
std::int32_t SavedTimeout(const std::string& text);

// Reads the file into `values`, which the caller has cleared; the kind of file is told by
// its first bytes. Phone rows whose id lies outside 1 to 500 (a null id among them) are
// skipped; the later of two equal ids wins. A name that leads to no regular file (a
// folder, a pipe, a device) is refused before it is opened. Throws DatabaseError naming
// the file ("PATH: reason") where it cannot be read; values placed so far stay. The query
// is closed whatever happens.
// `digest`, when given, receives what a genuine Access file held as it was read (nothing
// for a Varnix work file). `notes`, when given, receives what a Varnix work file held that
// cannot be shown (a file without the relay settings table loads, with a note).
void LoadSettings(AdoQuery& query, const std::string& path, ConfigValues& values,
                  std::optional<FileDigest>* digest = nullptr, LoadNotes* notes = nullptr);

// Writes `values` into the file, all or nothing: on any failure it throws and the file is
// left as it was. A genuine Access file is saved through SaveJetSettings (`loaded` is its
// digest as loaded, if known, and receives the digest as saved); a Varnix work file in one
// transaction, its query closed whatever happens, its phone rows outside 1 to 500 kept. A
// time-out that is no integer throws DatabaseError before anything is written; a file
// that cannot take the save throws FileRefused, before anything is opened for writing
// where the file system tells (SaveTargetFault).
void SaveSettings(AdoQuery& query, const std::string& path, const ConfigValues& values,
                  std::optional<FileDigest>* loaded = nullptr);

}  // namespace varnix
