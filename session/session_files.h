// The settings files of a session: loads and saves of the configuration, and what a save
// needs to know of the work file (its contents as loaded or last saved, so that a save
// leaves a file another program changed since alone). A name ending in ".csv" is a CSV
// file of the phone numbers; any other is a settings file, told apart by its contents.
#pragma once

#include <optional>
#include <string>

#include "ado_query.h"
#include "config_values.h"
#include "settings_file.h"

namespace varnix {

bool IsCsvName(const std::string& path);

class SessionFiles {
  public:
    // Reads the file into `values`: a settings file's slots, time-out and flag into values
    // the caller has cleared; a CSV file's numbers into all 500 slots. The file becomes the
    // work file. Throws what the store throws: DatabaseError for a settings file,
    // CsvFileError or CsvRejected for a CSV file.
    void Load(const std::string& path, ConfigValues& values);

    // Writes the values into the file, all or nothing. `intoWorkFile` says it is the work
    // file, whose contents as last seen must still be there. Throws FileRefused when the
    // file cannot take them, DatabaseError when the values cannot be saved, CsvFileError
    // when a CSV file cannot be written.
    void Save(const std::string& path, const ConfigValues& values, bool intoWorkFile);

    // The file of the last save becomes the work file; its path.
    const std::string& AdoptLastSaved();

    // Copies the template to `path`, which must not exist; false when that fails.
    static bool CreateFromTemplate(const std::string& path);

    AdoQuery& Query() { return query_; }

  private:
    AdoQuery query_;
    std::optional<FileDigest> workDigest_;
    std::string savedPath_;
    std::optional<FileDigest> savedDigest_;
};

}  // namespace varnix
