// The settings files of a session: loads and saves of the configuration, and what a save
// needs to know of the work file (its contents as loaded or last saved, so that a save
// leaves a file another program changed since alone). A name ending in ".csv" is a CSV
// file of the phone numbers; any other is a settings file, told apart by its contents.
#pragma once

#include <optional>
#include <string>

#include "ado_query.h"
#include "config_values.h"
#include "load_notes.h"
#include "settings_file.h"

namespace varnix {

bool IsCsvName(const std::string& path);

class SessionFiles {
  public:
    // Reads the file into `values`: a settings file's slots, time-out and flag into values
    // the caller has cleared; a CSV file's numbers into all 500 slots. The file becomes the
    // work file. Returns what the file held that cannot be shown. Throws what the store
    // throws: DatabaseError for a settings file, CsvFileError or CsvRejected for a CSV file.
    LoadNotes Load(const std::string& path, ConfigValues& values);

    // Writes the values into the file, all or nothing. `intoWorkFile` says it is the work
    // file, whose contents as last seen must still be there (when it is the file last
    // loaded or saved as the work file). Throws FileRefused when the file cannot take them,
    // DatabaseError when the values cannot be saved, CsvFileError when a CSV file cannot be
    // written.
    void Save(const std::string& path, const ConfigValues& values, bool intoWorkFile);

    // Whether a save into `path` can happen, checked before it, so that nothing is done in
    // vain: the name leads to a regular file or to nothing, its folder takes new files from
    // this user, the file is not read-only; for a settings file, no Access lock file lies
    // beside it, the template is there when the file must be made, and a file that is
    // there loads as a settings file. Throws FileRefused naming the file (or the folder or
    // template that is the cause) and the reason. Nothing is changed.
    void CheckSaveTarget(const std::string& path) const;

    // The file of the last save becomes the work file; its path.
    const std::string& AdoptLastSaved();

    // Copies the template to `path`, which must not exist. Throws FileRefused naming the
    // file and the reason (where the template was looked for, when it is missing).
    static void CopyTemplate(const std::string& path);
    // CopyTemplate; false when it failed.
    static bool CreateFromTemplate(const std::string& path);

    AdoQuery& Query() { return query_; }

  private:
    AdoQuery query_;
    // The work file and its contents as last seen.
    std::string workPath_;
    std::optional<FileDigest> workDigest_;
    std::string savedPath_;
    std::optional<FileDigest> savedDigest_;
};

}  // namespace varnix
