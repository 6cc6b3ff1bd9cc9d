// What the file system tells of a file before a load reads it or a save writes it, in the
// user's words: a name that leads to a pipe or a device is refused before it is opened (a
// pipe would block the open, a device would take the bytes), and a save is refused before
// anything is opened for writing when its file or its folder cannot take it. Each returns
// the reason, without the file's name, or the empty string when nothing stands against it.
#pragma once

#include <string>

namespace varnix {

// The name leads to a regular file, through any links.
std::string SourceFault(const std::string& path);

// The name leads to a regular file (through any links; the file is then replaced where it
// lies) or to nothing; the folder the file lies in, or will lie in, takes new files from
// this user (a save writes its new file there first); the file is not read-only.
std::string SaveTargetFault(const std::string& path);

}  // namespace varnix
