// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/mains_discharge.h"

#include <utility>

#include "report/run_record.h"

namespace calibration {
namespace {

// Between looks for the helper's answer.
constexpr int kAnswerPollMs = 100;

bool Charging(const SYSTEM_POWER_STATUS& status, const QString& batteryStatus)
{
    return batteryStatus == QLatin1String("Charging")
           || (status.BatteryFlag != power::kUnknownByte && (status.BatteryFlag & power::kFlagCharging) != 0);
}

// A status word the source does not know counts as none.
bool Told(const QString& batteryStatus)
{
    return !batteryStatus.isEmpty() && batteryStatus != QLatin1String("Unknown");
}

}  // namespace

QString NotOnMainsLine(const QString& reason)
{
    return QStringLiteral("Not discharging on mains: %1.").arg(reason);
}

QString RechargeText(int percent)
{
    return QStringList{
        QStringLiteral("The battery ran out with the adaptor connected."),
        QStringLiteral("Recharging to full, so that the battery relearns its full capacity: %1% charged.").arg(percent),
        QStringLiteral("The report opens when the battery is full."),
    }.join(platform::kCrLf);
}

QString RechargeNoticeText(int percent)
{
    return QStringLiteral("The battery ran out on mains. Recharging to full: %1 %.").arg(percent);
}

QString MainsRunOverText(bool reachedFull, int percent)
{
    return QStringList{
        QStringLiteral("The calibration run is over."),
        reachedFull ? QStringLiteral("The battery ran out with the adaptor connected and recharged to full.")
                    : QStringLiteral("The battery ran out with the adaptor connected; the recharge stopped at %1 %.")
                          .arg(percent),
        QStringLiteral("The report is open; View Result shows the run again. Exit when you are done."),
    }.join(platform::kCrLf);
}

QString RunOverText(bool slept)
{
    return QStringList{
        slept ? QStringLiteral("The calibration run is over: the machine went to standby and woke on mains.")
              : QStringLiteral("The calibration run is over: the adaptor was reconnected."),
        QStringLiteral("View Result tells how long the battery lasted. For another run, exit and start Dorvik again."),
    }.join(platform::kCrLf);
}

ChargeChanges::ChargeChanges(platform::Platform& platform, QString battery)
    : p_(platform), battery_(std::move(battery))
{
    p_.Charging().OnHelperLost([this] {
        lost_ = changed_;
        changed_ = false;
        inhibited_ = false;
    });
}

// An answer still on its way when the run ends finds the change put back
// here, or by the helper when Dorvik leaves the bus.
ChargeChanges::~ChargeChanges()
{
    p_.Charging().OnHelperLost({});
    if (changed_)
        p_.Charging().Restore(battery_, [](bool, const QString&) {});
}

void ChargeChanges::Query()
{
    auto answer = std::make_shared<std::optional<std::pair<QStringList, QString>>>();
    p_.Charging().QueryOffers(battery_, [answer](const QStringList& offers, const QString& reason) {
        *answer = std::make_pair(offers, reason);
    });
    while (!*answer) {
        p_.DoEvents();
        if (!*answer)
            p_.Sleep(kAnswerPollMs);
    }
    offers_ = (*answer)->first;
    reason_ = (*answer)->second;
}

QString ChargeChanges::DischargeReason() const
{
    if (Offers(platform::ChargeControl::kDischargeOnMains))
        return {};
    return reason_.isEmpty() ? QStringLiteral("this battery cannot discharge with the adaptor connected") : reason_;
}

bool ChargeChanges::DischargeOnMains(QString* reason)
{
    const bool changed = Change(&platform::ChargeControl::DischargeOnMains, reason);
    inhibited_ = inhibited_ && !changed;
    return changed;
}

bool ChargeChanges::LiftChargeLimit(QString* reason)
{
    return Change(&platform::ChargeControl::LiftChargeLimit, reason);
}

bool ChargeChanges::InhibitCharge(QString* reason, bool interactive)
{
    inhibited_ = Change(&platform::ChargeControl::InhibitCharge, reason, interactive);
    return inhibited_;
}

void ChargeChanges::StopInhibit()
{
    if (std::exchange(inhibited_, false) && changed_)
        p_.Charging().RestoreSetting(battery_, platform::ChargeControl::kInhibitCharge, [](bool, const QString&) {});
}

void ChargeChanges::StopDischarge()
{
    if (changed_)
        p_.Charging().RestoreSetting(battery_, platform::ChargeControl::kDischargeOnMains, [](bool, const QString&) {});
}

bool ChargeChanges::Change(void (platform::ChargeControl::*method)(const QString&, bool, platform::ChargeControl::Done),
                           QString* reason, bool interactive)
{
    changed_ = true;  // an answer that comes too late may still have changed it
    auto answer = std::make_shared<std::optional<std::pair<bool, QString>>>();
    (p_.Charging().*method)(battery_, interactive, [answer](bool ok, const QString& why) { *answer = std::make_pair(ok, why); });
    while (!*answer) {
        p_.DoEvents();
        if (!*answer)
            p_.Sleep(kAnswerPollMs);
    }
    *reason = (*answer)->second;
    return (*answer)->first;
}

MainsWatch::State MainsWatch::Look(const SYSTEM_POWER_STATUS& status, const power::BatteryDetails& details,
                                   qint64 nowMs)
{
    if (status.BatteryLifePercent == 0)
        return State::RanOut;
    const QString& word = details.status;
    const bool discharging = Told(word) ? word == QLatin1String("Discharging")
                                        : !Charging(status, word) && status.BatteryLifePercent != power::kUnknownByte
                                              && status.BatteryLifePercent < startPercent_;
    if (discharging) {
        discharged_ = true;
        stoppedSinceMs_ = -1;
        stoppedPercent_ = power::kUnknownByte;
        last_ = status;
        lastDetails_ = details;
        return State::Discharging;
    }
    if (!discharged_)
        return nowMs - changedMs_ >= kStartDeadlineMs ? State::NotStarted : State::Starting;
    if (stoppedSinceMs_ < 0) {
        stoppedSinceMs_ = nowMs;
        stoppedPercent_ = status.BatteryLifePercent;
    }
    return nowMs - stoppedSinceMs_ >= kFirmwareLagMs ? Ended() : State::Discharging;
}

// The same evidence as for a machine that switched off on battery, or the
// firmware's own mark of empty.
MainsWatch::State MainsWatch::Ended() const
{
    if (last_.BatteryFlag != power::kUnknownByte && (last_.BatteryFlag & power::kFlagCritical) != 0)
        return State::RanOut;
    const report::RunSample sample{.acLineStatus = power::kAcOffline,
                                   .percent = last_.BatteryLifePercent,
                                   .energyWh = lastDetails_.energyNowWh,
                                   .powerW = lastDetails_.powerW};
    const bool stoppedNearEmpty = stoppedPercent_ <= report::kNearEmptyPercent;
    return discharged_ && (stoppedNearEmpty || report::SampleNearEmpty(sample)) ? State::RanOut : State::Stopped;
}

std::optional<int> MainsWatch::StoppedAt() const
{
    const int percent = stoppedPercent_ <= 100 ? stoppedPercent_ : last_.BatteryLifePercent;
    if (!discharged_ || percent > 100)
        return std::nullopt;
    return percent;
}

bool RechargeWatch::Full(const SYSTEM_POWER_STATUS& status, const QString& batteryStatus)
{
    return status.BatteryLifePercent == 100 || batteryStatus == QLatin1String("Full");
}

bool RechargeWatch::Over(const SYSTEM_POWER_STATUS& status, const QString& batteryStatus, qint64 nowMs)
{
    if (Charging(status, batteryStatus)) {
        charged_ = true;
        idleSinceMs_ = -1;
        return false;
    }
    if (Full(status, batteryStatus))
        return true;
    if (idleSinceMs_ < 0)
        idleSinceMs_ = nowMs;
    return charged_ ? nowMs - idleSinceMs_ >= MainsWatch::kFirmwareLagMs
                    : nowMs - startMs_ >= MainsWatch::kStartDeadlineMs;
}

}  // namespace calibration
