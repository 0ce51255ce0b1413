// Placeholder until the sysfs reader lands: every query fails.
#include "platform/system_power_source.h"

namespace platform {
namespace {
class NoPowerSource : public PowerStatusSource {
public:
    int Query(SYSTEM_POWER_STATUS&) override { return 0; }
};
}  // namespace

std::unique_ptr<PowerStatusSource> CreateSystemPowerSource()
{
    return std::make_unique<NoPowerSource>();
}
}  // namespace platform
