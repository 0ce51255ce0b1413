// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/battery_rest.h"

#include <QLocale>
#include <cmath>

namespace calibration {
namespace {

constexpr qint64 kMinuteMs = 60'000;

// Idle batteries often give neither current nor power: that counts as quiet.
bool Quiet(const RestReading& reading)
{
    if (reading.currentUa)
        return std::abs(*reading.currentUa) <= BatteryRest::kQuietCurrentUa;
    if (reading.powerUw)
        return std::abs(*reading.powerUw) <= BatteryRest::kQuietPowerUw;
    return true;
}

}  // namespace

RestState BatteryRest::Feed(const RestReading& reading)
{
    if (Ended())
        return state_;
    lastMs_ = reading.ms;
    if (!reading.voltageUv) {
        // A reading lost now and then is passed over; none at all ends it.
        if (quiet_.isEmpty() && !flowing_)
            Finish(RestState::NoVoltage);
        return state_;
    }
    if (Quiet(reading)) {
        flowing_.reset();
        quiet_.append(reading);
        // Keep the newest reading at least a window old, and those after it.
        while (quiet_.size() > 2 && reading.ms - quiet_[1].ms >= kWindowMinutes * kMinuteMs)
            quiet_.removeFirst();
    } else {
        quiet_.clear();
        flowing_ = reading;
    }
    const auto change = ChangeMv();
    if (change && ChangeSpanMinutes() >= kWindowMinutes && *change < kSettledMv)
        Finish(RestState::Rested);
    else if (Minutes() >= CapMinutes(place_))
        Finish(RestState::Capped);
    return state_;
}

std::optional<double> BatteryRest::ChangeMv() const
{
    if (quiet_.size() < 2)
        return std::nullopt;
    return std::abs(*quiet_.constLast().voltageUv - *quiet_.constFirst().voltageUv) / 1000;
}

qint64 BatteryRest::ChangeSpanMinutes() const
{
    return quiet_.size() < 2 ? 0 : (quiet_.constLast().ms - quiet_.constFirst().ms) / kMinuteMs;
}

void BatteryRest::Finish(RestState state)
{
    if (!Ended())
        state_ = state;
}

QString RestStatusText(const BatteryRest& rest)
{
    const QLocale locale;
    QString text = QStringLiteral("Resting at %1 so that the gauge can take a reading: %2 min")
                       .arg(rest.Place() == RestPlace::Full ? QStringLiteral("full") : QStringLiteral("empty"))
                       .arg(rest.Minutes());
    if (const auto flowing = rest.Flowing()) {
        const QString amount = flowing->currentUa
            ? QStringLiteral("%1 mA").arg(locale.toString(std::abs(*flowing->currentUa) / 1000, 'f', 0))
            : QStringLiteral("%1 W").arg(locale.toString(std::abs(*flowing->powerUw) / 1e6, 'f', 1));
        return text + QStringLiteral(", waiting for the current to stop (%1)").arg(amount);
    }
    const auto change = rest.ChangeMv();
    const bool settled = rest.State() == RestState::Rested;
    text += settled ? QStringLiteral(", voltage settled") : QStringLiteral(", voltage settling");
    if (change)
        text += QStringLiteral(", %1 mV in %2 min").arg(locale.toString(*change, 'f', 1)).arg(rest.ChangeSpanMinutes());
    return text;
}

}  // namespace calibration
