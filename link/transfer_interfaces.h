// What the device transfers need from the rest of the program: the serial port, the
// configuration they read and fill (ConfigValues), and the services of whoever runs them.
// The device session wires the real serial port; tests use plain fakes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "config_values.h"
#include "port_open_error.h"

namespace varnix {

// The serial port component, as far as the transfers use it.
class TransferPort {
  public:
    virtual ~TransferPort() = default;
    virtual void ClosePort() = 0;
    virtual void SetCommName(const std::string& name) = 0;
    // Opens the port of the last SetCommName; throws PortOpenFailure when it does not open.
    virtual void OpenPort() = 0;
    // Queues a copy of the bytes; false when the port refused them.
    virtual bool SendData(const std::uint8_t* buffer, std::uint16_t length) = 0;
};

enum class TransferKind { Read, Write, GetPassword, SetPassword };

// Why a transfer did not start.
enum class StartProblem {
    PortNotOpened,     // "Can not open " + port name
    Aborted,           // something other than the port failed on the way: its own words
    TimeoutNotNumber,  // "Please enter the digital."
    TimeoutTooLarge,   // "Relay TimeOut more than 59 seconds."
    PasswordInvalid,   // "Please enter a four-digit password."
    PhoneInvalid,      // a slot holds what cannot go to the device
};

// Why a started transfer ended without its result.
enum class TransferFailure {
    NoReply,         // the device did not answer, or not in time
    DeviceRefused,   // the device answered, but never accepted the frame
    RecordsStopped,  // a read whose announced records stopped coming
    BadReply,        // a reply the transfer cannot complete with
    Interrupted,     // the device's settings arrived in the middle of a write
};

struct StartFailure {
    StartProblem problem;
    std::string text;                     // the message the window shows
    std::string reason;                   // the serial component's words, where there are any
    int slot = 0;                         // the first slot at fault, where a slot is
    std::optional<PortOpenError> port{};  // PortNotOpened: why the port did not open
};

// The services of whoever runs the transfers. Beside the status texts, the course of each
// transfer is reported typed: progress, the end with its result, or why it failed.
class TransferServices {
  public:
    virtual ~TransferServices() = default;
    // The port name of the next open.
    virtual std::string PortName() const = 0;
    virtual void StartFailed(const StartFailure& failure) = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // Enables the 500 ms tick; enabling an enabled timer does not restart it.
    virtual void EnableTimer() = 0;
    // `done` of `total`: phone records of a read, slots of a write.
    virtual void TransferProgress(TransferKind kind, int done, int total) = 0;
    virtual void TransferDone(TransferKind kind) = 0;
    virtual void TransferFailed(TransferKind kind, TransferFailure failure) = 0;
};

}  // namespace varnix
