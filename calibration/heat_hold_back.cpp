// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/heat_hold_back.h"

#include <cmath>
#include <optional>

namespace calibration {
namespace {

// Whether the reading calls for a hold, for a release, or for neither.
std::optional<bool> TooHot(const power::Temperatures& t, bool holding)
{
    if (t.batteryCelsius) {
        if (*t.batteryCelsius > HeatHoldBack::kBatteryHoldCelsius)
            return true;
        if (*t.batteryCelsius < HeatHoldBack::kBatteryReleaseCelsius)
            return false;
        return holding;
    }
    if (t.passiveMarginCelsius) {
        if (*t.passiveMarginCelsius <= HeatHoldBack::kZoneHoldMarginCelsius)
            return true;
        if (*t.passiveMarginCelsius >= HeatHoldBack::kZoneReleaseMarginCelsius)
            return false;
        return holding;
    }
    return std::nullopt;
}

// The reading that counts: the battery's own, else the hottest zone's.
QString Reading(const power::Temperatures& t)
{
    if (t.batteryCelsius)
        return QStringLiteral("the battery is at %1 °C").arg(std::lround(*t.batteryCelsius));
    if (t.hottestZone)
        return QStringLiteral("the hottest zone (%1) is at %2 °C").arg(t.hottestZone->type).arg(std::lround(t.hottestZone->celsius));
    return QStringLiteral("the temperature is not known");
}

}  // namespace

QString HeldBackText(const power::Temperatures& temperatures)
{
    return QStringLiteral("Fast discharge held back: %1.").arg(Reading(temperatures));
}

QString HeldBackNoticeText(const power::Temperatures& temperatures, bool holding)
{
    if (holding)
        return HeldBackText(temperatures) + QStringLiteral(" Fewer workers run until it cools.");
    return QStringLiteral("Fast discharge back to full strength: %1.").arg(Reading(temperatures));
}

int HeatHoldBack::Feed(const power::Temperatures& temperatures, qint64 nowMs)
{
    const auto hold = TooHot(temperatures, holding_);
    if (hold && *hold != holding_) {
        if (*hold)
            since_ = nowMs;
        else
            heldMs_ += nowMs - since_;
        holding_ = *hold;
    }
    return Workers();
}

}  // namespace calibration
