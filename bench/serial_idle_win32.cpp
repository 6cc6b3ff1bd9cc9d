// The Windows side of the idle-cost benchmark under Wine (scripts/windows/bench-idle):
// opens COM1, exchanges one frame with the relay device, then stays idle with the port
// open and again with it closed, while the script measures the process from Linux.
#include <cstdio>

#include "comm_inbox.h"
#include "link_frame.h"
#include "port_backend.h"

// After the component's headers: they define the comm flags under their Windows names.
#include <windows.h>

namespace {

// Tells the measuring script what state the process is in, then stays idle while it
// measures.
void IdleAs(const char* what) {
    std::printf("idle %s\n", what);
    std::fflush(stdout);
    ::Sleep(12000);
}

}  // namespace

int main() {
    using namespace varnix;
    CommInbox inbox;
    auto port = MakePortBackend(inbox);
    LineSettings line;
    line.outxXonXoffFlow = line.inxXonXoffFlow = false;
    port->Open("COM1", line, {});
    std::uint8_t request[kShortFrameLength];
    BuildShortFrame(request, Command::ReadRequest);
    port->Send(request, sizeof request);
    bool replied = false;
    for (int i = 0; i < 50 && !replied; ++i) {
        ::WaitForSingleObject(reinterpret_cast<HANDLE>(inbox.WakeHandle()), 100);
        inbox.ClearWake();
        while (auto message = inbox.Take()) {
            replied = replied || message->kind == CommMessage::Kind::Data;
        }
    }
    if (!replied) {
        std::fprintf(stderr, "no reply from the device on COM1\n");
        return 1;
    }
    IdleAs("open");
    port->Close();
    IdleAs("closed");
    return 0;
}
