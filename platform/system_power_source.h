#pragma once

#include <memory>

#include "platform/power_status_source.h"

namespace platform {

// The machine's own power status: /sys/class/power_supply on Linux,
// GetSystemPowerStatus on Windows.
std::unique_ptr<PowerStatusSource> CreateSystemPowerSource();

}  // namespace platform
