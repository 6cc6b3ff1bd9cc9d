// What the device transfers need from the rest of the program. The main window wires the
// real serial port, controls and windowing services; tests use plain fakes.
#pragma once

#include <cstdint>
#include <string>

namespace varnix {

// The serial port component, as far as the transfers use it.
class TransferPort {
  public:
    virtual ~TransferPort() = default;
    virtual void ClosePort() = 0;
    virtual void SetCommName(const std::string& name) = 0;
    // Throws on failure.
    virtual void OpenPort() = 0;
    // Queues a copy of the bytes; false when the port refused them.
    virtual bool SendData(const std::uint8_t* buffer, std::uint16_t length) = 0;
};

// The on-screen values: phone slots 1 to 500, relay settings, password, chosen port.
class TransferScreen {
  public:
    virtual ~TransferScreen() = default;
    virtual std::string PhoneText(int slot) const = 0;
    virtual void SetPhoneText(int slot, const std::string& text) = 0;
    virtual std::string TimeoutText() const = 0;
    virtual void SetTimeoutText(const std::string& text) = 0;
    virtual bool ExternalDisconnect() const = 0;
    virtual void SetExternalDisconnect(bool on) = 0;
    virtual std::string PasswordText() const = 0;
    virtual void SetPasswordText(const std::string& text) = 0;
    // The port name shown in the port setup dialog's list.
    virtual std::string ChosenPortName() const = 0;
};

// The windowing services the transfers use.
class TransferServices {
  public:
    virtual ~TransferServices() = default;
    // Modal box owned by the main window: title "Message", stop icon, OK button.
    virtual void ShowStartFailure(const std::string& text) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // Enables the 500 ms tick; enabling an enabled timer does not restart it.
    virtual void EnableTimer() = 0;
};

}  // namespace varnix
