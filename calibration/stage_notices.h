// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "platform/platform.h"
#include "power/power_status_source.h"
#include "storage/lock_lines.h"

namespace calibration {

// The texts of the desktop notices at each stage of a run.
QString ChargeNoticeText(int percent, std::optional<double> minutesToFull);
// The same advice as the window's instructions at the power-settings step.
QString FullNoticeText(const QList<storage::LockLine>& locks);
QString UnplugNoticeText();
QString DischargeNoticeText(bool started, bool fast, int percent, std::optional<qint64> minutesLeft, bool keptAwake);
QString RecordFailedNoticeText(const QString& error);

// Minutes to a full battery: the firmware's own estimate, else the energy
// still missing over the charging power. Nothing when neither is known.
std::optional<double> MinutesToFull(const power::BatteryDetails& details);
// The battery's own estimate of the minutes left, from the status record.
std::optional<qint64> MinutesLeft(const SYSTEM_POWER_STATUS& status);
// The tenth of the charge a notice is refreshed at, counted so that a step
// begins on a multiple of ten (90 % and not 99 % on the way down); nothing
// for an unknown percent.
std::optional<int> TenPercentStep(std::uint8_t percent, bool falling);

// Tells the desktop where a run stands: a notice at each stage, each
// replacing the last, and the battery percent on the taskbar entry while the
// battery charges or discharges. Withdraws them when the run is over.
class StageNotices {
public:
    StageNotices(platform::Platform& platform, power::PowerStatusSource& power) : p_(platform), power_(power) {}
    ~StageNotices();
    StageNotices(const StageNotices&) = delete;
    StageNotices& operator=(const StageNotices&) = delete;

    void AdaptorWait();
    void Charging(const SYSTEM_POWER_STATUS& status);
    void Full(const QList<storage::LockLine>& locks);
    void Unplug();
    void Discharging(const SYSTEM_POWER_STATUS& status, bool fast);
    void Ended(const QString& text);
    void RecordFailed(const QString& error);
    void HeatHoldBack(const QString& text);
    // A notice of its own until the next stage's: a rest's start and end, advice.
    void Say(const QString& text);

private:
    void Progress(const SYSTEM_POWER_STATUS& status);
    SYSTEM_POWER_STATUS ReadOr(const SYSTEM_POWER_STATUS& last) const;
    QString DischargeText(const SYSTEM_POWER_STATUS& status, bool started) const;

    platform::Platform& p_;
    power::PowerStatusSource& power_;
    std::optional<int> shownStep_;
    bool discharging_ = false;
    bool shownFast_ = false;
    qint64 switchedAtMs_ = -1;  // on the awake clock, at the last switch of the mode
    QString recordWarning_;  // stays in the discharge's notices once given
};

}  // namespace calibration
