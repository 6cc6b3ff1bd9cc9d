// What stands behind a name in the file system, told without opening it, so that a load
// or a save never blocks on a pipe or writes into a device; and whether a folder takes
// new files, which every save needs (it writes its new file beside the old one).
#pragma once

#include <string>

namespace varnix {

// Through any symbolic links. Windows has no pipes or sockets among its file names: a
// device name (NUL, COM1, \\.\...) is a Device there.
enum class PathKind {
    Missing,     // nothing has the name
    File,        // a regular file
    Folder,      //
    Device,      // a character or block device
    Pipe,        // a FIFO
    Socket,      //
    BrokenLink,  // a symbolic link that leads to nothing
    Unknown,     // the name cannot be looked up (no permission to pass a folder, a loop)
};

// `failure`, when given, receives the system's reason for Unknown.
PathKind PathKindOf(const std::string& path, std::string* failure = nullptr);

enum class FolderWrite { Allowed, Denied, ReadOnlyDisk, Failed };

// Tries to make a file in `folder` and removes it at once; `failure` receives the
// system's reason for anything but Allowed. Root passes permission bits, not a read-only
// disk or a file system that takes no files (/proc), and so the folder is tried, not
// asked.
FolderWrite TryNewFileIn(const std::string& folder, std::string& failure);

// The folder part of a path: "." for a bare name, the root for a name in the root.
// POSIX cuts at "/", Windows at "/" or "\\".
std::string FolderOf(const std::string& path);

}  // namespace varnix
