// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "power/system_power_status.h"
#include "report/rest_record.h"
#include "report/run_ending.h"

namespace report {

// Every member of these has an initializer, so that designated initializers
// may leave out any of them.

// What holds for a whole calibration run, known when its discharge starts.
struct RunFacts {
    QDateTime start{};
    QString batteryModels{};
    std::optional<double> designWh{};
    std::optional<double> fullWh{};
    std::optional<int> cycleCount{};
    bool fast = true;
    QStringList keptAwake{};  // one line per thing kept awake
    QString bootId{};         // storage::BootId() when the run started; empty in format 1
    // Who made the battery and its serial, where the firmware tells them:
    // with the models, they tell one battery from another. Empty in older records.
    QString batteryManufacturer{};
    QString batterySerial{};
    // The battery discharged with the adaptor connected ("discharge,on-mains").
    bool onMains = false;
    // The writer's process ("pid,<id>"), and whether it could hold no lock on
    // the record ("lock,none", a file system without locks): readers then
    // judge the record by how fresh it is.
    qint64 writerPid = 0;
    bool unlocked = false;
    // The writer's locale ("locale,en_GB"): the result log's dates are in its form.
    QString locale{};
};

// One look at the battery during the discharge. Percent and AC state use the
// power status record's values, power::kUnknownByte standing for unknown.
struct RunSample {
    QDateTime time{};  // local, with its offset from UTC
    qint64 awakeSeconds = 0;  // since the discharge started
    int acLineStatus = power::kUnknownByte;
    int percent = power::kUnknownByte;
    QString batteryStatus{};
    bool fast = true;
    std::optional<double> energyWh{};
    std::optional<double> fullWh{};
    std::optional<double> designWh{};
    std::optional<double> powerW{};
    std::optional<double> voltageV{};
    qint64 remainingSeconds = -1;  // the system's own estimate of the time left, -1 unknown
    // Taken while the battery discharged with the adaptor connected: `ac`
    // tells the adaptor as it was, this how the battery was discharging.
    bool dischargeOnMains = false;
    std::optional<double> batteryCelsius{};  // the battery's own sensor
    std::optional<double> zoneCelsius{};     // the hottest thermal zone
    QString zoneType{};                      // and its kind
    qint64 heldBackSeconds = 0;  // fast discharge held back for the heat, in total so far
};

// The run switched to fast or slow discharge, this far into it.
struct ModeSwitch {
    qint64 awakeSeconds = 0;
    bool fast = true;
};

// One write of the result log: its time of writing and its minutes (lines
// 3 and 1), as the log got them.
struct LogWrite {
    QDateTime time{};
    qint64 minutes = 0;
};

struct RunRecord {
    QString path;
    RunFacts facts;
    QList<RunSample> samples;
    // A run on mains goes on recording while the battery charges back to
    // full: those samples, kept apart so that they count for the relearned
    // capacity and nothing else.
    QList<RunSample> recharge{};
    std::optional<LogWrite> lastLog{};  // the last log write; nothing in records older than such lines
    QList<ModeSwitch> modeSwitches{};   // none in records older than such lines
    std::optional<RecordStop> stop{};   // where the writer could write no more
    RecordedRests rests{};              // none in records older than such lines
    RunEnding ending = RunEnding::NotRecorded;
    bool endLine = false;  // the record has an end line, of a known reason or not
    int setAside = 0;      // damaged samples left out: beyond physical bounds or the record's own clock
};

// Longer lines are skipped.
inline constexpr qsizetype kRecordLineLimit = 4 * 1024;

// A record is the marker line "dorvik-run-record,<major>", then "key,value"
// facts (start is required), then a header line starting with "time," that
// names the columns, then one sample a line. Samples are read by column name:
// time, awake_s and percent are required, any other column may be missing
// (quantities and status read as unknown, ac as unknown, mode as the run's) and
// columns this version does not know are ignored, as are unknown facts. So
// adding a column or a fact keeps major 1; only a change that older readers
// would misread raises it, and such records count as newer, not unreadable.
// An orderly ending adds a line "end,<reason>,<time>" after the samples; the
// fact boot_id names the boot the run started in, which tells a run the
// machine took down from one that was killed. A "kept_awake,<line>" among the
// samples stands in for the earlier fact about the same lock. Each write of
// the result log adds "log,<time>,<minutes>", so that every view counts the
// run as the log did. A run on mains has the fact "discharge,on-mains"; its
// samples have ac 0 while the battery runs the machine and ac 1 from the
// recharge on, which older readers take for an ordinary run's samples. Later
// writers keep ac as it was and mark the discharge on mains in the column
// "discharge" ("on-mains"). A switch of mode adds "mode,<time>,<awake_s>,<mode>";
// a writer that could write no more adds, if it can,
// "stopped,<time>,<minutes>,<reason>"; the fact "locale" names the writer's.
// The rests given to the gauge add "rest", "no_rest" and "rest_v" lines
// (rest_record.h).

// The marker, the facts and the header.
QByteArray RecordText(const RunFacts& facts);
QByteArray SampleLine(const RunSample& sample);
// "kept_awake,<line>", written when a lock changed during the run.
QByteArray KeptAwakeRecordLine(const QString& line);
// "log,<time>,<minutes>": a write of the result log.
QByteArray LogWriteLine(const LogWrite& write);
QByteArray ModeSwitchLine(const QDateTime& time, const ModeSwitch& change);
QByteArray RecordStopLine(const QDateTime& time, const RecordStop& stop);
// "end,<reason>,<time>"; empty for an ending that no run writes.
QByteArray EndLine(RunEnding ending, const QDateTime& time);

struct ParsedRunRecord {
    std::optional<RunRecord> record{};  // nothing when the bytes do not read as a record
    bool newer = false;                 // nothing because a newer Dorvik wrote them in a later format
};
// A torn last line (no line end) is left out. A record without an end line
// reads as NotRecorded: only its folder can tell more. A standby reads as
// StandbyWithCharge unless the last sample on battery was SampleNearEmpty. Samples
// and log lines that cannot be
// are set aside and counted: a quantity beyond any laptop's battery, awake
// time beyond the wall clock's run since the start (its steps forward, as
// it may be set back; kAwakeAllowance aside), or awake time that goes back.
inline constexpr qint64 kAwakeAllowance = 5 * 60;
ParsedRunRecord ParseRunRecord(const QByteArray& bytes);

// Whether the battery could have run out by the next sample, a minute on:
// on battery, and at or below kNearEmptyPercent, or with no more energy left
// than a draw above zero takes in a minute and kSampleLateSeconds.
inline constexpr int kNearEmptyPercent = 10;
inline constexpr int kSampleLateSeconds = 30;
bool SampleNearEmpty(const RunSample& sample);

}  // namespace report
