// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

#include "power/battery_details.h"
#include "power/system_power_status.h"
#include "power/temperatures.h"

namespace power {

// Where the power status record comes from: the kernel on Linux, Windows
// itself, or a simulated battery. Each query reports the state afresh.
class PowerStatusSource {
public:
    virtual ~PowerStatusSource() = default;
    // Non-zero on success, with every field filled; zero on failure.
    virtual int Query(SYSTEM_POWER_STATUS& status) = 0;
    // The batteries' energies, draw and identity, read afresh.
    virtual BatteryDetails Details() { return {}; }
    // Settings of this machine that keep the battery from charging to full
    // or make it drain on mains: one short plain sentence each, naming its
    // numbers. Empty when nothing stands in the way of a calibration.
    virtual QStringList ChargeBlockers() { return {}; }
    // The battery's and the machine's temperatures, read afresh; nothing
    // known where the source has no sensors.
    virtual Temperatures ReadTemperatures() { return {}; }
};

}  // namespace power
