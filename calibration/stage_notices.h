// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "platform/platform.h"
#include "power/power_status_source.h"

namespace calibration {

// The texts of the desktop notices at each stage of a run.
QString ChargeNoticeText(int percent, std::optional<double> minutesToFull);
QString FullNoticeText(bool keptAwake);
QString UnplugNoticeText();
QString DischargeNoticeText(bool started, bool fast, int percent, std::optional<qint64> minutesLeft, bool keptAwake);
QString RunEndedNoticeText(qint64 minutes);
QString RecordFailedNoticeText(const QString& error);

// Whether the keep-awake report names a lock that was taken.
bool KeptAwake(const QStringList& awakeReport);
// Minutes to a full battery: the firmware's own estimate, else the energy
// still missing over the charging power. Nothing when neither is known.
std::optional<double> MinutesToFull(const power::BatteryDetails& details);
// The battery's own estimate of the minutes left, from the status record.
std::optional<qint64> MinutesLeft(const SYSTEM_POWER_STATUS& status);
// The tens of percent a notice is refreshed at; nothing for an unknown percent.
std::optional<int> TenPercentStep(std::uint8_t percent);

// Tells the desktop where a run stands: a notice at each stage, each
// replacing the last, and the battery percent on the taskbar entry while the
// battery charges or discharges. Forgets them when the run is over.
class StageNotices {
public:
    StageNotices(platform::Platform& platform, power::PowerStatusSource& power) : p_(platform), power_(power) {}
    ~StageNotices();
    StageNotices(const StageNotices&) = delete;
    StageNotices& operator=(const StageNotices&) = delete;

    void AdaptorWait();
    void Charging(const SYSTEM_POWER_STATUS& status);
    void Full();
    void Unplug();
    void Discharging(const SYSTEM_POWER_STATUS& status, bool fast);
    void Ended(qint64 minutes);
    void RecordFailed(const QString& error);

private:
    void Progress(const SYSTEM_POWER_STATUS& status);

    platform::Platform& p_;
    power::PowerStatusSource& power_;
    std::optional<int> shownStep_;
    bool discharging_ = false;
    QString recordWarning_;  // stays in the discharge's notices once given
};

}  // namespace calibration
