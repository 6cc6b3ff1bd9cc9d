#include "session_files.h"

#include <algorithm>
#include <cctype>

#include "file_copy.h"
#include "phone_csv.h"
#include "windows_directory.h"

namespace varnix {

bool IsCsvName(const std::string& path) {
    constexpr std::string_view kSuffix = ".csv";
    if (path.size() < kSuffix.size()) {
        return false;
    }
    return std::equal(
        kSuffix.begin(), kSuffix.end(), path.end() - kSuffix.size(),
        [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

void SessionFiles::Load(const std::string& path, ConfigValues& values) {
    workDigest_.reset();
    if (IsCsvName(path)) {
        LoadPhoneCsv(path, values);
    } else {
        LoadSettings(query_, path, values, &workDigest_);
    }
}

void SessionFiles::Save(const std::string& path, const ConfigValues& values, bool intoWorkFile) {
    std::optional<FileDigest> digest = intoWorkFile ? workDigest_ : std::nullopt;
    if (IsCsvName(path)) {
        SavePhoneCsv(path, values);
    } else {
        SaveSettings(query_, path, values, &digest);
    }
    savedPath_ = path;
    savedDigest_ = digest;
    if (intoWorkFile) {
        workDigest_ = digest;
    }
}

const std::string& SessionFiles::AdoptLastSaved() {
    workDigest_ = savedDigest_;
    return savedPath_;
}

bool SessionFiles::CreateFromTemplate(const std::string& path) {
    return CopyFileNoOverwrite(TemplatePath(), path);
}

}  // namespace varnix
