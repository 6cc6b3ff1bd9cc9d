// The genuine sample files opened, and every table their catalogues name (system tables
// too) with its definition, for the tests that walk all of them.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "jet/file.h"

namespace varnix::testing {

struct JetSample {
    std::string name;
    JetFile file;
};

inline std::vector<JetSample> OpenJetSamples(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".mdb") {
            paths.push_back(entry.path());
        }
    }
    std::sort(paths.begin(), paths.end());
    std::vector<JetSample> samples;
    for (const auto& path : paths) {
        samples.push_back({path.filename().string(), JetFile::Open(path.string())});
    }
    return samples;
}

struct JetSampleTable {
    const JetSample* sample;
    JetCatalogueEntry entry;
    JetTableDef def;
    std::string Name() const { return sample->name + " " + entry.name; }
};

inline std::vector<JetSampleTable> JetSampleTables(const std::vector<JetSample>& samples) {
    std::vector<JetSampleTable> tables;
    for (const JetSample& sample : samples) {
        for (const JetCatalogueEntry& entry : sample.file.Tables()) {
            tables.push_back(
                {&sample, entry, ReadJetTableDef(sample.file.Pages(), entry.definition)});
        }
    }
    return tables;
}

}  // namespace varnix::testing
