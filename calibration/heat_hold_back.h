// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include "power/temperatures.h"

namespace calibration {

// How many discharge workers the heat allows. A battery is not to be cooked
// for a calibration: past kBatteryHoldCelsius the fast discharge runs at
// half strength, and at full strength again only below kBatteryReleaseCelsius,
// so that it does not flap at the line. Without a battery sensor the zone
// nearest its passive trip point stands in, with the same 3 °C of slack.
class HeatHoldBack {
public:
    static constexpr double kBatteryHoldCelsius = 40;
    static constexpr double kBatteryReleaseCelsius = 37;
    static constexpr double kZoneHoldMarginCelsius = 5;
    static constexpr double kZoneReleaseMarginCelsius = 8;

    explicit HeatHoldBack(int fullWorkers) : full_(fullWorkers) {}

    // One reading, on the run's clock; the workers to run from now on. A
    // reading that tells nothing keeps the state in force.
    int Feed(const power::Temperatures& temperatures, qint64 nowMs);

    int Workers() const { return holding_ ? full_ / 2 : full_; }
    bool HoldingBack() const { return holding_; }
    // In total over the run, a hold still in force counted up to nowMs.
    qint64 HeldBackMs(qint64 nowMs) const { return heldMs_ + (holding_ ? nowMs - since_ : 0); }

private:
    const int full_;
    bool holding_ = false;
    qint64 since_ = 0;
    qint64 heldMs_ = 0;
};

// The status box's line while holding back, naming the reading that calls
// for it: "Fast discharge held back: the battery is at 41 °C."
QString HeldBackText(const power::Temperatures& temperatures);
// The notice when the hold starts or ends.
QString HeldBackNoticeText(const power::Temperatures& temperatures, bool holding);

}  // namespace calibration
