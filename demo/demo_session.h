// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTimer>
#include <functional>

#include "app/frmMain.h"
#include "demo/cpu_use.h"
#include "demo/demo_charge_control.h"
#include "demo/demo_platform.h"
#include "demo/scaled_clock.h"
#include "demo/simulator_window.h"
#include "power/simulated_battery.h"

namespace demo {

// The demo: the real window on the real Qt platform, with a simulated
// battery as its power source and the simulator window beside it.
class DemoSession {
public:
    // quit stops the event loop (QtPlatform's default when empty);
    // switchOff is what happens when the simulated machine dies, by default
    // the process ending at once, as a notebook whose battery runs out.
    DemoSession(QString resultLogPath, QString runRecordDirectory, std::function<void()> quit = {},
                std::function<void()> switchOff = {});

    // Loads the main window and shows the simulator beside it.
    void Start();

    frmMain& Window() { return window_; }
    BatterySimulatorWindow& Simulator() { return simulator_; }
    power::SimulatedBattery& Battery() { return battery_; }
    platform::QtPlatform& Platform() { return platform_; }

    // 90 Wh last three real minutes at 60x under one busy processor (and
    // less than two with every processor busy); 45 W
    // fill it from 60 % in under a minute.
    static constexpr double kCapacityWh = 90.0;
    static constexpr double kChargeRateW = 45.0;
    static constexpr int kRefreshMs = 200;

private:
    void Refresh();
    void PlaceWindows();

    ScaledClock clock_;
    CpuUse cpu_;
    power::SimulatedBattery battery_;
    DemoChargeControl charging_{battery_};
    DemoPlatform platform_;
    frmMain window_;
    BatterySimulatorWindow simulator_;
    QTimer refresh_;
    std::function<void()> switchOff_;
    bool switchedOff_ = false;
    QString recordDirectory_;
};

// Ends the process at once: no destructors, no flushing, no message.
[[noreturn]] void SwitchOffNow();

}  // namespace demo
