// The reader: waits for received bytes and cuts them into chunks by the read time-outs,
// each chunk one data message; looks for line errors after each read; ends on the stop
// descriptor or when the line goes away (with a hang-up request).
#pragma once

#include <cstddef>

#include "comm_event_watch_posix.h"
#include "serial_os_posix.h"
#include "thread_shared_posix.h"

namespace varnix {

inline constexpr std::size_t kReadChunkSize = 2048;

class TReadThread : public CommThread {
  public:
    TReadThread(const ThreadLinks& links, const SharedTimeouts& timeouts, CommEventWatch& events)
        : CommThread(links), timeouts_(timeouts), events_(events) {}

  private:
    enum class ReadEnd { Chunk, Stop, Gone };

    void Run() override;
    ReadEnd ReadChunk(unsigned char* buffer, std::size_t& count);

    const SharedTimeouts& timeouts_;
    CommEventWatch& events_;
};

}  // namespace varnix
