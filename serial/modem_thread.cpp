#include "modem_thread.h"

#include <pthread.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <mutex>

namespace varnix {

namespace {

int InterruptSignal() {
    return SIGRTMIN + 3;
}

void InstallInterruptHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: the blocked ioctl returns EINTR
        sigaction(InterruptSignal(), &action, nullptr);
    });
}

}  // namespace

void ModemThread::Start() {
    InstallInterruptHandler();
    thread_ = std::thread([this] { Run(); });
}

void ModemThread::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    // The signal may arrive just before the thread enters the wait; repeat until it ends.
    while (!ended_.load()) {
        pthread_kill(thread_.native_handle(), InterruptSignal());
        for (int i = 0; i < 20 && !ended_.load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    thread_.join();
}

void ModemThread::Run() {
    // Without the driver's counters a change cannot be told apart from a hang-up.
    while (events_.Supported() && !StopRequested(os_, FStopEvent)) {
        const int result =
            os_.Ioctl(FPortHandle, TIOCMIWAIT, reinterpret_cast<void*>(TIOCM_CD | TIOCM_RNG));
        if (result != 0) {
            const int error = errno;
            if (error == EINTR) {
                continue;
            }
            if (error != ENOTTY && error != EINVAL && error != EBADF) {
                FNotifyWnd.Post({CommMessage::Kind::Hangup, 0, {}});
            }
            break;
        }
        const auto messages = DecodeCommEvent(events_.Take(true));
        for (const CommMessage& message : messages) {
            FNotifyWnd.Post(message);
        }
        if (messages.back().kind == CommMessage::Kind::Hangup) {
            break;
        }
    }
    ended_.store(true);
}

}  // namespace varnix
