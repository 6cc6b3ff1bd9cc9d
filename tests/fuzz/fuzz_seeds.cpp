// Writes the seed corpora of the fuzz targets: seeds/transfer/* and seeds/settings/*, made
// from the frame tables and the settings file template, and seeds/jet_writer/*.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "link_frame.h"
#include "transfer_ops.h"

namespace {

using namespace varnix;
using Bytes = std::vector<std::uint8_t>;
using namespace varnix::fuzz;

void Burst(Bytes& seed, const Bytes& frame) {
    seed.push_back(kBurst);
    seed.push_back(static_cast<std::uint8_t>(frame.size()));
    seed.insert(seed.end(), frame.begin(), frame.end());
}

std::vector<PhoneRecord> Records(int first, int count) {
    std::vector<PhoneRecord> records;
    for (int slot = first; slot < first + count; ++slot) {
        records.push_back({slot, "+38" + std::to_string(slot)});
    }
    return records;
}

void Save(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out / "transfer");
    std::filesystem::create_directories(out / "settings");
    const Bytes accepted = BuildStatusReply(Command::Accepted);

    Bytes read{kStartRead, kTick};
    Burst(read, BuildParametersReply(7, 1000, true));
    Burst(read, BuildPhoneRecordsReply(Records(1, 5)));
    Burst(read, BuildPhoneRecordsReply(Records(6, 2)));
    Burst(read, BuildStatusReply(Command::TransferEnd));
    Save(out / "transfer" / "read", read);

    Bytes write{kSetPhone, 0, 0, 3,   '1', '2',         '3',  kSetPhone,
                249,       1, 2, '+', '9', kStartWrite, kTick};
    Burst(write, accepted);
    write.insert(write.end(), {kTick, kTick});
    Burst(write, accepted);
    write.insert(write.end(), {kTick, kTick});
    Save(out / "transfer" / "write", write);

    Bytes passwords{kStartGet, kTick};
    Burst(passwords, BuildPasswordReply("4321"));
    passwords.insert(passwords.end(), {kStartSet, kTick});
    Burst(passwords, BuildStatusReply(Command::Status21));
    passwords.insert(passwords.end(), {kTick, kTick, kTick, kTick});
    Save(out / "transfer" / "passwords", passwords);

    // An acceptance of the password frame that comes after the write has started.
    Bytes stale{kStartSet, kTick, kStartWrite};
    Burst(stale, accepted);
    stale.insert(stale.end(), {kTick, kTick});
    Save(out / "transfer" / "stale", stale);

    Save(out / "transfer" / "silent",
         {kStartRead, kTick, kTick, kTick, kTick, kStartWrite, kTick, kTick, kTick});
    Bytes wide{kStartRead, kTick};
    Burst(wide, BuildParametersReply(501, 65535, false));
    Burst(wide, BuildPhoneRecordsReply(Records(490, 15)));
    Save(out / "transfer" / "wide", wide);

    // Settings files: the template as it is, and a recipe for a filled database.
    std::ifstream in(argv[2], std::ios::binary);
    Bytes raw{0};
    raw.insert(raw.end(), std::istreambuf_iterator<char>(in), {});
    Save(out / "settings" / "template", raw);
    Save(out / "settings" / "recipe",
         {1, 0x30, 0, 0x11, 7, 0x32, '5', '5', 1, 0x11, 0xEA, 0x09, 1, 0, 0x19, 1, 2, 2, 'x'});

    // The Access writer's: bytes of a fixed pseudo-random run, whose last byte picks the
    // sample, long enough for many slots and texts from the start.
    std::filesystem::create_directories(out / "jet_writer");
    std::uint32_t state = 1;
    for (int seed = 0; seed < 16; ++seed) {
        Bytes input(256 + 64 * static_cast<std::size_t>(seed));
        for (std::uint8_t& byte : input) {
            state = state * 1103515245u + 12345u;
            byte = static_cast<std::uint8_t>(state >> 24);
        }
        input.back() = static_cast<std::uint8_t>(seed);
        Save(out / "jet_writer" / ("random-" + std::to_string(seed)), input);
    }
    return 0;
}
