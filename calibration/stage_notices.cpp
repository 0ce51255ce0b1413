// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/stage_notices.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "calibration/power_settings_step.h"
#include "report/verdict.h"

namespace calibration {
namespace {

const QString kTitle = QStringLiteral("Battery calibration");
constexpr qint64 kEstimateSettlesMs = 2 * 60 * 1000;

// The report's "2 h 10 min", rounded to the minute.
QString MinutesText(double minutes)
{
    return report::DurationText(std::llround(minutes * 60));
}

}  // namespace

QString ChargeNoticeText(int percent, std::optional<double> minutesToFull)
{
    QString text = QStringLiteral("Charging: %1 %.").arg(percent);
    if (minutesToFull)
        text += QStringLiteral(" About %1 to full.").arg(MinutesText(*minutesToFull));
    return text;
}

QString FullNoticeText(const QList<storage::LockLine>& locks)
{
#ifdef Q_OS_WIN
    return storage::AnyTaken(locks)
               ? QStringLiteral("The battery is full. Dorvik keeps this machine awake by itself: "
                                "answer OK and Yes in its window to go on.")
               : QStringLiteral("The battery is full. Nothing keeps this machine awake: turn off automatic "
                                "suspend and screen blanking in the power settings, then answer OK and Yes.");
#else
    return QStringLiteral("The battery is full. ") + PowerSettingsAdvice(locks).join(QLatin1Char(' '))
           + QStringLiteral(" Then answer OK and Yes in Dorvik's window.");
#endif
}

QString UnplugNoticeText()
{
    return QStringLiteral("Unplug the adaptor to start the discharge");
}

QString DischargeNoticeText(bool started, bool fast, int percent, std::optional<qint64> minutesLeft, bool keptAwake)
{
    QString text = QStringLiteral("%1 (%2 discharge): %3 %.")
                       .arg(started ? QStringLiteral("Discharge started") : QStringLiteral("Discharging"))
                       .arg(fast ? QStringLiteral("fast") : QStringLiteral("slow"))
                       .arg(percent);
    if (minutesLeft)
        text += QStringLiteral(" The system estimates %1 left.").arg(MinutesText(double(*minutesLeft)));
    if (!keptAwake)
        text += QStringLiteral("\nWarning: nothing keeps this machine awake; it may sleep before the battery is empty.");
    return text;
}

QString RecordFailedNoticeText(const QString& error)
{
    return QStringLiteral("Warning: the run record cannot be written (%1). The run goes on.").arg(error);
}

std::optional<double> MinutesToFull(const power::BatteryDetails& details)
{
    if (details.timeToFullMinutes)
        return details.timeToFullMinutes;
    if (!details.energyNowWh || !details.energyFullWh || !details.powerW || *details.powerW <= 0)
        return std::nullopt;
    return std::max(0.0, *details.energyFullWh - *details.energyNowWh) / *details.powerW * 60;
}

std::optional<qint64> MinutesLeft(const SYSTEM_POWER_STATUS& status)
{
    const qint64 seconds = power::SecondsOrUnknown(status.BatteryLifeTime);
    if (seconds < 0)
        return std::nullopt;
    return seconds / 60;
}

std::optional<int> TenPercentStep(std::uint8_t percent, bool falling)
{
    if (percent > 100)
        return std::nullopt;
    return falling ? (percent + 9) / 10 : percent / 10;
}

StageNotices::~StageNotices()
{
    p_.ForgetNotices();
}

void StageNotices::AdaptorWait()
{
    p_.ShowProgress(std::nullopt);
    shownStep_.reset();
}

// At 100 % the "full" notice takes over.
void StageNotices::Charging(const SYSTEM_POWER_STATUS& status)
{
    Progress(status);
    const auto step = TenPercentStep(status.BatteryLifePercent, false);
    if (!step || step == shownStep_ || status.BatteryLifePercent >= 100)
        return;
    shownStep_ = step;
    const auto text = [this](const SYSTEM_POWER_STATUS& now) {
        return ChargeNoticeText(now.BatteryLifePercent, MinutesToFull(power_.Details()));
    };
    p_.Notify(kTitle, text(status), [this, text, last = status] { return text(ReadOr(last)); });
}

void StageNotices::Full(const QList<storage::LockLine>& locks)
{
    p_.ShowProgress(std::nullopt);
    shownStep_.reset();
    p_.Notify(kTitle, FullNoticeText(locks));
}

void StageNotices::Unplug()
{
    p_.Notify(kTitle, UnplugNoticeText());
}

// The first call announces the discharge; later ones refresh it at each
// tenth of the battery and at a switch of the mode. A box that waits sends
// it again with the battery and the mode as they are then.
void StageNotices::Discharging(const SYSTEM_POWER_STATUS& status, bool fast)
{
    Progress(status);
    const auto step = TenPercentStep(status.BatteryLifePercent, true);
    if (discharging_ && fast == shownFast_ && (!step || step == shownStep_))
        return;
    if (discharging_ && fast != shownFast_)
        switchedAtMs_ = p_.AwakeMs();
    shownStep_ = step;
    shownFast_ = fast;
    const bool started = !std::exchange(discharging_, true);
    p_.Notify(kTitle, DischargeText(status, started),
              [this, last = status] { return DischargeText(ReadOr(last), false); });
}

// The battery as it is now, for a notice sent again; the last read when
// this one fails.
SYSTEM_POWER_STATUS StageNotices::ReadOr(const SYSTEM_POWER_STATUS& last) const
{
    SYSTEM_POWER_STATUS now{};
    return power_.Query(now) ? now : last;
}

QString StageNotices::DischargeText(const SYSTEM_POWER_STATUS& status, bool started) const
{
    // The system's estimate follows the draw of the mode before for a while.
    const bool settled = switchedAtMs_ < 0 || p_.AwakeMs() - switchedAtMs_ >= kEstimateSettlesMs;
    QString text = DischargeNoticeText(started, shownFast_, status.BatteryLifePercent,
                                       settled ? MinutesLeft(status) : std::nullopt, storage::AnyTaken(p_.AwakeLocks()));
    if (!recordWarning_.isEmpty())
        text += QLatin1Char('\n') + recordWarning_;
    return text;
}

void StageNotices::Ended(const QString& text)
{
    p_.ShowProgress(std::nullopt);
    p_.Notify(kTitle, text);
}

void StageNotices::RecordFailed(const QString& error)
{
    recordWarning_ = RecordFailedNoticeText(error);
    p_.Notify(kTitle, recordWarning_);
}

void StageNotices::Progress(const SYSTEM_POWER_STATUS& status)
{
    if (status.BatteryLifePercent <= 100)
        p_.ShowProgress(status.BatteryLifePercent);
}

// The hold's start and end replace the discharge notice until its next step.
void StageNotices::HeatHoldBack(const QString& text)
{
    p_.Notify(kTitle, text);
}

void StageNotices::Say(const QString& text)
{
    p_.Notify(kTitle, text);
}

}  // namespace calibration
