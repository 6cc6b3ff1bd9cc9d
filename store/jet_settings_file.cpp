// The save of the settings into an Access file on disk: built and verified in memory,
// written beside the file and put in its place in one step.
#include "file_save.h"
#include "jet_settings.h"

namespace varnix {

std::string JetLockFileOf(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return path + ".ldb";
    }
    return path.substr(0, dot) + ".ldb";
}

std::string JetLockFault(const std::string& path) {
    for (const std::string& lock : {JetLockFileOf(path), JetLockFileOf(FinalPathOf(path))}) {
        if (PathExists(lock)) {
            return "Microsoft Access or another program has the file open (its lock file " + lock +
                   " lies beside it). Close that program first; if none has it open, delete "
                   "the lock file.";
        }
    }
    return {};
}

FileDigest SaveJetSettings(const std::string& path, const ConfigValues& values,
                           std::int32_t timeout, const FileDigest* loaded) {
    const auto refuse = [&](const std::string& reason) -> FileRefused {
        return FileRefused(path, reason);
    };
    // Through a link, the file itself is replaced, and the link stays.
    const std::string target = FinalPathOf(path);
    if (const std::string fault = JetLockFault(path); !fault.empty()) {
        throw refuse(fault);
    }
    if (IsReadOnlyFile(target)) {
        throw refuse("the file is read-only");
    }
    std::vector<std::uint8_t> original;
    std::vector<std::uint8_t> saved;
    try {
        original = ReadJetFileBytes(target);
        if (loaded != nullptr && DigestOf(original) != *loaded) {
            throw refuse(
                "the file was changed by another program after Varnix loaded it; load it "
                "again to see its changes");
        }
        saved = BuildJetSettingsSave(original, values, timeout);
    } catch (const JetError& error) {
        throw refuse(error.what());
    }
    const std::string copy = target + ".varnix-save";
    RemoveFile(copy);  // a copy left by a save that was cut off
    std::string error = WriteNewFileDurably(copy, saved, target);
    if (error.empty()) {
        // The file must still be what the save was built from.
        std::vector<std::uint8_t> now;
        try {
            now = ReadJetFileBytes(target);
        } catch (const JetError& failure) {
            error = failure.what();
        }
        if (error.empty() && now != original) {
            error = "the file was changed by another program during the save";
        }
        if (error.empty()) {
            error = ReplaceFileAtomically(copy, target);
        }
    }
    if (!error.empty()) {
        RemoveFile(copy);
        throw refuse(error);
    }
    return DigestOf(saved);
}

}  // namespace varnix
