// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/calibration_run.h"

#include <QStringList>
#include <algorithm>

#include "calibration/minute_keeper.h"
#include "calibration/power_settings_step.h"
#include "calibration/result_log.h"
#include "report/run_record.h"
#include "storage/date_text.h"

namespace calibration {
namespace {

using platform::kCrLf;

constexpr int kAdaptorWaitMs = 1000;
constexpr int kPollMs = 500;
constexpr int kSecondLookMs = 2000;
constexpr int kSlowPassMs = 1000;
constexpr std::uint8_t kFullPercent = 100;
constexpr qint64 kChargeWindowTicks = 1200;
constexpr qint64 kLogIntervalTicks = 60;
// The estimate of time asleep may creep by a tick without any sleep; no
// standby is that short.
constexpr qint64 kSleptAtLeastMs = 2000;
// The locks' answers, asked for at the click, are in within this (or given
// up on); the power-settings step waits for them, pumping, to say what holds.
constexpr qint64 kLockAnswersMs = 2000;
constexpr int kLockPollMs = 50;

const QString S1 = QStringLiteral("Please connect the AC Adaptor to begin the calibration run!");
const QString S4 = QStringLiteral("Please REMOVE THE AC ADAPTER to begin the calibration...");
const QString S5 = QStringLiteral("Calibration run now Started");

QString S2(int percent)
{
    return QStringList{
        QStringLiteral("Waiting for battery to finish charging..."),
        QStringLiteral("Total battery power remaining: %1%").arg(percent),
        QStringLiteral("(Hint: To allow faster charging, shutdown the system.)"),
    }.join(kCrLf);
}

const QString M1 = QStringLiteral("Error returning battery status (no battery?)");
const QString M2 = QStringLiteral("Unknown battery charge level, cannot continue!");
const QString M3 = QStringLiteral("The battery does not seem to be charging!\r\nWould you like to start calibration anyway?");
const QString M4 = QStringLiteral("Please set up the Power Scheme according to the instructions\r\n"
                                  "displayed in the box below and then click on OK");
const QString M5 = QStringLiteral("Ready to run the calibration now?");
const QString kStartAnyway = QStringLiteral("Start the calibration anyway?");
const QString M6 = QStringLiteral("The AC Adaptor has been connected!\r\n"
                                  "Please click on View Result to see how long the battery lasted\r\n"
                                  "(or exit and re-run this application if the battery did not fully discharge).");

}  // namespace

CalibrationRun::CalibrationRun(RunWindow& window, platform::Platform& platform, power::PowerStatusSource& power,
                               QString resultLogPath, QString recordDirectory)
    : w_(window),
      p_(platform),
      power_(power),
      resultLogPath_(std::move(resultLogPath)),
      recordDirectory_(std::move(recordDirectory))
{
}

// End unwinds the run through here: a record still open was ended by Exit,
// a closed window or a fatal path.
CalibrationRun::~CalibrationRun()
{
    if (rest_ && record_) {
        pendingRests_.spans.append(rest_->Span(p_.Now(), report::RestOutcome::Broken));
        WritePendingRests();
    }
    if (recharging_)
        RecordSample();
    EndRecord(ending_);
}

void CalibrationRun::Run()
{
    w_.ShowInstructions();
    w_.SetBeginEnabled(false);
    p_.HoldAwake();
    if (!Read()) {
        p_.MsgBox(M1, platform::vbOKOnly + platform::vbCritical);
        p_.End();
    }
    charge_ = std::make_unique<ChargeChanges>(p_, power_.Details().name);
    charge_->Query();
    if (!StartDespiteChargeBlockers()) {
        p_.ReleaseAwake();
        w_.SetBeginEnabled(true);
        return;
    }
    Phase phase = status_.ACLineStatus == power::kAcOnline ? Phase::ChargeWait : Phase::AdaptorWait;
    while (phase != Phase::UnplugWait) {
        switch (phase) {
        case Phase::AdaptorWait: phase = AdaptorWait(); break;
        case Phase::ChargeWait: phase = ChargeWait(); break;
        case Phase::PowerSchemeSetup: phase = PowerSchemeSetup(); break;
        case Phase::UnplugWait: break;
        }
    }
    onMains_ = DischargeOnMainsChosen();
    if (onMains_)
        w_.SetStatusText(S5);
    else
        UnplugWait();
    Discharge();
    if (onMains_ && mainsEnd_ == MainsWatch::State::RanOut)
        return RechargeAndReport();
    if (onMains_) {
        MainsDischargeStopped();
        endedInBox_.reset();  // the unplug path starts a run of its own
        UnplugWait();
        Discharge();
    }
    const report::RunEnding ending = endedInBox_.value_or(UnplugPathEnding());
    EndRecord(ending);
    EndNotice(ending);
    w_.SetStatusText(RunOverText(ending == report::RunEnding::Standby));
    p_.ReleaseAwake();
    p_.MsgBox(M6, platform::vbOKOnly + platform::vbExclamation);
}

// Woken on mains after the last read on battery: the machine slept, and the
// adaptor came with the wake. Whether the sleep was an empty battery's last
// resort is the reader's to judge from the samples.
report::RunEnding CalibrationRun::UnplugPathEnding() const
{
    const bool slept = p_.SleptMs() - sleptOnBattery_ >= kSleptAtLeastMs;
    return slept ? report::RunEnding::Standby : report::RunEnding::Replugged;
}

// The notice names the ending as the record's reader will, in the minutes
// the status box last showed.
void CalibrationRun::EndNotice(report::RunEnding ending)
{
    const bool nearEmpty = lastOnBattery_ && report::SampleNearEmpty(*lastOnBattery_);
    if (ending == report::RunEnding::Standby && !nearEmpty)
        ending = report::RunEnding::StandbyWithCharge;
    const int percent = lastOnBattery_ ? lastOnBattery_->percent : power::kUnknownByte;
    notices_.Ended(report::EndedNoticeText(ending, shownMinutes_,
                                           percent <= 100 ? std::optional<int>(percent) : std::nullopt));
}

// Each read that finds the machine on battery notes the time slept so far:
// a sleep it woke from on battery was not the battery running out.
int CalibrationRun::Read()
{
    const int read = power_.Query(status_);
    if (status_.ACLineStatus == power::kAcOffline)
        sleptOnBattery_ = p_.SleptMs();
    return read;
}

// A battery held below full never gives the gauge its full reference:
// the user hears why before the run rather than at M3 twenty minutes on.
bool CalibrationRun::StartDespiteChargeBlockers()
{
    const QStringList blockers = power_.ChargeBlockers();
    if (blockers.isEmpty())
        return true;
    const QString text = blockers.join(kCrLf) + kCrLf + kCrLf + kStartAnyway;
    return LiftOrStartAnyway(text);
}

// Awake time since the discharge started, from one read of a clock that
// stops during suspend and never steps with the wall clock: a suspend or a
// clock set back cannot make it jump, shrink or go negative.
qint64 CalibrationRun::AwakeMsSinceStart()
{
    return std::max<qint64>(0, p_.AwakeMs() - awakeAtStart_);
}

// The minute boundaries crossed from the start to now, less the time asleep:
// the wall clock's boundaries as they fall after the start time's own
// second, counted on the awake clock. With no sleep and no clock change this
// is the count between the start and now; as the start is known only to the
// second, a boundary may count up to a second after the wall clock shows it.
qint64 CalibrationRun::AwakeMinutes()
{
    return storage::MinutesBetween(start_, start_.addMSecs(AwakeMsSinceStart()));
}

CalibrationRun::Phase CalibrationRun::AdaptorWait()
{
    notices_.AdaptorWait();
    while (status_.ACLineStatus != power::kAcOnline) {
        w_.SetStatusText(S1);
        p_.DoEvents();
        p_.Sleep(kAdaptorWaitMs);
        Read();
    }
    return Phase::ChargeWait;
}

CalibrationRun::Phase CalibrationRun::ChargeWait()
{
    p_.DoEvents();
    bool stopWaiting = false;
    w_.ResetTicks();
    Read();
    std::uint8_t windowStartPercent = status_.BatteryLifePercent;

    while (!stopWaiting && status_.BatteryLifePercent != kFullPercent) {
        p_.Sleep(kPollMs);
        Read();
        if (status_.BatteryLifePercent == power::kUnknownByte) {
            p_.Sleep(kSecondLookMs);
            Read();
            if (status_.BatteryLifePercent == power::kUnknownByte) {
                p_.MsgBox(M2, platform::vbOKOnly + platform::vbExclamation);
                p_.End();
            }
        } else {
            w_.SetStatusText(S2(status_.BatteryLifePercent));
            notices_.Charging(status_);
            if (status_.ACLineStatus == power::kAcOffline)
                stopWaiting = true;
        }
        p_.DoEvents();
        if (w_.Ticks() > kChargeWindowTicks) {
            w_.ResetTicks();
            if (status_.BatteryLifePercent == windowStartPercent && p_.MsgBox(M3, platform::vbYesNo) == platform::vbYes)
                stopWaiting = true;
            windowStartPercent = status_.BatteryLifePercent;
        }
    }

    if (status_.ACLineStatus != power::kAcOnline)
        return Phase::AdaptorWait;
    if (status_.BatteryFlag != power::kFlagHigh)
        return Phase::ChargeWait;
    return Phase::PowerSchemeSetup;
}

CalibrationRun::Phase CalibrationRun::PowerSchemeSetup()
{
    WatchRestAtFull();
    AwaitLockAnswers();
    const QList<storage::LockLine> locks = p_.AwakeLocks();
    notices_.Full(locks);
    w_.SetStatusText(PowerSettingsInstructions(locks));
    if (const auto panel = p_.PowerOptionsPanel())
        p_.Launch(panel->program, panel->arguments);
    p_.MsgBox(M4, platform::vbOKOnly);
    switch (p_.MsgBox(M5, platform::vbYesNoCancel)) {
    case platform::vbYes: return Phase::UnplugWait;
    case platform::vbNo: return Phase::PowerSchemeSetup;
    default: p_.End();
    }
}

void CalibrationRun::AwaitLockAnswers()
{
    const qint64 until = p_.AwakeMs() + kLockAnswersMs;
    while (!p_.AwakeSettled() && p_.AwakeMs() < until) {
        p_.DoEvents();
        p_.Sleep(kLockPollMs);
    }
}

void CalibrationRun::UnplugWait()
{
    w_.SetStatusText(notOnMainsLine_.isEmpty() ? S4 : S4 + kCrLf + notOnMainsLine_);
    notices_.Unplug();
    do {
        p_.DoEvents();
        p_.Sleep(kPollMs);
        Read();
    } while (status_.ACLineStatus != power::kAcOffline);
    EndRestAtFullWatch(true);
    w_.SetStatusText(S5);
}

// Returns when the adaptor is found plugged in again; otherwise runs until
// the machine switches itself off.
void CalibrationRun::Discharge()
{
    w_.ResetTicks();
    start_ = p_.Now();
    awakeAtStart_ = p_.AwakeMs();
    WriteLog();
    StartRecord();
    MinuteKeeper keeper(p_, [this] { KeepMinute(); });
    FollowMode();
    for (;;) {
        keeper.LoopPassed();
        if (endedInBox_)
            return;
        if (w_.Ticks() % kLogIntervalTicks != 0) {
            RecordLogWrite();
            if (StatusPassFoundAdaptor())
                return;
        } else {
            WriteLog();
            if (w_.Ticks() != sampledAtSeconds_)
                RecordSample();
            keeper.WorkDone();
            p_.Sleep(kPollMs);
            p_.DoEvents();
            FollowMode();
            NoteMode();
        }
    }
}

// The end of the discharge as a pass would find it: the mains watch on
// mains, otherwise an adaptor still there half a second on.
std::optional<report::RunEnding> CalibrationRun::EndFound()
{
    if (onMains_) {
        if (!MainsDischargeOver())
            return std::nullopt;
        return mainsEnd_ == MainsWatch::State::RanOut ? report::RunEnding::RanOutOnMains
                                                      : report::RunEnding::FirmwareStopped;
    }
    if (status_.ACLineStatus != power::kAcOnline)
        return std::nullopt;
    p_.Sleep(kPollMs);
    Read();
    if (status_.ACLineStatus != power::kAcOnline)
        return std::nullopt;
    return UnplugPathEnding();
}

bool CalibrationRun::StatusPassFoundAdaptor()
{
    Read();
    p_.DoEvents();
    if (endedInBox_)
        return true;  // a box held the pump while the run ended: its figures stand
    FollowMode();
    NoteMode();
    if (onMains_ && MainsDischargeOver())
        return true;  // at once: at empty, charging is to be held off before the charger starts
    if (!w_.FastDischarge())
        p_.Sleep(kSlowPassMs);
    w_.SetStatusText(DischargeStatusText(AwakeMinutes()));
    notices_.Discharging(status_, w_.FastDischarge());
    AdviseLeavingOff();
    if (onMains_)
        return MainsDischargeOver();
    if (status_.ACLineStatus != power::kAcOnline)
        return false;
    workers_.Stop();  // on mains they would drain nothing; a blip restarts them at the next pass
    p_.Sleep(kPollMs);
    Read();
    return status_.ACLineStatus == power::kAcOnline;
}

// The workers the mode and the heat allow.
void CalibrationRun::FollowMode()
{
    WatchHeat();
    workers_.Follow(w_.FastDischarge(), heat_.Workers());
}

// Read at most once a second: the sensors are slow files, and heat slower.
void CalibrationRun::WatchHeat()
{
    constexpr qint64 kHeatReadMs = 1000;
    const qint64 now = p_.AwakeMs();
    if (heatReadAtMs_ >= 0 && now - heatReadAtMs_ < kHeatReadMs)
        return;
    heatReadAtMs_ = now;
    temperatures_ = power_.ReadTemperatures();
    const bool was = heat_.HoldingBack();
    heat_.Feed(temperatures_, now);
    if (heat_.HoldingBack() != was)
        notices_.HeatHoldBack(HeldBackNoticeText(temperatures_, heat_.HoldingBack()));
}

QString CalibrationRun::DischargeStatusText(qint64 minutes)
{
    shownMinutes_ = minutes;
    const QString suffix = w_.FastDischarge() ? QStringLiteral(" (Fast Discharge)") : QStringLiteral(" (Slow Discharge)");
    return QStringList{
        QStringLiteral("Start=") + storage::DateText(start_),
        QStringLiteral("Now=") + storage::DateText(p_.Now()),
        QStringLiteral("Elapsed time=%1 min.  (%2% charged)").arg(minutes).arg(status_.BatteryLifePercent),
        QString(),
        QStringLiteral("CALIBRATION STARTED ") + suffix,
        QString(),
        QStringLiteral("PLEASE DO NOT SWITCH THE SYSTEM OFF"),
        QStringLiteral("OR CLOSE THE LID."),
        onMains_ ? kOnMainsLine : QStringLiteral("DO NOT RE-CONNECT THE AC ADAPTOR."),
        QString(),
        QStringLiteral("WARNING: If you continue to use the system, you may lose your work if the system switches off suddenly."),
    }.join(kCrLf) + (w_.FastDischarge() && heat_.HoldingBack() ? kCrLf + kCrLf + HeldBackText(temperatures_) : QString());
}

}  // namespace calibration
