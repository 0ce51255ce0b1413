// The machine's own power status on Windows. <windows.h> would define a
// second SYSTEM_POWER_STATUS, so the one kernel call is declared here; our
// record has the kernel's layout byte for byte (checked where it is defined).
#include "platform/system_power_source.h"
#include "power/power_status_rules.h"

extern "C" __declspec(dllimport) int __stdcall GetSystemPowerStatus(SYSTEM_POWER_STATUS* status);

namespace platform {
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

}  // namespace platform
