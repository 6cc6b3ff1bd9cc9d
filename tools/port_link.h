// Makes a device path the port "COMn" of the port-name map while it exists: a link
// <config>/ports/COMn. What was there before is kept aside and put back on removal.
#pragma once

#include <string>

namespace varnix {

class PortLink {
  public:
    PortLink() = default;
    ~PortLink() { Remove(); }
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    bool Create(const std::string& portName, const std::string& target, std::string& error);
    void Remove();
    const std::string& LinkPath() const { return linkPath_; }

  private:
    std::string linkPath_;
    std::string savedPath_;
};

}  // namespace varnix
