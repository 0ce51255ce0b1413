// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// The platform's power status record. On Windows it is the system's own
// type; elsewhere it is laid out byte for byte as Windows exchanges it.
// Unknown values: 255 in the 8-bit fields, -1 in the times.
#ifdef _WIN32
#include <windows.h>
#else
struct SYSTEM_POWER_STATUS {
    std::uint8_t ACLineStatus;
    std::uint8_t BatteryFlag;
    std::uint8_t BatteryLifePercent;
    std::uint8_t Reserved1;
    std::int32_t BatteryLifeTime;
    std::int32_t BatteryFullLifeTime;
};
#endif

static_assert(sizeof(SYSTEM_POWER_STATUS) == 12);
static_assert(sizeof(SYSTEM_POWER_STATUS::BatteryLifeTime) == 4 && sizeof(SYSTEM_POWER_STATUS::BatteryFlag) == 1);
static_assert(offsetof(SYSTEM_POWER_STATUS, ACLineStatus) == 0);
static_assert(offsetof(SYSTEM_POWER_STATUS, BatteryFlag) == 1);
static_assert(offsetof(SYSTEM_POWER_STATUS, BatteryLifePercent) == 2);
static_assert(offsetof(SYSTEM_POWER_STATUS, Reserved1) == 3);
static_assert(offsetof(SYSTEM_POWER_STATUS, BatteryLifeTime) == 4);
static_assert(offsetof(SYSTEM_POWER_STATUS, BatteryFullLifeTime) == 8);

namespace power {
inline constexpr std::uint8_t kAcOffline = 0;
inline constexpr std::uint8_t kAcOnline = 1;
inline constexpr std::uint8_t kUnknownByte = 255;
inline constexpr std::uint8_t kFlagHigh = 1;
inline constexpr std::uint8_t kFlagLow = 2;
inline constexpr std::uint8_t kFlagCritical = 4;
inline constexpr std::uint8_t kFlagCharging = 8;
inline constexpr std::uint8_t kFlagNoSystemBattery = 128;
inline constexpr std::int32_t kUnknownTime = -1;
// A time field's seconds, or -1 when unknown. Windows' field is unsigned:
// its unknown value is the all-ones one, never below zero.
template <typename Time>
constexpr std::int64_t SecondsOrUnknown(Time time)
{
    return time == static_cast<Time>(kUnknownTime) ? -1 : static_cast<std::int64_t>(time);
}
}  // namespace power
