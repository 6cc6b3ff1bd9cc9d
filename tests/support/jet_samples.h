// Where the genuine Access sample files are: the folder named by VARNIX_JET_SAMPLES, else
// ../shared/jet-samples beside the project. Tests skip when neither holds them.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace varnix::testing {

inline std::optional<std::filesystem::path> JetSamplesFolder() {
    const char* named = std::getenv("VARNIX_JET_SAMPLES");
    const std::filesystem::path folder =
        named != nullptr && *named != '\0'
            ? std::filesystem::path(named)
            : std::filesystem::path(VARNIX_SOURCE_DIR) / ".." / "shared" / "jet-samples";
    if (!std::filesystem::exists(folder / "settings_small.mdb")) {
        return std::nullopt;
    }
    return folder;
}

#define VARNIX_NEED_JET_SAMPLES(folder)                                                  \
    const auto folder = ::varnix::testing::JetSamplesFolder();                           \
    if (!folder) {                                                                       \
        GTEST_SKIP() << "no Access sample files: set VARNIX_JET_SAMPLES or put them in " \
                        "../shared/jet-samples";                                         \
    }

}  // namespace varnix::testing
