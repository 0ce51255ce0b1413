// SPDX-License-Identifier: GPL-3.0-or-later
// The rests the run gives the gauge: held on mains where the battery can
// hold charging off, and on the unplug path measured where they happen.
#include <QLoggingCategory>
#include <utility>

#include "calibration/calibration_run.h"

namespace calibration {
namespace {

Q_LOGGING_CATEGORY(lcRests, "dorvik.calibration")

constexpr qint64 kRestReadMs = 60'000;
constexpr int kRestPassMs = 1000;
constexpr int kWatchTickMs = 1000;

}  // namespace

// The unplug path's rest at full: from full and not charging to the unplug,
// read by a timer so that it goes on inside the settings step's boxes.
void CalibrationRun::WatchRestAtFull()
{
    if (fullRestWatch_ || status_.ACLineStatus != power::kAcOnline || status_.BatteryLifePercent != 100
        || status_.BatteryFlag != power::kFlagHigh)
        return;
    fullRestWatch_.emplace(RestPlace::Full, p_.Now(), p_.AwakeMs());
    fullRestWatch_->Feed(power_.Details(), p_.Now(), p_.AwakeMs());
    restReadAtMs_ = p_.AwakeMs();
    restTimer_ = p_.CreateTimer(kWatchTickMs, [this] {
        const qint64 now = p_.AwakeMs();
        if (now - restReadAtMs_ < kRestReadMs)
            return;
        restReadAtMs_ = now;
        fullRestWatch_->Feed(power_.Details(), p_.Now(), now);
    });
}

// Its test's cap only ends the test: the span runs to the unplug.
void CalibrationRun::EndRestAtFullWatch(bool unplugged)
{
    restTimer_.reset();
    if (!fullRestWatch_)
        return;
    if (unplugged) {
        const bool rested = fullRestWatch_->Test().State() == RestState::Rested;
        pendingRests_.spans.append(fullRestWatch_->Span(
            p_.Now(), rested ? report::RestOutcome::Rested : report::RestOutcome::Unplugged));
        pendingRests_.voltages.append(fullRestWatch_->Voltages());
    }
    fullRestWatch_.reset();
}

// After the user chose to discharge on mains: charging held off, the same
// grant, then the rest; the discharge replaces the inhibit.
bool CalibrationRun::RestAtFullOnMains(QString* refusal)
{
    const power::BatteryDetails details = power_.Details();
    if (const auto reason = NoRestOnMains(charge_->Offers(platform::ChargeControl::kInhibitCharge), details)) {
        MissRest(report::RestSpot::Full, *reason);
        return true;
    }
    QString why;
    if (!charge_->InhibitCharge(&why, true)) {
        qCInfo(lcRests, "no rest at full: %s", qUtf8Printable(why));
        MissRest(report::RestSpot::Full, report::NoRestReason::Refused);
        *refusal = why;
        return why != platform::kNotAuthorised;  // the same grant: asking again would only ask twice
    }
    EndRestAtFullWatch(false);
    rest_.emplace(RestPlace::Full, p_.Now(), p_.AwakeMs());
    const report::RestOutcome outcome = Rest();
    pendingRests_.voltages.append(rest_->Voltages());
    KeepRest(outcome);
    return true;
}

// At the end of the discharge on mains, before the charger starts: the
// inhibit replaces the discharge in the one setting, so the battery never
// charges between them. Returns with charging allowed again.
void CalibrationRun::RestAtEmptyOnMains()
{
    const auto reason = NoRestOnMains(charge_->Offers(platform::ChargeControl::kInhibitCharge), batteryDetails_);
    QString why = QStringLiteral("the helper is gone");
    if (reason || charge_->Lost() || !charge_->InhibitCharge(&why, false)) {
        charge_->StopDischarge();
        if (!reason)
            qCInfo(lcRests, "no rest at empty: %s", qUtf8Printable(why));
        MissRest(report::RestSpot::Empty, reason.value_or(report::NoRestReason::Refused));
        return StartRecharge();
    }
    StartRecharge();
    rest_.emplace(RestPlace::Empty, p_.Now(), p_.AwakeMs());
    KeepRest(Rest());
    charge_->StopInhibit();
}

// The discharge's last sample, and the record's samples go on as the recharge's.
void CalibrationRun::StartRecharge()
{
    if (!endedInBox_)  // a box open at empty recorded that minute already
        RecordSample(batteryDetails_);  // the gauge at empty, with the draw before the firmware turned to charging
    recharging_ = true;
}

// Pumps while the battery rests on the adaptor, reading it once a minute,
// until the test ends it, the user skips it, or the adaptor or the helper
// goes.
report::RestOutcome CalibrationRun::Rest()
{
    const RestPlace place = rest_->Test().Place();
    notices_.Say(RestStartNoticeText(place));
    skipRest_ = false;
    const auto choice = p_.OfferChoice(RestChoiceText(place), kSkipRest, [this] { skipRest_ = true; });
    qint64 readAtMs = -1;
    bool broken = false;
    for (;;) {
        Read();
        broken = charge_->Lost() || status_.ACLineStatus != power::kAcOnline;
        const qint64 now = p_.AwakeMs();
        if (!broken && (readAtMs < 0 || now - readAtMs >= kRestReadMs)) {
            const bool sampled = readAtMs < 0;  // the recharge's first sample was just taken
            readAtMs = now;
            const power::BatteryDetails details = power_.Details();
            rest_->Feed(details, p_.Now(), now);
            if (recharging_ && !sampled)
                RecordSample(details);
        }
        if (skipRest_)
            rest_->Test().Skip();
        if (broken || rest_->Test().Ended())
            break;
        w_.SetStatusText(RestStatusText(rest_->Test()));
        p_.DoEvents();
        p_.Sleep(kRestPassMs);
    }
    const report::RestOutcome outcome = RestOutcomeOf(rest_->Test().State(), broken);
    if (rest_->Test().State() != RestState::NoVoltage)
        notices_.Say(RestEndNoticeText(place, outcome, rest_->Test().Minutes()));
    return outcome;
}

// The rest's span, or why there was none: a battery that turned out to give
// no voltage.
void CalibrationRun::KeepRest(report::RestOutcome outcome)
{
    if (rest_->Test().State() == RestState::NoVoltage)
        MissRest(rest_->Spot(), report::NoRestReason::NoVoltage);
    else
        pendingRests_.spans.append(rest_->Span(p_.Now(), outcome));
    rest_.reset();
    WritePendingRests();
}

void CalibrationRun::MissRest(report::RestSpot spot, report::NoRestReason reason)
{
    pendingRests_.missed.append({spot, reason});
    WritePendingRests();
}

// Kept until the record exists; a refused write stops the record as any other.
void CalibrationRun::WritePendingRests()
{
    if (!record_ || recordStop_ || pendingRests_.Empty())
        return;
    QString error;
    bool written = record_->RestReadings(pendingRests_.voltages, &error);
    for (const report::RestSpan& span : pendingRests_.spans)
        written = written && record_->Rested(span, &error);
    for (const report::NoRest& missed : pendingRests_.missed)
        written = written && record_->MissedRest(missed, &error);
    pendingRests_ = {};
    if (!written)
        RecordFailed(error);
}

// Once per run, on the unplug path near its end.
void CalibrationRun::AdviseLeavingOff()
{
    constexpr int kAdvicePercent = 10;
    if (!onMains_ && status_.BatteryLifePercent <= kAdvicePercent && !std::exchange(leaveOffAdvised_, true))
        notices_.Say(kLeaveOffNotice);
}

}  // namespace calibration
