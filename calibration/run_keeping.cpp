// SPDX-License-Identifier: GPL-3.0-or-later
// The run's log and record, kept each minute.
#include <QLocale>
#include <QLoggingCategory>
#include <utility>

#include "calibration/calibration_run.h"
#include "calibration/result_log.h"
#include "report/run_record.h"
#include "storage/date_text.h"

namespace calibration {
namespace {

Q_LOGGING_CATEGORY(lcRecord, "dorvik.calibration")

using platform::kCrLf;

}  // namespace

void CalibrationRun::WriteLog()
{
    const qint64 minutes = AwakeMinutes();
    const QDateTime now = p_.Now();
    WriteResultLog(resultLogPath_, QString::number(minutes) + kCrLf + storage::DateText(start_) + kCrLf
                                       + storage::DateText(now));
    logged_ = {now, minutes};
    logPending_ = true;
}

// The log is rewritten on every pass of its minute; the record notes the
// last of those writes once the minute's passes are over (or the run is).
void CalibrationRun::RecordLogWrite()
{
    if (!std::exchange(logPending_, false) || !record_ || recordStop_)
        return;
    QString error;
    if (record_->Logged(logged_, &error))
        recordedMinutes_ = logged_.minutes;
    else
        RecordFailed(error);
}

// The loop's minute, done for it while a nested handler's box holds it: a
// fresh read, the status text, the log and a sample, and the end of the run
// when the adaptor (or on mains, the battery) says so. The box closing then
// finds the run over.
void CalibrationRun::KeepMinute()
{
    if (endedInBox_)
        return;
    Read();
    NoteMode();
    notices_.Discharging(status_, w_.FastDischarge());
    AdviseLeavingOff();
    endedInBox_ = EndFound();
    WriteLog();
    w_.SetStatusText(DischargeStatusText(logged_.minutes));
    RecordLogWrite();
    RecordSample();
    if (endedInBox_ && !onMains_)
        EndRecord(*endedInBox_);
}

// The run record is an addition to the log: when it cannot be written the
// user hears why on the log output, and the run goes on.
void CalibrationRun::StartRecord()
{
    recordedFast_ = w_.FastDischarge();
    if (recordDirectory_.isEmpty())
        return;
    const power::BatteryDetails details = power_.Details();
    const report::RunFacts facts{
        .start = start_,
        .batteryModels = details.model,
        .designWh = details.energyDesignWh,
        .fullWh = details.energyFullWh,
        .cycleCount = details.cycleCount,
        .fast = w_.FastDischarge(),
        .keptAwake = p_.AwakeReport(),
        .bootId = p_.BootId(),
        .batteryManufacturer = details.manufacturer,
        .batterySerial = details.serial,
        .onMains = onMains_,
        .locale = QLocale().name(),
    };
    QString error;
    record_ = report::RunRecordWriter::Create(recordDirectory_, facts, &error);
    if (!record_) {
        qCWarning(lcRecord, "no run record: %s", qUtf8Printable(error));
        notices_.RecordFailed(error);
    } else if (!record_->Held()) {
        qCWarning(lcRecord, "no lock on the run record %s (its file system has none): readers will judge "
                  "it live by how fresh it is", qUtf8Printable(record_->Path()));
    }
    RecordSample(details);
    WritePendingRests();
}

void CalibrationRun::RecordSample()
{
    RecordSample(power_.Details());
}

void CalibrationRun::RecordSample(const power::BatteryDetails& details)
{
    sampledAtSeconds_ = w_.Ticks();
    NoteRecordStop();
    if (recharging_ || heatReadAtMs_ < 0)  // the discharge's heat watch reads them otherwise
        temperatures_ = power_.ReadTemperatures();
    const report::RunSample sample{
        .time = p_.Now(),
        .awakeSeconds = AwakeMsSinceStart() / 1000,
        .acLineStatus = status_.ACLineStatus,
        .percent = status_.BatteryLifePercent,
        .batteryStatus = details.status,
        .fast = w_.FastDischarge(),
        .energyWh = details.energyNowWh,
        .fullWh = details.energyFullWh,
        .designWh = details.energyDesignWh,
        .powerW = details.powerW,
        .voltageV = details.voltageV,
        .remainingSeconds = power::SecondsOrUnknown(status_.BatteryLifeTime),
        .dischargeOnMains = onMains_ && !recharging_,
        .batteryCelsius = temperatures_.batteryCelsius,
        .zoneCelsius = temperatures_.hottestZone ? std::optional(temperatures_.hottestZone->celsius) : std::nullopt,
        .zoneType = temperatures_.hottestZone ? temperatures_.hottestZone->type : QString(),
        .heldBackSeconds = heat_.HeldBackMs(p_.AwakeMs()) / 1000,
    };
    if (sample.acLineStatus == power::kAcOffline)
        lastOnBattery_ = sample;
    if (!record_ || recordStop_)
        return;
    QString error;
    if (!record_->UpdateKeptAwake(p_.AwakeReport(), &error) || !record_->Append(sample, &error))
        RecordFailed(error);
}

// Each switch of the mode goes in the record as it happens.
void CalibrationRun::NoteMode()
{
    const bool fast = w_.FastDischarge();
    if (fast == recordedFast_)
        return;
    recordedFast_ = fast;
    QString error;
    if (record_ && !recordStop_ && !record_->SwitchedMode(p_.Now(), {AwakeMsSinceStart() / 1000, fast}, &error))
        RecordFailed(error);
}

// The record stops at its first refused write, but the run keeps its hold on
// it: readers go on seeing a live run, and then the stop, never a killed one.
void CalibrationRun::RecordFailed(const QString& error)
{
    qCWarning(lcRecord, "the run record stops here: %s", qUtf8Printable(error));
    notices_.RecordFailed(error);
    recordStop_ = report::RecordStop{recordedMinutes_, report::StopReason(error)};
    NoteRecordStop();
}

// Where the record stopped, noted as soon as a write goes through again.
void CalibrationRun::NoteRecordStop()
{
    if (record_ && recordStop_ && !stopNoted_)
        stopNoted_ = record_->Stopped(p_.Now(), *recordStop_);
}

// Writes how the run ended and lets go of the record; once only.
void CalibrationRun::EndRecord(report::RunEnding ending)
{
    if (!record_)
        return;
    RecordLogWrite();
    NoteRecordStop();
    QString error;
    if (!record_->End(ending, p_.Now(), &error))
        qCWarning(lcRecord, "the run's ending is not recorded: %s", qUtf8Printable(error));
    record_.reset();
}

}  // namespace calibration
