// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "power/power_status_source.h"

namespace power {

// The machine's own power status: /sys/class/power_supply on Linux,
// GetSystemPowerStatus on Windows.
std::unique_ptr<PowerStatusSource> CreateSystemPowerSource();

}  // namespace power
