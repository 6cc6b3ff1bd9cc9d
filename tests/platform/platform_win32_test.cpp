// The Windows implementations of the template's folder, the no-overwrite
// copy and what stands behind a file name.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "file_copy.h"
#include "file_kind.h"
#include "windows_directory.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

fs::path ProgramFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return fs::path(std::string(path, length)).parent_path();
}

TEST(WindowsDirectoryWin32, TemplateComesFromTheWindowsDirectoryThenBesideTheProgram) {
    const fs::path system = fs::path(WindowsDirectory()) / "zur.mdb";
    const fs::path beside = ProgramFolder() / "zur.mdb";
    fs::remove(system);
    fs::remove(beside);
    EXPECT_EQ(fs::path(TemplatePath()), system);  // neither: where it should be

    Write(beside, "beside");
    EXPECT_EQ(fs::path(TemplatePath()), beside);
    Write(system, "system");
    EXPECT_EQ(fs::path(TemplatePath()), system);

    fs::remove(system);
    fs::remove(beside);
}

TEST(FileCopyWin32, CopyNeverReplacesAnExistingFile) {
    const fs::path folder = fs::temp_directory_path() / "varnix-file-copy";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const fs::path source = folder / "source.mdb";
    const fs::path target = folder / "target.mdb";
    Write(source, std::string("template\0\r\n\x1A", 12));

    EXPECT_TRUE(CopyFileNoOverwrite(source.string(), target.string()));
    EXPECT_EQ(Read(target), Read(source));
    Write(target, "edited");
    EXPECT_FALSE(CopyFileNoOverwrite(source.string(), target.string()));
    EXPECT_EQ(Read(target), "edited");
    EXPECT_FALSE(
        CopyFileNoOverwrite((folder / "missing.mdb").string(), (folder / "other.mdb").string()));
    EXPECT_FALSE(fs::exists(folder / "other.mdb"));

    // Paths are UTF-8, not the ANSI code page: a name with an accented letter keeps it.
    EXPECT_TRUE(CopyFileNoOverwrite(source.string(), folder.string() + "\\B\xC3\xA4nke.mdb"));
    EXPECT_TRUE(fs::exists(folder / fs::path(u8"B\u00e4nke.mdb")));

    // A read-only template still gives a work file that can be saved.
    fs::permissions(source, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_TRUE(CopyFileNoOverwrite(source.string(), (folder / "copy.mdb").string()));
    EXPECT_NE(fs::status(folder / "copy.mdb").permissions() & fs::perms::owner_write,
              fs::perms::none);
    fs::permissions(source, fs::perms::owner_write, fs::perm_options::add);
    fs::remove_all(folder);
}

// A device name is a device in any folder and with any extension; nothing is opened to
// tell it.
TEST(FileKindWin32, DeviceNamesFoldersAndFilesAreToldApart) {
    const fs::path folder = fs::temp_directory_path() / "varnix-file-kind";
    fs::remove_all(folder);
    fs::create_directories(folder);
    Write(folder / "file.mdb", "x");
    EXPECT_EQ(PathKindOf((folder / "file.mdb").string()), PathKind::File);
    EXPECT_EQ(PathKindOf(folder.string()), PathKind::Folder);
    EXPECT_EQ(PathKindOf((folder / "missing.mdb").string()), PathKind::Missing);
    EXPECT_EQ(PathKindOf("NUL"), PathKind::Device);
    EXPECT_EQ(PathKindOf((folder / "com1.csv").string()), PathKind::Device);
    EXPECT_EQ(PathKindOf((folder / "Con .mdb").string()), PathKind::Device);
    EXPECT_EQ(PathKindOf("\\\\.\\COM3"), PathKind::Device);
    EXPECT_EQ(PathKindOf((folder / "com10.csv").string()), PathKind::Missing);
    EXPECT_EQ(FolderOf("C:\\a\\b.mdb"), "C:\\a");
    EXPECT_EQ(FolderOf("C:\\b.mdb"), "C:\\");
    EXPECT_EQ(FolderOf("C:/a/b.mdb"), "C:/a");
    EXPECT_EQ(FolderOf("b.mdb"), ".");

    // The probe file is gone at once.
    std::string failure;
    EXPECT_EQ(TryNewFileIn(folder.string(), failure), FolderWrite::Allowed) << failure;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    EXPECT_EQ(TryNewFileIn((folder / "missing").string(), failure), FolderWrite::Failed);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace varnix
