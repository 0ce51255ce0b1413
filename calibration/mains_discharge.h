// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "platform/platform.h"
#include "power/system_power_status.h"

namespace calibration {

inline const QString kAskDischargeOnMains =
    QStringLiteral("This battery can discharge with the adaptor connected. Discharge on mains?");
inline const QString kOnMainsLine = QStringLiteral("Discharging on mains: the adaptor may stay connected.");
inline const QString kLiftChargeLimit = QStringLiteral("Lift it for this run");
inline const QString kFinishedNotice = QStringLiteral("Calibration finished: the report is ready.");

// The line of the unplug wait that says why the run does not discharge on mains.
QString NotOnMainsLine(const QString& reason);
// The status text while the battery charges back to full after a run on mains.
QString RechargeText(int percent);

// The run's side of the power helper: each call waits for its answer by
// pumping events, so a password dialog never blocks the window. Whatever it
// changed is put back when it goes, whatever ends the run; the helper also
// does that by itself when Dorvik leaves the bus.
class ChargeChanges {
public:
    ChargeChanges(platform::Platform& platform, QString battery);
    ~ChargeChanges();
    ChargeChanges(const ChargeChanges&) = delete;
    ChargeChanges& operator=(const ChargeChanges&) = delete;

    // Asks what the battery offers; the reason is kept for the user.
    void Query();
    bool Offers(const QString& offer) const { return offers_.contains(offer); }
    // Why discharging on mains is not offered; empty when it is.
    QString DischargeReason() const;

    // False, with the reason, when the helper refused or is not there.
    bool DischargeOnMains(QString* reason);
    bool LiftChargeLimit(QString* reason);
    // Charging back on `auto`, with the charge limit lifted again if this
    // run lifted it, so that the recharge reaches full.
    void ChargeAgain();

private:
    bool Change(void (platform::ChargeControl::*method)(const QString&, platform::ChargeControl::Done),
                QString* reason);

    platform::Platform& p_;
    const QString battery_;
    QStringList offers_;
    QString reason_;
    bool changed_ = false;
    bool lifted_ = false;
};

// Tells, from the battery alone, when a discharge on mains is over: the AC
// line stays online throughout, and an adaptor pulled or plugged means
// nothing. Over at 0 %, or, once the battery has been seen discharging,
// when it no longer does: empty, the firmware back on `auto`, or charging.
class MainsWatch {
public:
    // Firmware reports "Discharging" 2 to 10 s after the write.
    static constexpr qint64 kFirmwareLagMs = 15'000;

    MainsWatch(qint64 startMs, int startPercent) : startMs_(startMs), startPercent_(startPercent) {}
    // batteryStatus: the power source's status word, empty when it has none.
    bool Over(const SYSTEM_POWER_STATUS& status, const QString& batteryStatus, qint64 nowMs);

private:
    qint64 startMs_;
    int startPercent_;
    bool discharged_ = false;
};

// Tells when the recharge after a run on mains is over: full and not
// charging, or no longer charging once it had begun.
class RechargeWatch {
public:
    explicit RechargeWatch(qint64 startMs) : startMs_(startMs) {}
    bool Over(const SYSTEM_POWER_STATUS& status, const QString& batteryStatus, qint64 nowMs);

private:
    qint64 startMs_;
    bool charged_ = false;
};

}  // namespace calibration
