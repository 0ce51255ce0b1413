// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "power/system_power_status.h"

// How readings of a battery become the record's percent, flag and times.
// Every power status source shares these, so that they agree at the edges.
namespace power {

// A record from its values. The times are signed here and unsigned in the
// Windows headers' record; -1 is the same bits in both.
constexpr SYSTEM_POWER_STATUS PowerStatus(std::uint8_t ac, std::uint8_t flag, std::uint8_t percent,
                                          std::int32_t remaining = kUnknownTime, std::int32_t full = kUnknownTime)
{
    SYSTEM_POWER_STATUS status{};
    status.ACLineStatus = ac;
    status.BatteryFlag = flag;
    status.BatteryLifePercent = percent;
    status.BatteryLifeTime = static_cast<decltype(status.BatteryLifeTime)>(remaining);
    status.BatteryFullLifeTime = static_cast<decltype(status.BatteryFullLifeTime)>(full);
    return status;
}

// What a failed query leaves in the record: every field unknown.
constexpr SYSTEM_POWER_STATUS UnknownPowerStatus()
{
    return PowerStatus(kUnknownByte, kUnknownByte, kUnknownByte);
}

// A percent to the record's byte: rounded half up, held to 0..100.
std::uint8_t RoundedPercent(double percent);

// The flag Windows reports for a known percent: high above 66, low below
// 33, critical below 5 (with low), plus the charging bit.
constexpr std::uint8_t BatteryFlagFor(std::uint8_t percent, bool charging)
{
    return static_cast<std::uint8_t>((percent > 66 ? kFlagHigh : 0) | (percent < 33 ? kFlagLow : 0) |
                                     (percent < 5 ? kFlagCritical : 0) | (charging ? kFlagCharging : 0));
}

struct BatteryTimes {
    std::int32_t remaining = kUnknownTime;
    std::int32_t full = kUnknownTime;
};

// Seconds left and seconds from full at a steady draw. Readings outside
// what a real notebook shows (a rate near 0 right after an unplug, above
// 300 W, less than 0.1 Wh left, more than 240 hours) give unknown times.
BatteryTimes TimesOnBattery(double energyWh, double fullEnergyWh, double rateW);

}  // namespace power
