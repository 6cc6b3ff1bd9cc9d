// Frames cut out of what the line delivers, however it is split.
#include <gtest/gtest.h>

#include "pc_frame_parser.h"
#include "relay_frames.h"

namespace varnix {
namespace {

using namespace testing;

TEST(PcFrameParserTest, FramesSplitOverReadsSeveralPerReadAndJunkSkipped) {
    PcFrameParser parser;
    const Bytes records = WriteRecords({{1, "12"}, {2, "34"}});
    Bytes stream{0x00, 0xAA, 0x99};  // junk, then a start byte with an unknown code
    stream.insert(stream.end(), kRead.begin(), kRead.end());
    stream.insert(stream.end(), records.begin(), records.end());
    stream.insert(stream.end(), kAck.begin(), kAck.end());
    std::vector<Bytes> frames;
    for (std::size_t i = 0; i < stream.size(); i += 5) {  // in pieces of five
        parser.Feed(stream.data() + i, std::min<std::size_t>(5, stream.size() - i));
        while (auto frame = parser.Next()) {
            frames.push_back(*frame);
        }
    }
    EXPECT_EQ(frames, (std::vector<Bytes>{kRead, records, kAck}));
    EXPECT_EQ(parser.Skipped(), 3u);

    // A frame whose end byte is wrong is skipped from its start byte on.
    PcFrameParser strict;
    const Bytes bad{0xAA, 0x01, 0x00, 0x55, 0xAA, 0x10, 0x00, 0xEE};
    strict.Feed(bad.data(), bad.size());
    EXPECT_EQ(strict.Next(), kAck);
    EXPECT_FALSE(strict.Next());
}

}  // namespace
}  // namespace varnix
