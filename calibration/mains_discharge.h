// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "platform/platform.h"
#include "power/power_status_source.h"
#include "power/system_power_status.h"

namespace calibration {

inline const QString kAskDischargeOnMains =
    QStringLiteral("This battery can discharge with the adaptor connected. Discharge on mains?");
inline const QString kOnMainsLine = QStringLiteral("Discharging on mains: the adaptor may stay connected.");
inline const QString kLiftChargeLimit = QStringLiteral("Lift it for this run");
inline const QString kFinishedNotice = QStringLiteral("Calibration finished: the report is ready.");
inline const QString kMainsStartingText =
    QStringLiteral("Discharging on mains: waiting for the battery to start discharging...");
inline const QString kNotStartedLine =
    QStringLiteral("This battery accepted the discharge on mains but did not start it: unplug the adaptor instead.");

// The line of the unplug wait that says why the run does not discharge on mains.
QString NotOnMainsLine(const QString& reason);
// The status text while the battery charges back to full after a run on mains.
QString RechargeText(int percent);
// The notice at the recharge's start and at each tenth of it.
QString RechargeNoticeText(int percent);
// The status text once the run on mains is over; reachedFull: the recharge got there.
QString MainsRunOverText(bool reachedFull, int percent);
// The status text once a run on battery is over: the adaptor came back
// (slept: with a wake from standby).
QString RunOverText(bool slept);

// The run's side of the power helper. What the user asks for waits for its
// answer by pumping events, so a password dialog never blocks the window;
// what the run does on its own never asks for a password. Whatever it
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
    // Holds charging off so that the battery rests on the adaptor; asks
    // for a password only when interactive.
    bool InhibitCharge(QString* reason, bool interactive);
    // Back to charging after a rest. Not waited for.
    void StopInhibit();
    // Back to charging: only the discharge is put back, a lifted limit
    // stays for the recharge. Not waited for.
    void StopDischarge();
    // The helper left the bus while holding a change, and put it back.
    bool Lost() const { return lost_; }

private:
    bool Change(void (platform::ChargeControl::*method)(const QString&, bool, platform::ChargeControl::Done),
                QString* reason, bool interactive = true);

    platform::Platform& p_;
    const QString battery_;
    QStringList offers_;
    QString reason_;
    bool changed_ = false;
    bool inhibited_ = false;  // the discharge replaces it: the two share one setting
    bool lost_ = false;
};

// Tells, from the battery alone, where a discharge on mains stands: the AC
// line stays online throughout, so an adaptor pulled or plugged means
// nothing. Without a status word (or with "Unknown") a fall from the start
// percent stands for "Discharging".
class MainsWatch {
public:
    enum class State { Starting, Discharging, NotStarted, RanOut, Stopped };
    // Firmware reports "Discharging" 2 to 10 s after the write, and may
    // show one odd word on the way: a stop counts once it lasts this long.
    static constexpr qint64 kFirmwareLagMs = 15'000;
    // No "Discharging" within this of the change: the firmware took the
    // setting but will not discharge.
    static constexpr qint64 kStartDeadlineMs = 60'000;

    MainsWatch(qint64 changedMs, int startPercent) : changedMs_(changedMs), startPercent_(startPercent) {}
    State Look(const SYSTEM_POWER_STATUS& status, const power::BatteryDetails& details, qint64 nowMs);
    // The discharge ended now, whatever the battery says: at empty by the
    // last discharging reading's evidence, else stopped.
    State Ended() const;
    // The percent when the discharge stopped; nothing when unknown.
    std::optional<int> StoppedAt() const;

private:
    qint64 changedMs_;
    int startPercent_;
    bool discharged_ = false;
    qint64 stoppedSinceMs_ = -1;
    SYSTEM_POWER_STATUS last_{};  // the last discharging reading
    power::BatteryDetails lastDetails_;
    int stoppedPercent_ = power::kUnknownByte;  // at the first reading of a stop
};

// Tells when the recharge after a run on mains is over: full and not
// charging, or no longer charging for a while once it had begun (or never
// begun), as after an unplug or a limit put back.
class RechargeWatch {
public:
    explicit RechargeWatch(qint64 startMs) : startMs_(startMs) {}
    bool Over(const SYSTEM_POWER_STATUS& status, const QString& batteryStatus, qint64 nowMs);
    static bool Full(const SYSTEM_POWER_STATUS& status, const QString& batteryStatus);

private:
    qint64 startMs_;
    qint64 idleSinceMs_ = -1;
    bool charged_ = false;
};

}  // namespace calibration
