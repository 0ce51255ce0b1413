// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>

#include "power/temperatures.h"

namespace power {

// The battery's `temp` (tenths of a degree) under a power_supply class
// directory and the zones under a thermal class directory (millidegrees),
// /sys/class/power_supply and /sys/class/thermal on a real machine.
// Readings no laptop could give count as missing.
class LinuxTemperatures : public TemperatureSource {
public:
    LinuxTemperatures(QString powerSupplyDirectory, QString thermalDirectory);
    Temperatures Read() override;

private:
    std::string powerSupplyDirectory_;
    std::string thermalDirectory_;
};

}  // namespace power
