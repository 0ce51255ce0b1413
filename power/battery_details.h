// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace power {

// What a battery tells beyond the power status record, summed over the
// system batteries. A value the source does not know is left empty.
struct BatteryDetails {
    std::optional<double> energyNowWh;
    std::optional<double> energyFullWh;
    std::optional<double> energyDesignWh;
    std::optional<double> powerW;    // the draw, always 0 or more
    std::optional<double> voltageV;
    std::optional<int> cycleCount;
    std::optional<double> timeToFullMinutes;  // the firmware's own estimate
    QString model;       // every system battery's model, joined by ", "
    QString manufacturer;  // every system battery's maker, joined likewise
    QString serial;        // every system battery's serial number, joined likewise
    QString technology;  // "Li-ion", "Li-poly", ...
    QString name;        // the first system battery's own name (BAT0), for the power helper
    QString status;      // "Charging", "Discharging", "Full", "Not charging", "Unknown"
};

}  // namespace power
