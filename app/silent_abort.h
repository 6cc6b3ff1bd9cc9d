// The silent abort: a handler ends itself at once by throwing it, and the event dispatch
// drops it without any message.
#pragma once

#include <exception>

namespace varnix {

class SilentAbort : public std::exception {
  public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

}  // namespace varnix
