// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "power/power_status_source.h"

namespace power {

// The power status as the kernel reports it under a power_supply class
// directory (/sys/class/power_supply on a real machine), read afresh on
// every query. Unreadable or nonsensical attributes count as missing; the
// query fails only when the directory itself cannot be read.
class LinuxPowerSource : public PowerStatusSource {
public:
    // platformDirectory: where Lenovo IdeaPads keep their conservation_mode
    // switch, one level down.
    explicit LinuxPowerSource(QString directory,
                              QString platformDirectory = QStringLiteral("/sys/bus/platform/drivers/ideapad_acpi"));
    int Query(SYSTEM_POWER_STATUS& status) override;
    BatteryDetails Details() override;
    QStringList ChargeBlockers() override;
    Temperatures ReadTemperatures() override;
    // The sensors ReadTemperatures reads; none until given.
    void WatchTemperatures(std::unique_ptr<TemperatureSource> source) { temperatures_ = std::move(source); }

private:
    std::string directory_;
    std::string platformDirectory_;
    std::unique_ptr<TemperatureSource> temperatures_;
};

}  // namespace power
