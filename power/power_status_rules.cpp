// SPDX-License-Identifier: GPL-3.0-or-later
#include "power/power_status_rules.h"

#include <algorithm>
#include <cmath>

namespace power {
namespace {

constexpr double kMinRateW = 0.01;
constexpr double kMaxRateW = 300.0;
constexpr double kMinEnergyWh = 0.1;
constexpr double kMaxSeconds = 240.0 * 3600.0;

std::int32_t SecondsAt(double energyWh, double rateW)
{
    const double seconds = std::floor(3600.0 * energyWh / rateW);
    return seconds > kMaxSeconds ? kUnknownTime : static_cast<std::int32_t>(seconds);
}

}  // namespace

std::uint8_t RoundedPercent(double percent)
{
    if (std::isnan(percent))
        return kUnknownByte;
    return static_cast<std::uint8_t>(std::clamp(std::floor(percent + 0.5), 0.0, 100.0));
}

static_assert(BatteryFlagFor(67, false) == kFlagHigh && BatteryFlagFor(66, false) == 0);
static_assert(BatteryFlagFor(33, false) == 0 && BatteryFlagFor(32, false) == kFlagLow);
static_assert(BatteryFlagFor(5, false) == kFlagLow && BatteryFlagFor(4, false) == (kFlagLow | kFlagCritical));

BatteryTimes TimesOnBattery(double energyWh, double fullEnergyWh, double rateW)
{
    if (!(rateW > kMinRateW && rateW <= kMaxRateW && energyWh >= kMinEnergyWh))
        return {};
    const std::int32_t remaining = SecondsAt(energyWh, rateW);
    if (remaining == kUnknownTime)
        return {};
    // A gauge may read more energy now than at full; the full time never
    // falls below the time left.
    return {remaining, SecondsAt(std::max(fullEnergyWh, energyWh), rateW)};
}

}  // namespace power
