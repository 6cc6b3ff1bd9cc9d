// Serves the virtual relay device on a pseudo-terminal: parses the PC's frames from the
// line, answers through DeviceLogic, and times the bursts it writes (at least the gap
// apart, optionally late, split, paced at a baud rate, with junk bursts between).
#pragma once

#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <thread>

#include "device_logic.h"
#include "device_state.h"
#include "pc_frame_parser.h"

namespace varnix {

struct DeviceTiming {
    int gapMs = 150;     // least silence between two bursts
    bool split = false;  // each reply in two bursts, the gap apart
    int lateMs = 0;      // each reply this much later
    int noiseMs = 0;     // a junk burst this often (0: never)
    int paceBaud = 0;    // write at this line speed (0: at once)
};

class DeviceRunner {
  public:
    // `log` gets one time-stamped line per frame in or out; null for none.
    DeviceRunner(DeviceState& state, const DeviceBehaviour& behaviour, const DeviceTiming& timing,
                 std::FILE* log);
    ~DeviceRunner();
    DeviceRunner(const DeviceRunner&) = delete;
    DeviceRunner& operator=(const DeviceRunner&) = delete;

    // Creates the pseudo-terminal; false, with `error`, when it cannot.
    bool Open(std::string& error);
    // The path the program must open.
    const std::string& Path() const { return path_; }

    // Serves the line until Stop() or until a hang-up fault closes it.
    void Run();
    // Ends Run(); safe from a signal handler and from another thread.
    void Stop();
    // Run() on a thread of its own, for tests; Join() (or the destructor) waits for it
    // after Stop().
    void Start();
    void Join();
    bool HungUp() const { return hungUp_; }

    // Told of every frame in (when parsed) and every burst out (when its last byte is
    // written), on the runner's thread; set it before Start().
    using Clock = std::chrono::steady_clock;
    std::function<void(bool out, const FrameBytes& bytes, Clock::time_point at)> observer;

  private:
    struct Burst {
        Clock::time_point due;
        FrameBytes bytes;
        const char* what;
    };

    // Bursts go out in order, each at its due time and the gap after the one before.
    void Schedule(FrameBytes bytes, Clock::time_point earliest, const char* what);
    Clock::time_point NextWriteTime() const;
    Clock::duration LineTime(std::size_t bytes) const;
    void ReadLine();
    bool WriteBurst(const Burst& burst);
    void Log(const char* direction, const FrameBytes& bytes, const char* note = "");
    void CloseLine();

    DeviceState& state_;
    DeviceLogic logic_;
    DeviceTiming timing_;
    std::FILE* log_;
    PcFrameParser parser_;
    int master_ = -1;
    int spareSlave_ = -1;
    int stopFd_ = -1;
    std::string path_;
    std::deque<Burst> outgoing_;
    Clock::time_point lastWriteEnd_{};
    Clock::time_point nextNoise_{};
    bool hungUp_ = false;
    std::thread thread_;
};

}  // namespace varnix
