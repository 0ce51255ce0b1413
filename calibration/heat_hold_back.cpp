// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/heat_hold_back.h"

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

}  // namespace

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
