// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/mains_discharge.h"

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

ChargeChanges::ChargeChanges(platform::Platform& platform, QString battery)
    : p_(platform), battery_(std::move(battery))
{
}

// An answer still on its way when the run ends finds the change put back
// here, or by the helper when Dorvik leaves the bus.
ChargeChanges::~ChargeChanges()
{
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
    return Change(&platform::ChargeControl::DischargeOnMains, reason);
}

bool ChargeChanges::LiftChargeLimit(QString* reason)
{
    lifted_ = Change(&platform::ChargeControl::LiftChargeLimit, reason);
    return lifted_;
}

void ChargeChanges::ChargeAgain()
{
    QString reason;
    Change(&platform::ChargeControl::Restore, &reason);
    // Not waited for: hours after the first password, polkit may ask again
    // with nobody there, and the recharge must be recorded all the same.
    if (lifted_)
        p_.Charging().LiftChargeLimit(battery_, [](bool, const QString&) {});
}

bool ChargeChanges::Change(void (platform::ChargeControl::*method)(const QString&, platform::ChargeControl::Done),
                           QString* reason)
{
    changed_ = true;  // an answer that comes too late may still have changed it
    auto answer = std::make_shared<std::optional<std::pair<bool, QString>>>();
    (p_.Charging().*method)(battery_, [answer](bool ok, const QString& why) { *answer = std::make_pair(ok, why); });
    while (!*answer) {
        p_.DoEvents();
        if (!*answer)
            p_.Sleep(kAnswerPollMs);
    }
    *reason = (*answer)->second;
    return (*answer)->first;
}

bool MainsWatch::Over(const SYSTEM_POWER_STATUS& status, const QString& batteryStatus, qint64 nowMs)
{
    if (status.BatteryLifePercent == 0)
        return true;
    const bool discharging = Told(batteryStatus)
                                 ? batteryStatus == QLatin1String("Discharging")
                                 : !Charging(status, batteryStatus) && status.BatteryLifePercent != power::kUnknownByte
                                       && status.BatteryLifePercent < startPercent_;
    discharged_ = discharged_ || discharging;
    return !discharging && discharged_ && nowMs - startMs_ >= kFirmwareLagMs;
}

bool RechargeWatch::Over(const SYSTEM_POWER_STATUS& status, const QString& batteryStatus, qint64 nowMs)
{
    const bool charging = Charging(status, batteryStatus);
    charged_ = charged_ || charging;
    if (charging || nowMs - startMs_ < MainsWatch::kFirmwareLagMs)
        return false;
    return charged_ || status.BatteryLifePercent == 100 || batteryStatus == QLatin1String("Full");
}

}  // namespace calibration
