// The virtual relay device: plays the ZUR relay switch on a pseudo-terminal, so that the
// program can be tried and tested without hardware.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device_runner.h"
#include "port_link.h"

namespace {

const char kHelp[] =
    "Usage: virtual_relay_device [options]\n"
    "Plays the ZUR relay switch on a pseudo-terminal and prints the path to open.\n"
    "\n"
    "  --link COMn        make the pseudo-terminal the port COMn while running\n"
    "  --numbers N        start with generated numbers in phones 1 to N\n"
    "  --state FILE       start from FILE: slot=number, timeout=, flag=, password= lines\n"
    "  --save             write the state back to FILE on exit\n"
    "  --per-reply K      records in each phone records reply, 0 to 15 (default 5)\n"
    "  --pace-baud BAUD   write at this line speed (9600: about 1.04 ms a byte)\n"
    "Faults:\n"
    "  --silent           answer nothing\n"
    "  --reject           answer writes with 0x21 and store nothing\n"
    "  --split            send each reply in two bursts 150 ms apart\n"
    "  --noise MS         send a junk burst every MS ms\n"
    "  --late MS          send every reply MS ms late\n"
    "  --drop N           ignore every Nth frame\n"
    "  --announce N       announce N records whatever is held\n"
    "  --hangup-after N   close the line when the Nth frame arrives\n"
    "Logging:\n"
    "  --log FILE         log every frame in and out, time-stamped, in hex\n"
    "  -v                 log to standard error\n"
    "  --help             show this text\n"
    "\n"
    "Ends on SIGINT or SIGTERM. The device starts with no numbers, time-out 0, the flag\n"
    "off and the password 7093.\n";

varnix::DeviceRunner* runningDevice = nullptr;

void OnSignal(int) {
    if (runningDevice != nullptr) {
        runningDevice->Stop();
    }
}

bool ParseInt(const char* text, int min, int max, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < min || parsed > max) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "virtual_relay_device: %s\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    varnix::DeviceState state;
    varnix::DeviceBehaviour behaviour;
    varnix::DeviceTiming timing;
    std::string linkName, stateFile, logFile;
    bool save = false, verbose = false;
    int numbers = 0;

    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&](int min, int max, int& out) {
            if (value == nullptr || !ParseInt(value, min, max, out)) {
                return false;
            }
            ++i;
            return true;
        };
        auto text = [&](std::string& out) {
            if (value == nullptr) {
                return false;
            }
            out = value;
            ++i;
            return true;
        };
        int announce = 0;
        bool good = true;
        if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (option == "--link") {
            good = text(linkName);
        } else if (option == "--numbers") {
            good = number(0, varnix::kSlotCount, numbers);
        } else if (option == "--state") {
            good = text(stateFile);
        } else if (option == "--save") {
            save = true;
        } else if (option == "--per-reply") {
            good = number(0, 15, behaviour.recordsPerReply);
        } else if (option == "--pace-baud") {
            good = number(1, 4000000, timing.paceBaud);
        } else if (option == "--silent") {
            behaviour.silent = true;
        } else if (option == "--reject") {
            behaviour.reject = true;
        } else if (option == "--split") {
            timing.split = true;
        } else if (option == "--noise") {
            good = number(1, 3600000, timing.noiseMs);
        } else if (option == "--late") {
            good = number(0, 3600000, timing.lateMs);
        } else if (option == "--drop") {
            good = number(1, 1000000, behaviour.dropEvery);
        } else if (option == "--announce") {
            good = number(0, 65535, announce);
            behaviour.announce = announce;
        } else if (option == "--hangup-after") {
            good = number(1, 1000000, behaviour.hangupAfter);
        } else if (option == "--log") {
            good = text(logFile);
        } else if (option == "-v") {
            verbose = true;
        } else {
            return Fail("unknown option " + option + " (see --help)");
        }
        if (!good) {
            return Fail("missing or bad value for " + option + " (see --help)");
        }
    }
    if (save && stateFile.empty()) {
        return Fail("--save needs --state FILE");
    }

    std::string error;
    if (!stateFile.empty() && !varnix::LoadDeviceState(stateFile, state, error)) {
        return Fail(error);
    }
    varnix::FillGeneratedNumbers(state, numbers);

    std::FILE* log = verbose ? stderr : nullptr;
    if (!logFile.empty()) {
        log = std::fopen(logFile.c_str(), "a");
        if (log == nullptr) {
            return Fail(logFile + ": " + std::strerror(errno));
        }
    }

    varnix::DeviceRunner device(state, behaviour, timing, log);
    if (!device.Open(error)) {
        return Fail(error);
    }
    varnix::PortLink link;
    if (!linkName.empty() && !link.Create(linkName, device.Path(), error)) {
        return Fail(error);
    }
    std::printf("%s\n", device.Path().c_str());
    if (!linkName.empty()) {
        std::printf("linked as %s (%s)\n", linkName.c_str(), link.LinkPath().c_str());
    }
    std::fflush(stdout);

    runningDevice = &device;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    device.Run();
    runningDevice = nullptr;
    if (device.HungUp()) {
        std::fprintf(stderr, "virtual_relay_device: line closed after %d frames\n",
                     behaviour.hangupAfter);
    }
    link.Remove();
    if (save && !varnix::SaveDeviceState(stateFile, state, error)) {
        return Fail(error);
    }
    if (log != nullptr && log != stderr) {
        std::fclose(log);
    }
    return 0;
}
