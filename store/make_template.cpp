// Writes the template settings file: a genuine, empty Access 2000 (Jet 4) database holding
// the tables phone (id Long Integer, phone Text(255)) and pcong (time Long Integer, rec Long
// Integer), both empty. Its creation date is SOURCE_DATE_EPOCH when set, else now.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "jet/create.h"
#include "jet/error.h"

namespace {

constexpr char kUsage[] =
    "usage: make_template FILE\n"
    "Writes the settings file template, its tables empty, to FILE.\n";

std::vector<varnix::JetNewTable> SettingsTables() {
    using Column = varnix::JetNewColumn;
    return {
        {"phone", {{"id", Column::Type::LongInteger}, {"phone", Column::Type::Text, 255}}},
        {"pcong", {{"time", Column::Type::LongInteger}, {"rec", Column::Type::LongInteger}}},
    };
}

std::time_t CreationTime() {
    const char* fixed = std::getenv("SOURCE_DATE_EPOCH");
    if (fixed != nullptr && *fixed != '\0') {
        char* end = nullptr;
        const long long seconds = std::strtoll(fixed, &end, 10);
        if (*end == '\0' && seconds >= 0) {
            return static_cast<std::time_t>(seconds);
        }
    }
    return std::time(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // It takes no options: anything that looks like one is refused, never taken as a name.
    if (argc != 2 || argv[1][0] == '-' || argv[1][0] == '\0') {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes = varnix::CreateJetDatabase(SettingsTables(), varnix::JetDateOf(CreationTime()));
    } catch (const varnix::JetError& error) {
        std::fprintf(stderr, "make_template: %s\n", error.what());
        return 1;
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "%s: the file could not be written\n", argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
