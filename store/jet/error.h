// The one error type of the Jet code: what went wrong with an Access file, in words a
// message box can show.
#pragma once

#include <stdexcept>
#include <string>

namespace varnix {

class JetError : public std::runtime_error {
  public:
    enum class Kind { Damaged, NoSuchTable, Unsupported };
    JetError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

  private:
    Kind kind_;
};

// The file contradicts itself: "the Access file is damaged: <what>".
[[noreturn]] void JetDamaged(const std::string& what);
// The file is sound, but Varnix cannot read or keep this part of it exactly.
[[noreturn]] void JetUnsupported(const std::string& what);

}  // namespace varnix
