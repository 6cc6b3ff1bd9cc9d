// The serial port component as the port of the device transfers.
#pragma once

#include "comm.h"
#include "transfer_interfaces.h"

namespace varnix {

class CommTransferPort : public TransferPort {
  public:
    explicit CommTransferPort(TComm& comm) : comm_(comm) {}
    void ClosePort() override { comm_.ClosePort(); }
    void SetCommName(const std::string& name) override { comm_.SetCommName(name); }
    void OpenPort() override { comm_.OpenPort(); }
    bool SendData(const std::uint8_t* buffer, std::uint16_t length) override {
        return comm_.SendData(buffer, length);
    }

  private:
    TComm& comm_;
};

}  // namespace varnix
