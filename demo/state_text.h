// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "power/battery_details.h"
#include "power/system_power_status.h"
#include "power/temperatures.h"

namespace demo {

// The five values of the power status record as the utility reads them, one
// a line, with what each number means; a failed query says so first.
QString SimulatedStateText(int queryResult, const SYSTEM_POWER_STATUS& status);

// The battery as sysfs shows it: its charge behaviour, then its status with
// the power, voltage and temperature it gives, e.g.
// "status = Full (1.2 W, 12.52 V, 31.4 °C)".
QString SimulatedBatteryText(const QString& chargeBehaviour, const power::BatteryDetails& details,
                             const power::Temperatures& temperatures);

}  // namespace demo
