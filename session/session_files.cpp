#include "session_files.h"

#include <algorithm>
#include <cctype>

#include "file_checks.h"
#include "file_copy.h"
#include "file_save.h"
#include "jet_settings.h"
#include "phone_csv.h"
#include "windows_directory.h"

namespace varnix {

namespace {

// The reason without the file's name, where the error begins with it.
std::string ReasonOf(const std::string& path, const std::string& what) {
    const std::string prefix = path + ": ";
    return what.compare(0, prefix.size(), prefix) == 0 ? what.substr(prefix.size()) : what;
}

// Why no new settings file can be made from the template, or nothing.
std::string TemplateFault() {
    const std::string from = TemplatePath();
    const std::string fault = SourceFault(from);
    if (fault.empty()) {
        return {};
    }
    if (!PathExists(from)) {
        return "no new settings file can be made: the template " + from + " is missing";
    }
    return "no new settings file can be made from the template " + from + ": " + fault;
}

}  // namespace

bool IsCsvName(const std::string& path) {
    constexpr std::string_view kSuffix = ".csv";
    if (path.size() < kSuffix.size()) {
        return false;
    }
    return std::equal(
        kSuffix.begin(), kSuffix.end(), path.end() - kSuffix.size(),
        [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

void SessionFiles::SetWorkFile(const std::string& path, std::optional<FileDigest> digest) {
    workPath_ = path;
    workDigest_ = digest;
    if (workFileListener_) {
        workFileListener_(workPath_);
    }
}

LoadNotes SessionFiles::Load(const std::string& path, ConfigValues& values) {
    SetWorkFile(path, std::nullopt);
    LoadNotes notes;
    if (IsCsvName(path)) {
        LoadPhoneCsv(path, values);
    } else {
        LoadSettings(query_, path, values, &workDigest_, &notes);
    }
    return notes;
}

std::optional<std::string> SessionFiles::Save(std::string path, const ConfigValues& values,
                                              const FileInstead& instead) {
    for (;;) {
        std::optional<FileRefused> refused;
        try {
            SaveInto(path, values);
            return path;
        } catch (const FileRefused& error) {
            refused = error;
        } catch (const std::exception& error) {
            throw FileNotSaved(path, error.what());
        }
        // Asked outside the handler: what the answer throws is its own.
        std::optional<std::string> other = instead(*refused);
        if (!other) {
            return std::nullopt;
        }
        path = std::move(*other);
    }
}

void SessionFiles::SaveInto(const std::string& path, const ConfigValues& values) {
    // What was seen of another file says nothing about this one.
    std::optional<FileDigest> digest = path == workPath_ ? workDigest_ : std::nullopt;
    if (IsCsvName(path)) {
        SavePhoneCsv(path, values);
    } else {
        SaveSettings(query_, path, values, &digest);
    }
    SetWorkFile(path, digest);
}

void SessionFiles::CheckSaveTarget(const std::string& path) const {
    if (const std::string fault = SaveTargetFault(path); !fault.empty()) {
        throw FileRefused(path, fault);
    }
    if (IsCsvName(path)) {
        return;
    }
    if (const std::string fault = JetLockFault(path); !fault.empty()) {
        throw FileRefused(path, fault);
    }
    if (!PathExists(path)) {
        if (const std::string fault = TemplateFault(); !fault.empty()) {
            throw FileRefused(path, fault);
        }
        return;
    }
    AdoQuery query;
    ConfigRecord scratch;
    try {
        LoadSettings(query, path, scratch);
    } catch (const DatabaseError& error) {
        throw FileRefused(path, ReasonOf(path, error.what()));
    }
}

void SessionFiles::CopyTemplate(const std::string& path) {
    if (const std::string fault = TemplateFault(); !fault.empty()) {
        throw FileRefused(path, fault);
    }
    if (PathExists(path)) {
        throw FileRefused(path, "a file of that name exists already");
    }
    if (const std::string fault = SaveTargetFault(path); !fault.empty()) {
        throw FileRefused(path, fault);
    }
    if (!CopyFileNoOverwrite(TemplatePath(), path)) {
        throw FileRefused(path, "the template " + TemplatePath() + " could not be copied there");
    }
}

bool SessionFiles::CreateFromTemplate(const std::string& path) {
    try {
        CopyTemplate(path);
        return true;
    } catch (const FileRefused&) {
        return false;
    }
}

}  // namespace varnix
