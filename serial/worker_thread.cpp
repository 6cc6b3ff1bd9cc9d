#include "worker_thread.h"

#include <chrono>

namespace varnix {

void WorkerThread::Start() {
    thread_ = std::thread([this] {
        Run();
        ended_.store(true);
    });
}

void WorkerThread::Join() {
    if (!thread_.joinable()) {
        return;
    }
    // A wake-up may arrive just before the body enters its wait; repeat until it ends.
    while (!ended_.load() && Interrupt()) {
        for (int i = 0; i < 20 && !ended_.load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    thread_.join();
}

}  // namespace varnix
