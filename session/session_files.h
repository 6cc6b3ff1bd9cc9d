// The settings files of a session: loads and saves of the configuration, the work file
// (its path, and its contents as loaded or last saved, so that a save leaves a file another
// program changed since alone), and the save policy both front ends follow. A name ending
// in ".csv" is a CSV file of the phone numbers; any other is a settings file, told apart by
// its contents.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "ado_query.h"
#include "config_values.h"
#include "load_notes.h"
#include "settings_file.h"

namespace varnix {

bool IsCsvName(const std::string& path);

// A save's answer to a file that refuses the values: another file to try (the window's
// save dialog makes a new one from the template), or nothing to give up.
using FileInstead = std::function<std::optional<std::string>(const FileRefused& refused)>;

// A save that failed for another reason than a refusal: the file tried, and the store's
// error text as it was.
class FileNotSaved : public std::runtime_error {
  public:
    FileNotSaved(const std::string& path, const std::string& what)
        : std::runtime_error(what), path_(path) {}
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

class SessionFiles {
  public:
    // The work file: the file last loaded or saved into; empty before either.
    const std::string& WorkFile() const { return workPath_; }
    // `listener` is told the work file's path whenever a load or a save sets it.
    void SetWorkFileListener(std::function<void(const std::string& path)> listener) {
        workFileListener_ = std::move(listener);
    }

    // Reads the file into `values`: a settings file's slots, time-out and flag into values
    // the caller has cleared; a CSV file's numbers into all 500 slots. The file becomes the
    // work file. Returns what the file held that cannot be shown. Throws what the store
    // throws: DatabaseError for a settings file, CsvFileError or CsvRejected for a CSV file.
    LoadNotes Load(const std::string& path, ConfigValues& values);

    // The save policy: writes the values into the file, all or nothing. Into the work file,
    // its contents as last seen must still be there. A file that cannot take them
    // (FileRefused) is handed to `instead`, and the file it answers is tried next, until
    // one takes them. The file saved into becomes the work file; it is returned, or nothing
    // when `instead` gave up. What `instead` throws goes through; any other failure (the
    // values cannot be saved, a CSV file cannot be written) throws FileNotSaved naming the
    // file tried.
    std::optional<std::string> Save(std::string path, const ConfigValues& values,
                                    const FileInstead& instead);

    // Whether a save into `path` can happen, checked before it, so that nothing is done in
    // vain: the name leads to a regular file or to nothing, its folder takes new files from
    // this user, the file is not read-only; for a settings file, no Access lock file lies
    // beside it, the template is there when the file must be made, and a file that is
    // there loads as a settings file. Throws FileRefused naming the file (or the folder or
    // template that is the cause) and the reason. Nothing is changed.
    void CheckSaveTarget(const std::string& path) const;

    // Copies the template to `path`, which must not exist. Throws FileRefused naming the
    // file and the reason (where the template was looked for, when it is missing).
    static void CopyTemplate(const std::string& path);
    // CopyTemplate; false when it failed.
    static bool CreateFromTemplate(const std::string& path);

  private:
    // One save into `path`, which then becomes the work file; throws what the store throws.
    void SaveInto(const std::string& path, const ConfigValues& values);
    void SetWorkFile(const std::string& path, std::optional<FileDigest> digest);

    AdoQuery query_;
    // The work file and its contents as last seen.
    std::string workPath_;
    std::optional<FileDigest> workDigest_;
    std::function<void(const std::string& path)> workFileListener_;
};

}  // namespace varnix
