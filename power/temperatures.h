// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>
#include <optional>

namespace power {

// The thermal zone with the highest reading, named by its kind ("acpitz",
// "x86_pkg_temp"), with the point at which the firmware starts slowing the
// machine down to cool it.
struct ThermalZoneReading {
    QString type;
    double celsius = 0;
    std::optional<double> passiveTripCelsius;  // its first passive trip point
};

// What the machine tells about heat at one moment. The battery's own sensor
// is often missing; the zones then stand in for it.
struct Temperatures {
    std::optional<double> batteryCelsius;  // the hottest system battery's
    std::optional<ThermalZoneReading> hottestZone;
    // The least distance of any zone below its first passive trip point
    // (negative once past it): the zone nearest to being throttled need
    // not be the hottest.
    std::optional<double> passiveMarginCelsius;
};

class TemperatureSource {
public:
    virtual ~TemperatureSource() = default;
    // Read afresh; what cannot be read is left empty.
    virtual Temperatures Read() = 0;
};

// The machine's own sensors: sysfs on Linux; nothing known on Windows.
std::unique_ptr<TemperatureSource> CreateSystemTemperatureSource();

}  // namespace power
