// Replacing a file whole without ever leaving it half-written: the new bytes go to a new
// file in the same folder and reach the disk, and only then does that file take the
// original's place, in one step. Each call returns the empty string when it succeeded,
// otherwise the system's own reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnix {

// Creates `path`, which must not exist, writes `bytes` and flushes them to disk; a file
// left partly written is removed. The new file gets the permissions of `like` when that
// names a file (so a replaced work file keeps its own), otherwise the usual ones.
std::string WriteNewFileDurably(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                const std::string& like);

// Puts `replacement` in the place of `target`, in one step that either happens whole or
// leaves `target` as it was, and makes the change last (POSIX: rename, then the folder is
// flushed; Windows: ReplaceFile, which keeps the original when it fails).
std::string ReplaceFileAtomically(const std::string& replacement, const std::string& target);

// The file a path leads to, through any symbolic links, so that replacing it keeps the
// links; the path itself when it cannot be resolved.
std::string FinalPathOf(const std::string& path);

// The file is marked read-only: no write permission for its owner (POSIX), the read-only
// attribute (Windows).
bool IsReadOnlyFile(const std::string& path);

// Something, a file or a folder, has that name.
bool PathExists(const std::string& path);

// Removes a file, as far as it goes.
void RemoveFile(const std::string& path);

}  // namespace varnix
