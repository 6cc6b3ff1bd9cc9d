// How the virtual relay device answers the PC's frames, with the faults it can be told
// to show. Timing faults (split, late, noise, pacing) belong to the runner.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "device_state.h"
#include "link_frame.h"

namespace varnix {

struct DeviceBehaviour {
    int recordsPerReply = 5;      // 0 to 15
    bool silent = false;          // answers nothing, changes nothing
    bool reject = false;          // answers writes with 0x21 and stores nothing
    int dropEvery = 0;            // ignores every Nth frame (0: none)
    std::optional<int> announce;  // record count announced whatever is held
    int hangupAfter = 0;          // closes the line when the Nth frame arrives (0: never)
};

class DeviceLogic {
  public:
    DeviceLogic(DeviceState& state, const DeviceBehaviour& behaviour)
        : state_(state), behaviour_(behaviour) {}

    // The replies to one PC frame, each to go out as one burst.
    std::vector<FrameBytes> OnFrame(const FrameBytes& frame);
    // True once the line is to be closed.
    bool HangupDue() const { return hangupDue_; }
    int FramesSeen() const { return framesSeen_; }

  private:
    std::vector<FrameBytes> Handle(const FrameBytes& frame);
    FrameBytes NextReadReply();
    FrameBytes WriteAnswer() const { return BuildStatusReply(Command::Accepted); }

    DeviceState& state_;
    DeviceBehaviour behaviour_;
    int framesSeen_ = 0;
    bool hangupDue_ = false;
    // A read in progress: the phones still to send, in rising order.
    bool reading_ = false;
    std::vector<int> readSlots_;
    std::size_t readNext_ = 0;
};

}  // namespace varnix
