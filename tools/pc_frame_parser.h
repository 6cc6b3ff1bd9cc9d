// Finds the PC's frames in the byte stream the device receives: several in one read or
// one split over reads. Bytes that cannot start a known frame are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "link_frame.h"

namespace varnix {

class PcFrameParser {
  public:
    void Feed(const std::uint8_t* bytes, std::size_t count);
    // The next complete frame, or nothing until more bytes arrive.
    std::optional<FrameBytes> Next();
    // Bytes skipped as not belonging to any frame so far.
    std::size_t Skipped() const { return skipped_; }

  private:
    // The length of a frame starting at the buffer's front: 0 when it cannot be a frame,
    // -1 when more bytes are needed to tell.
    int FrameLength() const;
    void Skip();

    std::vector<std::uint8_t> buffer_;
    std::size_t skipped_ = 0;
};

}  // namespace varnix
