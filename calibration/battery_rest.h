// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace calibration {

// One look at the battery during a rest, read once a minute, as the kernel
// gives it: µV, µA, µW, each missing where the battery does not tell.
struct RestReading {
    qint64 ms = 0;  // on the run's clock
    std::optional<double> voltageUv;
    std::optional<double> currentUa;
    std::optional<double> powerUw;
};

enum class RestPlace { Full, Empty };

enum class RestState {
    Settling,   // still waiting
    Rested,     // the gauge could take its reading
    Capped,     // the longest wait passed first
    Skipped,    // the user ended it
    NoVoltage,  // the battery gives no voltage: a rest cannot be told
};

// Whether the battery rests so that its gauge can take a rested voltage
// reading: the current (or power) near zero, and the voltage changed by
// less than kSettledMv over the last kWindowMinutes of it. Waits at most an
// hour at full and three at empty, where the voltage recovers slowly.
class BatteryRest {
public:
    static constexpr double kSettledMv = 2.4;
    static constexpr qint64 kWindowMinutes = 10;
    static constexpr double kQuietCurrentUa = 50'000;
    static constexpr double kQuietPowerUw = 600'000;

    BatteryRest(RestPlace place, qint64 startMs) : place_(place), startMs_(startMs) {}

    static qint64 CapMinutes(RestPlace place) { return place == RestPlace::Full ? 60 : 180; }

    RestState Feed(const RestReading& reading);
    void Skip() { Finish(RestState::Skipped); }

    RestState State() const { return state_; }
    bool Ended() const { return state_ != RestState::Settling; }
    RestPlace Place() const { return place_; }
    // From the start to the last reading, or to the end.
    qint64 Minutes() const { return (lastMs_ - startMs_) / 60'000; }
    // The voltage's change over the quiet readings of the last window, or
    // over what there is of it so far; nothing before two quiet readings.
    std::optional<double> ChangeMv() const;
    qint64 ChangeSpanMinutes() const;
    // The current's or power's last reading where it is not quiet yet.
    std::optional<RestReading> Flowing() const { return flowing_; }

private:
    void Finish(RestState state);

    const RestPlace place_;
    const qint64 startMs_;
    qint64 lastMs_ = startMs_;
    RestState state_ = RestState::Settling;
    QList<RestReading> quiet_;  // since the current last flowed
    std::optional<RestReading> flowing_;
};

// The status box's line for a rest under way: "Resting at empty so that the
// gauge can take a reading: 42 min, voltage settling, 3.1 mV in 10 min".
QString RestStatusText(const BatteryRest& rest);

}  // namespace calibration
