// The operating system's side of the serial component, without Qt: opens and configures
// one port, runs its reader and writer threads and queues blocks for the writer. The
// threads report to the notifier given at creation. One implementation per operating
// system; the build picks it.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "comm_inbox.h"
#include "comm_types.h"

namespace varnix {

class PortBackend {
  public:
    virtual ~PortBackend() = default;
    // Opens `name` and starts the threads; throws ECommsError with the cause, leaving the
    // port closed.
    virtual void Open(const std::string& name, const LineSettings& line,
                      const CommTimeouts& timeouts) = 0;
    // Stops the threads and closes the port; also after a half-finished open. Never throws.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // False when the block cannot be queued (closed, or the writer has ended).
    virtual bool Send(const std::uint8_t* buffer, std::uint16_t length) = 0;
    virtual void ApplyLine(const LineSettings& line) = 0;
    virtual void ApplyTimeouts(const CommTimeouts& timeouts) = 0;

  protected:
    // One step of Open: a step that returns false or throws (allocation, thread creation)
    // closes what the open has made so far and raises `failure` with `cause`.
    template <typename Step>
    void OpenStep(const char* failure, const PortOpenError& cause, Step step) {
        bool done = false;
        try {
            done = step();
        } catch (const std::exception&) {
            // Reported below like any other failure.
        }
        if (!done) {
            Close();
            throw ECommsError(failure, cause);
        }
    }
};

// The operating system's port, reporting to `notify`.
std::unique_ptr<PortBackend> MakePortBackend(CommNotifier& notify);

}  // namespace varnix
