// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

#include "calibration/discharge_workers.h"
#include "calibration/heat_hold_back.h"
#include "calibration/mains_discharge.h"
#include "calibration/rest_keeping.h"
#include "calibration/stage_notices.h"
#include "platform/platform.h"
#include "power/power_status_source.h"
#include "report/run_record.h"

namespace calibration {

// What the calibration run needs of the window it runs in: its face only.
class RunWindow {
public:
    virtual ~RunWindow() = default;
    virtual void SetStatusText(const QString& text) = 0;
    virtual void ShowInstructions() = 0;
    virtual void SetBeginEnabled(bool enabled) = 0;
    // The window's clock ticks (`Seconds`) and discharge mode (`Fast`).
    virtual qint64 Ticks() const = 0;
    virtual void ResetTicks() = 0;
    virtual bool FastDischarge() const = 0;
};

// The guided run, for the length of one Begin Calibration press: from the
// first charge check to the battery's exhaustion, pumping events as it waits.
// Returns when the adaptor comes back; End unwinds it on every other way out.
class CalibrationRun {
public:
    // resultLogPath: the log the run rewrites each minute and View Result
    // reads. recordDirectory: where the run's record goes; empty for none.
    CalibrationRun(RunWindow& window, platform::Platform& platform, power::PowerStatusSource& power,
                   QString resultLogPath, QString recordDirectory);
    ~CalibrationRun();
    void Run();

private:
    enum class Phase { AdaptorWait, ChargeWait, PowerSchemeSetup, UnplugWait };

    int Read();
    bool StartDespiteChargeBlockers();
    qint64 AwakeMsSinceStart();
    qint64 AwakeMinutes();
    Phase AdaptorWait();
    Phase ChargeWait();
    Phase PowerSchemeSetup();
    void AwaitLockAnswers();
    void UnplugWait();
    void Discharge();
    bool StatusPassFoundAdaptor();
    QString DischargeStatusText(qint64 minutes);
    void FollowMode();
    void WatchHeat();
    std::optional<report::RunEnding> EndFound();
    report::RunEnding UnplugPathEnding() const;
    void EndNotice(report::RunEnding ending);
    // The log and the record (run_keeping.cpp).
    void WriteLog();
    void RecordLogWrite();
    void StartRecord();
    void RecordSample();
    void RecordSample(const power::BatteryDetails& details);
    void NoteMode();
    void RecordFailed(const QString& error);
    void NoteRecordStop();
    void KeepMinute();
    void EndRecord(report::RunEnding ending);
    // The run on mains (calibration_run_on_mains.cpp).
    bool LiftOrStartAnyway(const QString& question);
    bool DischargeOnMainsChosen();
    bool MainsDischargeStarted();
    bool MainsDischargeOver();
    void MainsDischargeStopped();
    void RechargeAndReport();
    // The rests (run_rests.cpp).
    void WatchRestAtFull();
    void EndRestAtFullWatch(bool unplugged);
    // False, with the reason, when the user refused the grant the discharge needs too.
    bool RestAtFullOnMains(QString* refusal);
    void RestAtEmptyOnMains();
    void StartRecharge();
    report::RestOutcome Rest();
    void KeepRest(report::RestOutcome outcome);
    void MissRest(report::RestSpot spot, report::NoRestReason reason);
    void WritePendingRests();
    void AdviseLeavingOff();

    RunWindow& w_;
    platform::Platform& p_;
    power::PowerStatusSource& power_;
    const QString resultLogPath_;
    const QString recordDirectory_;
    SYSTEM_POWER_STATUS status_{};
    QDateTime start_;
    qint64 awakeAtStart_ = 0;
    std::unique_ptr<report::RunRecordWriter> record_;
    report::LogWrite logged_;  // the log's last write: every view counts the run by it
    bool logPending_ = false;     // a write of the log the record does not hold yet
    qint64 recordedMinutes_ = 0;  // those of the last log write the record holds
    qint64 sampledAtSeconds_ = -1;
    qint64 shownMinutes_ = 0;  // the status box's elapsed minutes, the count the notices give
    bool recordedFast_ = true;
    std::optional<report::RecordStop> recordStop_;  // set at the first write the record refused
    bool stopNoted_ = false;
    std::optional<report::RunSample> lastOnBattery_;  // the last sample taken on battery
    std::optional<report::RunEnding> endedInBox_;  // the end the minute keeper found behind a box
    DischargeWorkers workers_{p_.Workers()};
    HeatHoldBack heat_{workers_.Full()};
    power::Temperatures temperatures_;  // the last read, kept in the samples
    qint64 heatReadAtMs_ = -1;          // on the awake clock
    qint64 sleptOnBattery_ = 0;  // SleptMs at the last read on battery
    StageNotices notices_{p_, power_};
    std::unique_ptr<ChargeChanges> charge_;  // restores what it changed when the run goes
    bool onMains_ = false;
    bool recharging_ = false;
    std::optional<MainsWatch> mainsWatch_;
    MainsWatch::State mainsEnd_ = MainsWatch::State::Starting;
    power::BatteryDetails batteryDetails_;  // read at most once a second on mains
    qint64 batteryDetailsAtMs_ = -1;
    QString notOnMainsLine_;
    std::optional<KeptRest> rest_;  // held on mains, under way
    bool skipRest_ = false;
    std::optional<KeptRest> fullRestWatch_;  // the unplug path's, until the unplug
    std::unique_ptr<platform::IntervalTimer> restTimer_;
    qint64 restReadAtMs_ = 0;
    PendingRests pendingRests_;  // until the record exists
    bool leaveOffAdvised_ = false;
    report::RunEnding ending_ = report::RunEnding::Exited;  // what the destructor records
};

}  // namespace calibration
