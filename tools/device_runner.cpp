#include "device_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

namespace varnix {

namespace {

// Not a reply: its last byte is not 0xEE.
const FrameBytes kJunk{0x5A, 0xC3, 0x3C, 0x00};

std::string Hex(const FrameBytes& bytes) {
    std::string text;
    char pair[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%s%02X", text.empty() ? "" : " ", byte);
        text += pair;
    }
    return text;
}

}  // namespace

DeviceRunner::DeviceRunner(DeviceState& state, const DeviceBehaviour& behaviour,
                           const DeviceTiming& timing, std::FILE* log)
    : state_(state), logic_(state, behaviour), timing_(timing), log_(log) {}

DeviceRunner::~DeviceRunner() {
    Stop();
    Join();
    CloseLine();
    if (stopFd_ >= 0) {
        close(stopFd_);
    }
}

bool DeviceRunner::Open(std::string& error) {
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char name[128] = {};
    if (stopFd_ < 0 || master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    path_ = name;
    // Holding the slave open keeps the line up between the PC's openings; raw mode stops
    // the line discipline from echoing the device's own replies back to it.
    spareSlave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    if (spareSlave_ < 0 || tcgetattr(spareSlave_, &raw) != 0) {
        error = std::string("cannot open ") + name + ": " + std::strerror(errno);
        return false;
    }
    cfmakeraw(&raw);
    tcsetattr(spareSlave_, TCSANOW, &raw);
    return true;
}

void DeviceRunner::Stop() {
    if (stopFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(stopFd_, &one, sizeof one);
    }
}

void DeviceRunner::Start() {
    thread_ = std::thread([this] { Run(); });
}

void DeviceRunner::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

void DeviceRunner::CloseLine() {
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
    if (spareSlave_ >= 0) {
        close(spareSlave_);
        spareSlave_ = -1;
    }
}

DeviceRunner::Clock::duration DeviceRunner::LineTime(std::size_t bytes) const {
    if (timing_.paceBaud <= 0) {
        return Clock::duration::zero();
    }
    // Ten bits a byte: start, eight data bits, stop.
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) * 10.0 / timing_.paceBaud));
}

void DeviceRunner::Schedule(FrameBytes bytes, Clock::time_point earliest, const char* what) {
    outgoing_.push_back({earliest, std::move(bytes), what});
}

DeviceRunner::Clock::time_point DeviceRunner::NextWriteTime() const {
    return std::max(outgoing_.front().due,
                    lastWriteEnd_ + std::chrono::milliseconds(timing_.gapMs));
}

void DeviceRunner::Log(const char* direction, const FrameBytes& bytes, const char* note) {
    if (log_ == nullptr) {
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    std::fprintf(log_, "%s.%03ld %-3s %s%s\n", stamp, now.tv_nsec / 1000000, direction,
                 Hex(bytes).c_str(), note);
    std::fflush(log_);
}

void DeviceRunner::ReadLine() {
    std::uint8_t chunk[4096];
    const ssize_t got = read(master_, chunk, sizeof chunk);
    if (got <= 0) {
        return;
    }
    parser_.Feed(chunk, static_cast<std::size_t>(got));
    const std::size_t skippedBefore = parser_.Skipped();
    while (auto frame = parser_.Next()) {
        if (observer) {
            observer(false, *frame, Clock::now());
        }
        Log("in", *frame);
        auto replies = logic_.OnFrame(*frame);
        if (logic_.HangupDue()) {
            return;
        }
        const auto earliest = Clock::now() + std::chrono::milliseconds(timing_.lateMs);
        for (FrameBytes& reply : replies) {
            if (timing_.split && reply.size() > 1) {
                const auto half = static_cast<std::ptrdiff_t>(reply.size() / 2);
                Schedule(FrameBytes(reply.begin(), reply.begin() + half), earliest, " (part 1)");
                Schedule(FrameBytes(reply.begin() + half, reply.end()), earliest, " (part 2)");
            } else {
                Schedule(std::move(reply), earliest, "");
            }
        }
    }
    if (parser_.Skipped() != skippedBefore && log_ != nullptr) {
        std::fprintf(log_, "(skipped %zu unknown bytes)\n", parser_.Skipped() - skippedBefore);
    }
}

bool DeviceRunner::WriteBurst(const Burst& burst) {
    const auto start = Clock::now();
    std::size_t done = 0;
    while (done < burst.bytes.size()) {
        std::size_t upTo = burst.bytes.size();
        if (timing_.paceBaud > 0) {
            const auto elapsed = Clock::now() - start;
            upTo = done + 1;
            while (upTo < burst.bytes.size() && LineTime(upTo) <= elapsed) {
                ++upTo;
            }
        }
        const ssize_t n = write(master_, burst.bytes.data() + done, upTo - done);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        }
        if (done < burst.bytes.size()) {
            const auto wait = timing_.paceBaud > 0 ? start + LineTime(done) : Clock::now();
            std::this_thread::sleep_until(
                std::max(wait, Clock::now() + std::chrono::microseconds(200)));
        }
    }
    lastWriteEnd_ = Clock::now();
    if (observer) {
        observer(true, burst.bytes, lastWriteEnd_);
    }
    Log("out", burst.bytes, burst.what);
    return true;
}

void DeviceRunner::Run() {
    if (timing_.noiseMs > 0) {
        nextNoise_ = Clock::now() + std::chrono::milliseconds(timing_.noiseMs);
    }
    while (master_ >= 0) {
        auto wakeAt = Clock::time_point::max();
        if (!outgoing_.empty()) {
            wakeAt = NextWriteTime();
        }
        if (timing_.noiseMs > 0) {
            wakeAt = std::min(wakeAt, nextNoise_);
        }
        int timeoutMs = -1;
        if (wakeAt != Clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - Clock::now());
            timeoutMs = static_cast<int>(std::max<long long>(0, left.count()));
        }
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {master_, POLLIN, 0}};
        if (poll(fds, 2, timeoutMs) < 0 && errno != EINTR) {
            break;
        }
        if (fds[0].revents != 0) {
            break;
        }
        if (fds[1].revents & POLLIN) {
            ReadLine();
            if (logic_.HangupDue()) {
                hungUp_ = true;
                CloseLine();
                break;
            }
        }
        const auto now = Clock::now();
        if (timing_.noiseMs > 0 && now >= nextNoise_) {
            Schedule(kJunk, now, " (junk)");
            nextNoise_ = now + std::chrono::milliseconds(timing_.noiseMs);
        }
        while (!outgoing_.empty() && NextWriteTime() <= Clock::now()) {
            const Burst burst = std::move(outgoing_.front());
            outgoing_.pop_front();
            if (!WriteBurst(burst)) {
                break;
            }
        }
    }
}

}  // namespace varnix
