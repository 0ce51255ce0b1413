// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "report/run_record_format.h"
#include "storage/run_liveness.h"

namespace report {

// The folder of run records: the writer of a live run, which keeps the
// newest runs, and the reader of them all. The record's text is in
// run_record_format.h.

// Runs kept in a record folder; creating one deletes the oldest beyond these.
inline constexpr int kKeptRuns = 20;

// Writes one run's record: the facts when created, then one line per sample,
// each on the disk before the call returns. Never throws.
class RunRecordWriter {
public:
    // Takes the hold on a new record that tells readers the run is live;
    // null or not Held() when refused. Tests put in one that refuses.
    using HoldTaker = std::unique_ptr<storage::FileHold> (*)(const QString& path);
    static std::unique_ptr<storage::FileHold> TakeHold(const QString& path);

    // Creates the folder if need be and a new record in it named by the
    // start time; nothing, with the reason in `error`, when that fails. A
    // record it cannot hold says so in its facts (see UnlockedRunIsLive).
    static std::unique_ptr<RunRecordWriter> Create(const QString& directory, const RunFacts& facts,
                                                   QString* error = nullptr, HoldTaker takeHold = &TakeHold);
    // False, with the reason in `error`, when the sample could not be written.
    bool Append(const RunSample& sample, QString* error = nullptr);
    // Notes a write of the result log, like a sample.
    bool Logged(const LogWrite& write, QString* error = nullptr);
    // Notes a switch of the discharge mode, like a sample.
    bool SwitchedMode(const QDateTime& time, const ModeSwitch& change, QString* error = nullptr);
    // Notes where the record stopped after a failed write, if it can.
    bool Stopped(const QDateTime& time, const RecordStop& stop, QString* error = nullptr);
    // Notes a rest given to the gauge, one it could not have, and the
    // readings of a rest taken before the discharge, like a sample.
    bool Rested(const RestSpan& rest, QString* error = nullptr);
    bool MissedRest(const NoRest& missed, QString* error = nullptr);
    bool RestReadings(const QList<RestVoltage>& readings, QString* error = nullptr);
    // Writes the end line of an orderly ending (Replugged, Exited, Standby)
    // like a sample; false for any other ending.
    bool End(RunEnding ending, const QDateTime& time, QString* error = nullptr);
    // Writes, like a sample, each kept-awake line that changed since the
    // facts or the last call: a lock lost or taken again during the run.
    bool UpdateKeptAwake(const QStringList& lines, QString* error = nullptr);
    QString Path() const { return path_; }
    // Whether readers can tell from the hold that the run is live.
    bool Held() const { return hold_ && hold_->Held(); }

private:
    RunRecordWriter(QString path, QStringList keptAwake, std::unique_ptr<storage::FileHold> hold)
        : path_(std::move(path)), keptAwake_(std::move(keptAwake)), hold_(std::move(hold)) {}
    QString path_;
    QStringList keptAwake_;
    std::unique_ptr<storage::FileHold> hold_;  // tells readers that the run is live
};

struct RunRecords {
    QList<RunRecord> runs;  // oldest first
    int unreadable = 0;     // record files that are not records or are damaged
    int newer = 0;          // records in a later format, written by a newer Dorvik
};

// Larger files are unreadable.
inline constexpr qint64 kRecordSizeLimit = 4 * 1024 * 1024;

// Every record in the folder, read as ParseRunRecord reads one, each run
// without an end line given the ending UnendedRunEnding tells.
RunRecords ReadRunRecords(const QString& directory);

// Whether the folder holds at least one record that reads.
bool HasRunRecord(const QString& directory);

// The newest record that reads and that `keep` accepts, endings told as
// ReadRunRecords tells them. Newest by name, which is the start time, so
// the older records are opened only when the newer ones do not do.
std::optional<RunRecord> NewestRunRecord(const QString& directory, const std::function<bool(const RunRecord&)>& keep);

// How a run without an end line ended, told from outside: Running while a
// writer holds the record, or while an unheld one of this boot is fresh
// (UnlockedRunIsLive); Killed when neither holds in the boot it started in;
// NotRecorded when the record names no boot (format 1) or this boot cannot be
// told. After a restart, SwitchedOff only when its last sample shows the
// battery near enough to empty (SampleNearEmpty) and it was not discharging
// on mains; Restarted otherwise. RecordStopped for a record its writer
// stopped writing, once no writer holds it.
RunEnding UnendedRunEnding(const QString& path, const RunRecord& run);


}  // namespace report
