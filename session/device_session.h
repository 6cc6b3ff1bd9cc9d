// One technician's work with a relay switch, without any window: the serial port, the
// transfers' 500 ms tick, the four device transfers on a configuration, the port to use
// and the settings files. The window draws it and forwards its clicks; the command line
// runs it to the end of one transfer. A read can also fill a copy of the session's own
// instead of the values, to compare the device with them. Everything runs on the thread of
// the event loop.
#pragma once

#include <QObject>
#include <functional>
#include <optional>
#include <string>

#include "comm.h"
#include "comm_transfer_port.h"
#include "config_values.h"
#include "device_transfer.h"
#include "session_failure.h"
#include "session_files.h"
#include "tick_timer.h"
#include "values_switch.h"

namespace varnix {

class DeviceSession : public QObject, private TransferServices {
    Q_OBJECT
  public:
    static constexpr int kTickMs = 500;

    // `values` is what the transfers read and fill; `guard` runs every tick and every
    // received burst.
    DeviceSession(ConfigValues& values, EventGuard guard, QObject* parent = nullptr);
    ~DeviceSession() override;

    TComm& Comm() { return comm_; }
    TickTimer& Timer() { return timer_; }
    DeviceTransfer& Transfer() { return transfer_; }
    SessionFiles& Files() { return files_; }
    const SessionFiles& Files() const { return files_; }

    // The port of the next open: the chooser's answer when there is one (the window's
    // port list), else the name given.
    void SetPortChooser(std::function<std::string()> chooser) { chooser_ = std::move(chooser); }
    void SetPortName(const std::string& name) { portName_ = name; }
    std::string PortName() const override;
    // The transfers hold the port open (DeviceTransfer::PortReady).
    bool PortReady() const { return transfer_.PortReady; }
    // The port choice was confirmed: the next transfer opens its port afresh.
    void PortChanged() { transfer_.PortReady = false; }

    void Read();
    // Reads the device as Read() does, with the same status texts and signals (its kind is
    // TransferKind::Read), into DeviceCopy() instead of the values; they stay untouched.
    void ReadCopy();
    // What the last ReadCopy() read: the device's configuration once it has finished, as
    // far as it came when it failed, and "Crear All"'s values before any.
    const ConfigRecord& DeviceCopy() const { return copy_; }
    // The transfer started last is a ReadCopy(): a finished read is that copy's.
    bool ReadingCopy() const { return readingCopy_; }

    void Write();
    void GetPassword();
    void SetPassword();
    // Stops the running transfer, which then fails as cancelled.
    void Cancel();
    // A transfer has started and not yet ended.
    bool Busy() const { return active_.has_value(); }

  signals:
    void statusChanged(const std::string& text);
    // `done` of `total`: numbers of a read, slots of a write.
    void progressed(TransferKind kind, int done, int total);
    void finished(TransferKind kind);
    void failed(TransferKind kind, const SessionFailure& failure);

  private:
    // TransferServices
    void StartFailed(const StartFailure& failure) override;
    void SetStatusText(const std::string& text) override { emit statusChanged(text); }
    void EnableTimer() override { timer_.SetEnabled(true); }
    void TransferProgress(TransferKind kind, int done, int total) override;
    void TransferDone(TransferKind kind) override;
    void TransferFailed(TransferKind kind, TransferFailure failure) override;

    template <typename Start>
    void Begin(TransferKind kind, Start start, ConfigValues& target);
    // Reports the running transfer's failure once; later reports of it are dropped.
    void Fail(SessionFailure failure);
    void LineLost();
    // `why` the running transfer ends, and for a write what the device now holds.
    std::string WhatIsLeft(const std::string& why) const;

    ConfigValues& values_;
    ConfigRecord copy_;
    // What the transfer works on: the values, or the copy from the start of a ReadCopy()
    // to the start of the next transfer, so that late replies of that read land there too.
    ValuesSwitch target_{values_};
    bool readingCopy_ = false;
    EventGuard guard_;
    TComm comm_;
    TickTimer timer_;
    CommTransferPort port_{comm_};
    DeviceTransfer transfer_;
    SessionFiles files_;
    std::function<std::string()> chooser_;
    std::string portName_;
    // The transfer started and not yet reported as ended.
    std::optional<TransferKind> active_;
};

}  // namespace varnix
