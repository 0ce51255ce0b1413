// SPDX-License-Identifier: GPL-3.0-or-later
#include "power/power_summary.h"

#include <algorithm>
#include <limits>

namespace power {
namespace {

// Whole minutes, truncated toward zero. A time too long for 16 bits is held
// at the nearest value that fits rather than wrapped into a wrong one.
qint16 MinutesOf(std::int32_t seconds)
{
    if (seconds == kUnknownTime)
        return 0;
    const std::int32_t minutes = seconds / 60;
    return static_cast<qint16>(std::clamp<std::int32_t>(minutes, std::numeric_limits<qint16>::min(),
                                                        std::numeric_limits<qint16>::max()));
}

}  // namespace

QString AcText(std::uint8_t acLineStatus)
{
    switch (acLineStatus) {
    case kAcOnline: return QStringLiteral("AC");
    case kAcOffline: return QStringLiteral("DC");
    case kUnknownByte: return QString();
    default: return QStringLiteral("?");
    }
}

QString LevelText(std::uint8_t batteryFlag)
{
    switch (batteryFlag & (kFlagHigh | kFlagLow | kFlagCritical)) {
    case kFlagHigh: return QStringLiteral("HIGH");
    case kFlagLow: return QStringLiteral("LOW");
    case kFlagCritical: return QStringLiteral("CRITICAL");
    default: return QStringLiteral("UNKNOWN");
    }
}

PowerSummary SummaryOf(const SYSTEM_POWER_STATUS& status)
{
    return {
        .acText = AcText(status.ACLineStatus),
        .levelText = LevelText(status.BatteryFlag),
        .chargePercent = status.BatteryLifePercent,
        .fullLifeMinutes = MinutesOf(static_cast<std::int32_t>(status.BatteryFullLifeTime)),
        .remainingMinutes = MinutesOf(static_cast<std::int32_t>(status.BatteryLifeTime)),
    };
}

QStringList StatusBoxLines(const PowerSummary& summary)
{
    QStringList lines{QStringLiteral("AC Status=") + summary.acText,
                      QStringLiteral("Battery Level=") + summary.levelText};
    if (summary.chargePercent != kUnknownByte)
        lines << QStringLiteral("Remaining charge=%1%").arg(summary.chargePercent);
    if (summary.fullLifeMinutes > 0)
        lines << QStringLiteral("Est. Battery Life if fully charged=%1 mins").arg(summary.fullLifeMinutes);
    if (summary.remainingMinutes > 0)
        lines << QStringLiteral("Est. Remaining time=%1 mins").arg(summary.remainingMinutes);
    return lines;
}

}  // namespace power
