// The program's windows with the virtual relay device on a pseudo-terminal linked as
// COM1, as the end-to-end suites use them.
#pragma once

#include <QTest>
#include <memory>
#include <string>

#include "device_runner.h"
#include "main_window_fixture.h"
#include "port_link.h"

namespace varnix::testing {

class DeviceWindowFixture : public MainWindowFixture {
  protected:
    // Puts a device with `behaviour` and `timing` on COM1. One that was there before goes
    // away first, and the window is given time to learn that its line is gone.
    void Device(const DeviceBehaviour& behaviour = {}, const DeviceTiming& timing = {}) {
        if (device_) {
            RemoveDevice();
            EXPECT_TRUE(QTest::qWaitFor([&] { return !form1->Session().PortReady(); }, 5000));
        }
        link_.Remove();
        device_ = std::make_unique<DeviceRunner>(state, behaviour, timing, nullptr);
        std::string error;
        ASSERT_TRUE(device_->Open(error)) << error;
        ASSERT_TRUE(link_.Create("COM1", device_->Path(), error)) << error;
        device_->Start();
    }
    // Takes the device away as an unplugged adapter goes: its link now leads nowhere.
    void RemoveDevice() {
        device_->Stop();
        device_->Join();
        device_.reset();
    }
    // What the device holds; it stops answering, so its state can be read.
    const DeviceState& Held() {
        device_->Stop();
        device_->Join();
        return state;
    }

    DeviceState state;

  private:
    std::unique_ptr<DeviceRunner> device_;
    PortLink link_;
};

}  // namespace varnix::testing
