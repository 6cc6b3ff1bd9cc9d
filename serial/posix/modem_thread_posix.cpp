#include "modem_thread_posix.h"

#include <pthread.h>
#include <sys/ioctl.h>

#include <cerrno>
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

ModemThread::ModemThread(const ThreadLinks& links, CommEventWatch& events)
    : CommThread(links), events_(events) {
    InstallInterruptHandler();
}

bool ModemThread::Interrupt() {
    pthread_kill(NativeHandle(), InterruptSignal());
    return true;
}

void ModemThread::Run() {
    // Without the driver's counters a change cannot be told apart from a hang-up.
    while (events_.Supported() && !StopRequested()) {
        const int result =
            os_.Ioctl(FPortHandle, TIOCMIWAIT, reinterpret_cast<void*>(TIOCM_CD | TIOCM_RNG));
        if (result != 0) {
            const OsFailure failure = ClassifyFailure(errno);
            if (failure == OsFailure::Retry) {
                continue;
            }
            if (failure == OsFailure::LineGone) {
                PostHangupRequest();
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
}

}  // namespace varnix
