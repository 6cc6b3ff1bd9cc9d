#include "file_checks.h"

#include "file_kind.h"
#include "file_save.h"

namespace varnix {

namespace {

// Why the name does not lead to a file, or nothing for a file and for no name at all.
std::string KindFault(const std::string& path) {
    std::string failure;
    switch (PathKindOf(path, &failure)) {
        case PathKind::Missing:
        case PathKind::File:
            return {};
        case PathKind::Folder:
            return "the name leads to a folder, not to a file";
        case PathKind::Device:
            return "the name leads to a device, not to a file";
        case PathKind::Pipe:
            return "the name leads to a pipe (FIFO), not to a file";
        case PathKind::Socket:
            return "the name leads to a socket, not to a file";
        case PathKind::BrokenLink:
            return "the name is a symbolic link that leads to nothing";
        case PathKind::Unknown:
            break;
    }
    return "the name cannot be looked up: " + failure;
}

std::string FolderFault(const std::string& folder) {
    switch (PathKindOf(folder)) {
        case PathKind::Folder:
            break;
        case PathKind::Missing:
            return "the folder " + folder + " does not exist";
        default:
            return folder + " is not a folder";
    }
    std::string failure;
    switch (TryNewFileIn(folder, failure)) {
        case FolderWrite::Allowed:
            return {};
        case FolderWrite::Denied:
            return "this user may not write into the folder " + folder;
        case FolderWrite::ReadOnlyDisk:
            return "the folder " + folder + " is on a read-only disk";
        case FolderWrite::Failed:
            break;
    }
    return "no file can be made in the folder " + folder + ": " + failure;
}

}  // namespace

std::string SourceFault(const std::string& path) {
    if (PathKindOf(path) == PathKind::Missing) {
        return "the file does not exist";
    }
    return KindFault(path);
}

std::string SaveTargetFault(const std::string& path) {
    if (std::string fault = KindFault(path); !fault.empty()) {
        return fault;
    }
    const bool exists = PathKindOf(path) == PathKind::File;
    // The file itself, where a link leads, is what a save replaces.
    const std::string target = exists ? FinalPathOf(path) : path;
    if (std::string fault = FolderFault(FolderOf(target)); !fault.empty()) {
        return fault;
    }
    if (exists && IsReadOnlyFile(target)) {
        return "the file is read-only";
    }
    return {};
}

}  // namespace varnix
