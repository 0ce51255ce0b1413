// SPDX-License-Identifier: GPL-3.0-or-later
// The run's part with the power helper: lifting a charge limit before the
// run, discharging with the adaptor connected, and the recharge after it.
#include "calibration/calibration_run.h"
#include "report/report_window.h"

namespace calibration {
namespace {

using platform::kCrLf;

constexpr int kRechargePassMs = 1000;
constexpr qint64 kSampleTicks = 60;
constexpr qint64 kBatteryStatusMs = 1000;
const QString kNoticeTitle = QStringLiteral("Battery calibration");

}  // namespace

// The pre-flight question, with a button that lifts the limit where the
// helper can. A lift that fails asks again, saying why.
bool CalibrationRun::LiftOrStartAnyway(const QString& question)
{
    const int style = platform::vbYesNo + platform::vbExclamation;
    if (!charge_->Offers(platform::ChargeControl::kLiftChargeLimit))
        return p_.MsgBox(question, style) == platform::vbYes;
    const int answer = p_.MsgBox(question, style, {}, kLiftChargeLimit);
    if (answer != platform::kExtraButtonAnswer)
        return answer == platform::vbYes;
    QString reason;
    if (charge_->LiftChargeLimit(&reason))
        return true;
    const QString notLifted = QStringLiteral("The charge limit was not lifted: %1.").arg(reason);
    return p_.MsgBox(notLifted + kCrLf + kCrLf + question, style) == platform::vbYes;
}

// Asked once the power settings are done; otherwise the unplug wait says why not.
bool CalibrationRun::DischargeOnMainsChosen()
{
    QString reason = charge_->DischargeReason();
    if (reason.isEmpty()) {
        if (p_.MsgBox(kAskDischargeOnMains, platform::vbYesNo) != platform::vbYes) {
            reason = QStringLiteral("you answered No");
        } else if (charge_->DischargeOnMains(&reason)) {
            mainsWatch_.emplace(p_.AwakeMs(), status_.BatteryLifePercent);
            return true;
        }
    }
    notOnMainsLine_ = NotOnMainsLine(reason);
    return false;
}

// The status word is a few file reads: once a second is enough, even in a
// fast discharge.
bool CalibrationRun::MainsDischargeOver()
{
    const qint64 now = p_.AwakeMs();
    if (batteryStatusAtMs_ < 0 || now - batteryStatusAtMs_ >= kBatteryStatusMs) {
        batteryStatus_ = power_.Details().status;
        batteryStatusAtMs_ = now;
    }
    return mainsWatch_->Over(status_, batteryStatus_, now);
}

// The battery ran out on mains: the machine stays on, and the recharge to
// full is what the gauge relearns its capacity from, so it goes in the record.
void CalibrationRun::RechargeAndReport()
{
    ending_ = report::RunEnding::RanOutOnMains;
    workers_.Stop();
    charge_->ChargeAgain();
    recharging_ = true;
    RechargeWatch watch(p_.AwakeMs());
    for (;;) {
        Read();
        const power::BatteryDetails details = power_.Details();
        w_.SetStatusText(RechargeText(status_.BatteryLifePercent));
        if (watch.Over(status_, details.status, p_.AwakeMs())) {
            RecordSample(details);
            break;
        }
        if (w_.Ticks() % kSampleTicks == 0 && w_.Ticks() != sampledAtSeconds_)
            RecordSample(details);
        p_.DoEvents();
        p_.Sleep(kRechargePassMs);
    }
    EndRecord(ending_);
    p_.ReleaseAwake();
    p_.Notify(kNoticeTitle, kFinishedNotice);
    if (!recordDirectory_.isEmpty())
        report::ShowRunReport(recordDirectory_, power_.Details());
}

}  // namespace calibration
