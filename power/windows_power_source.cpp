// SPDX-License-Identifier: GPL-3.0-or-later
// The machine's own power status on Windows: the kernel fills the record.
#include "power/power_status_rules.h"
#include "power/system_power_source.h"

namespace power {
namespace {

class WindowsPowerSource : public PowerStatusSource {
public:
    int Query(SYSTEM_POWER_STATUS& status) override
    {
        SYSTEM_POWER_STATUS reported{};
        if (::GetSystemPowerStatus(&reported) == 0) {
            status = power::UnknownPowerStatus();
            return 0;
        }
        status = reported;
        return 1;
    }
};

}  // namespace

std::unique_ptr<PowerStatusSource> CreateSystemPowerSource()
{
    return std::make_unique<WindowsPowerSource>();
}

}  // namespace power
