#pragma once

#include "power/system_power_status.h"

namespace platform {

// Where the power status record comes from: the kernel on Linux, Windows
// itself, or a simulated battery. Each query reports the state afresh.
class PowerStatusSource {
public:
    virtual ~PowerStatusSource() = default;
    // Non-zero on success, with every field filled; zero on failure.
    virtual int Query(SYSTEM_POWER_STATUS& status) = 0;
};

}  // namespace platform
