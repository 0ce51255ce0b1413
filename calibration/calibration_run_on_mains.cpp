// SPDX-License-Identifier: GPL-3.0-or-later
// The run's part with the power helper: lifting a charge limit before the
// run, discharging with the adaptor connected, and the recharge after it.
#include "calibration/calibration_run.h"
#include "report/report_window.h"

namespace calibration {
namespace {

using platform::kCrLf;

constexpr int kRechargePassMs = 1000;
constexpr int kStartPollMs = 500;
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

// Asked once the power settings are done, only where the battery offers it;
// after a No, a refusal or a failure the unplug wait says why not.
bool CalibrationRun::DischargeOnMainsChosen()
{
    if (!charge_->DischargeReason().isEmpty())
        return false;
    QString reason = QStringLiteral("you answered No");
    if (p_.MsgBox(kAskDischargeOnMains, platform::vbYesNo) == platform::vbYes) {
        if (RestAtFullOnMains(&reason) && charge_->DischargeOnMains(&reason)) {
            mainsWatch_.emplace(p_.AwakeMs(), status_.BatteryLifePercent);
            if (MainsDischargeStarted()) {
                EndRestAtFullWatch(false);
                return true;
            }
        } else {
            charge_->StopInhibit();
            notOnMainsLine_ = NotOnMainsLine(reason);
        }
        pendingRests_.missed.clear();  // the unplug path's record tells of no rest on mains
        return false;
    }
    notOnMainsLine_ = NotOnMainsLine(reason);
    return false;
}

// The count starts when the battery truly discharges; firmware that takes
// the setting and never discharges sends the run to the unplug wait.
bool CalibrationRun::MainsDischargeStarted()
{
    w_.SetStatusText(kMainsStartingText);
    for (;;) {
        Read();
        const MainsWatch::State state = mainsWatch_->Look(status_, power_.Details(), p_.AwakeMs());
        if (state == MainsWatch::State::Discharging)
            return true;
        if (state != MainsWatch::State::Starting || charge_->Lost()) {
            charge_->StopDischarge();
            notOnMainsLine_ = kNotStartedLine;
            return false;
        }
        p_.DoEvents();
        p_.Sleep(kStartPollMs);
    }
}

// The status word is a few file reads: once a second is enough, even in a
// fast discharge. A helper gone has put the discharge back by itself.
bool CalibrationRun::MainsDischargeOver()
{
    const qint64 now = p_.AwakeMs();
    if (charge_->Lost()) {
        mainsEnd_ = mainsWatch_->Ended();
        return true;
    }
    if (batteryDetailsAtMs_ < 0 || now - batteryDetailsAtMs_ >= kBatteryStatusMs) {
        batteryDetails_ = power_.Details();
        batteryDetailsAtMs_ = now;
    }
    mainsEnd_ = mainsWatch_->Look(status_, batteryDetails_, now);
    return mainsEnd_ == MainsWatch::State::RanOut || mainsEnd_ == MainsWatch::State::Stopped;
}

// Stopped above empty: recorded without a verdict, and the unplug wait
// offers an ordinary run from here.
void CalibrationRun::MainsDischargeStopped()
{
    workers_.Stop();
    charge_->StopDischarge();
    RecordSample();
    const QString line = report::EndingText(report::RunEnding::FirmwareStopped, mainsWatch_->StoppedAt());
    EndRecord(report::RunEnding::FirmwareStopped);
    onMains_ = false;
    notOnMainsLine_ = line;
}

// The battery ran out on mains: the machine stays on, and the recharge to
// full is what the gauge relearns its capacity from, so it goes in the record.
void CalibrationRun::RechargeAndReport()
{
    ending_ = report::RunEnding::RanOutOnMains;
    workers_.Stop();
    RestAtEmptyOnMains();
    RechargeWatch watch(p_.AwakeMs());
    std::optional<int> noticedStep;
    power::BatteryDetails details;
    for (;;) {
        Read();
        details = power_.Details();
        w_.SetStatusText(RechargeText(status_.BatteryLifePercent));
        if (watch.Over(status_, details.status, p_.AwakeMs()))
            break;
        const auto step = TenPercentStep(status_.BatteryLifePercent, false);
        if (!noticedStep || (step && step != noticedStep)) {
            noticedStep = step.value_or(-1);
            p_.Notify(kNoticeTitle, RechargeNoticeText(status_.BatteryLifePercent));
        }
        if (w_.Ticks() % kSampleTicks == 0 && w_.Ticks() != sampledAtSeconds_)
            RecordSample(details);
        p_.DoEvents();
        p_.Sleep(kRechargePassMs);
    }
    RecordSample(details);
    EndRecord(ending_);
    recharging_ = false;
    p_.ReleaseAwake();
    w_.SetStatusText(MainsRunOverText(RechargeWatch::Full(status_, details.status), status_.BatteryLifePercent));
    if (recordDirectory_.isEmpty())
        return p_.NotifyLasting(kNoticeTitle, kFinishedNotice, {});
    p_.NotifyLasting(kNoticeTitle, kFinishedNotice, [directory = recordDirectory_, now = power_.Details()] {
        report::ShowRunReport(directory, now);
    });
    report::ShowRunReport(recordDirectory_, power_.Details());
}

}  // namespace calibration
