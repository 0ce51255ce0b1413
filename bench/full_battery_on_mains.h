// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>

#include "power/simulated_battery.h"
#include "power/system_power_status.h"

// A simulated battery full on mains, its top-up at 100 % already over, on a
// clock that runs with the wall clock from there.
class FullBatteryOnMains {
    // Started before the battery is made, since it is the battery's clock.
    QElapsedTimer simulated_ = [] { QElapsedTimer timer; timer.start(); return timer; }();
    qint64 skipped_ = 0;

public:
    FullBatteryOnMains()
    {
        battery.SetAcPlugged(true);
        battery.SetChargePercent(100);
        SYSTEM_POWER_STATUS full{};
        battery.Query(full);
        skipped_ = power::SimulatedBattery::kTrickleMs + 1000;
    }

    power::SimulatedBattery battery{[this] { return simulated_.elapsed() + skipped_; }};
};
