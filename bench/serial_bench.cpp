// Serial component figures: latency from the last received byte to OnReceiveData, less
// the 100 ms silence the read waits for, and the processor time of an idle open port.
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "comm.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);

    varnix::TComm comm;
    comm.SetCommName(name);
    Clock::time_point sentAt;
    std::vector<double> latencies;
    comm.OnReceiveData = [&](varnix::TComm*, const std::uint8_t*, std::uint16_t) {
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - sentAt).count();
        latencies.push_back(ms - comm.ReadIntervalTimeout());
    };
    comm.OpenPort();

    const int runs = 20;
    const std::uint8_t reply[13] = {0xAA, 0x22, 0x09, 0, 7, 3, 0xE8, 1, 0, 0, 0, 0, 0xEE};
    for (int i = 0; i < runs; ++i) {
        sentAt = Clock::now();
        if (write(master, reply, sizeof reply) != static_cast<ssize_t>(sizeof reply)) {
            return 1;
        }
        Spin(250);
    }
    std::sort(latencies.begin(), latencies.end());

    Spin(200);
    const double cpuBefore = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const double idleCpu = CpuSeconds() - cpuBefore;
    comm.ClosePort();

    std::printf("serial component (pseudo-terminal)\n");
    std::printf(
        "  receive latency beyond the 100 ms silence: median %.2f ms, worst %.2f ms "
        "(%zu bursts)\n",
        latencies[latencies.size() / 2], latencies.back(), latencies.size());
    std::printf("  processor time, 5 s idle with the port open: %.4f s\n", idleCpu);
    return 0;
}
