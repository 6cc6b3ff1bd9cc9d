// What stands behind a name, and the store's loads and saves that must neither block on a
// pipe nor write into a device: each is refused with its reason, before it is opened.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>

#include "config_values.h"
#include "file_kind.h"
#include "phone_csv.h"
#include "settings_file.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

class FileKindTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / ("varnix-kind-" + std::string(info->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string PathOf(const char* name) const { return (folder_ / name).string(); }

    // A character device of the test's own (the null device's numbers) when root may make
    // one, else a link to the system's, which no other account can replace.
    std::string Device() const {
        const std::string node = PathOf("node");
        if (::geteuid() != 0 || ::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
            fs::create_symlink("/dev/null", node);
        }
        return node;
    }

    fs::path folder_;
};

TEST_F(FileKindTest, EveryKindOfNameIsToldThroughLinks) {
    const std::string file = PathOf("file.mdb");
    std::ofstream(file) << "x";
    const std::string pipe = PathOf("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string socket = PathOf("socket");
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fs::create_symlink(file, PathOf("to-file"));
    fs::create_symlink(pipe, PathOf("to-pipe"));
    fs::create_symlink(PathOf("nothing"), PathOf("to-nothing"));

    EXPECT_EQ(PathKindOf(file), PathKind::File);
    EXPECT_EQ(PathKindOf(PathOf("to-file")), PathKind::File);
    EXPECT_EQ(PathKindOf(folder_.string()), PathKind::Folder);
    EXPECT_EQ(PathKindOf(pipe), PathKind::Pipe);
    EXPECT_EQ(PathKindOf(PathOf("to-pipe")), PathKind::Pipe);
    EXPECT_EQ(PathKindOf(socket), PathKind::Socket);
    EXPECT_EQ(PathKindOf("/dev/null"), PathKind::Device);
    EXPECT_EQ(PathKindOf(PathOf("to-nothing")), PathKind::BrokenLink);
    EXPECT_EQ(PathKindOf(PathOf("nothing")), PathKind::Missing);
    EXPECT_EQ(PathKindOf(file + "/inside"), PathKind::Unknown);
    ::close(listener);
    EXPECT_EQ(FolderOf("a/b/c.mdb"), "a/b");
    EXPECT_EQ(FolderOf("/c.mdb"), "/");
    EXPECT_EQ(FolderOf("c.mdb"), ".");
}

// Runs `step` and expects it to throw `reason` within five seconds; a step that blocks on
// the pipe is set free by opening its other end.
template <typename Error>
void ExpectRefusedAtOnce(const std::string& pipe, const std::function<void()>& step,
                         const std::string& reason) {
    auto done = std::async(std::launch::async, [&] {
        try {
            step();
        } catch (const Error& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    });
    if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "blocked on " << pipe;
        const int freeing = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
        done.wait();
        ::close(freeing);
        return;
    }
    EXPECT_EQ(done.get(), reason);
}

TEST_F(FileKindTest, PipesAreNotOpenedAndDevicesNotReplaced) {
    const std::string pipe = PathOf("pipe.mdb");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string pipeReason = pipe + ": the name leads to a pipe (FIFO), not to a file";
    AdoQuery query;
    ConfigRecord values;
    values.SetPhoneText(1, "123");
    ExpectRefusedAtOnce<DatabaseError>(
        pipe, [&] { LoadSettings(query, pipe, values); }, pipeReason);
    ExpectRefusedAtOnce<FileRefused>(
        pipe, [&] { SaveSettings(query, pipe, values); }, pipeReason);
    ExpectRefusedAtOnce<CsvFileError>(
        pipe, [&] { LoadPhoneCsv(pipe, values); }, pipeReason);
    ExpectRefusedAtOnce<CsvFileError>(
        pipe, [&] { SavePhoneCsv(pipe, values); }, pipeReason);

    const std::string device = Device();
    const std::string link = PathOf("out.csv");
    fs::create_symlink(device, link);
    const std::string deviceReason = link + ": the name leads to a device, not to a file";
    ExpectRefusedAtOnce<CsvFileError>(
        pipe, [&] { SavePhoneCsv(link, values); }, deviceReason);
    ExpectRefusedAtOnce<FileRefused>(
        pipe, [&] { SaveSettings(query, link, values); }, deviceReason);
    EXPECT_EQ(PathKindOf(device), PathKind::Device);
    EXPECT_TRUE(fs::is_symlink(link));
    const std::string folder = PathOf("folder.csv");
    fs::create_directories(folder);
    ExpectRefusedAtOnce<CsvFileError>(
        pipe, [&] { SavePhoneCsv(folder, values); },
        folder + ": the name leads to a folder, not to a file");
    EXPECT_TRUE(fs::is_empty(folder));
}

}  // namespace
}  // namespace varnix
