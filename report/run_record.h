// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "storage/run_liveness.h"

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
};

// One look at the battery during the discharge. Percent and AC state use the
// power status record's values, 255 standing for unknown.
struct RunSample {
    QDateTime time{};  // local, with its offset from UTC
    qint64 awakeSeconds = 0;  // since the discharge started
    int acLineStatus = 255;
    int percent = 255;
    QString batteryStatus{};
    bool fast = true;
    std::optional<double> energyWh{};
    std::optional<double> fullWh{};
    std::optional<double> designWh{};
    std::optional<double> powerW{};
    std::optional<double> voltageV{};
    qint64 remainingSeconds = -1;  // the system's own estimate of the time left, -1 unknown
};

enum class RunEnding;  // below

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

// How a run ended. Records of the first format, and end lines with a reason
// this version does not know, read as NotRecorded.
enum class RunEnding {
    NotRecorded,
    Running,      // its writer still holds the record
    Replugged,    // the adaptor came back
    Exited,       // Exit, the window closed, or a fatal path after the discharge started
    Standby,      // the machine slept after the last sample and woke on mains
    SwitchedOff,  // the machine went down with the run
    Killed,       // same boot, no end line, and no writer holds it
};

// Only a run that ran out tells the gauge's error at empty.
constexpr bool RanOut(RunEnding ending)
{
    return ending == RunEnding::SwitchedOff || ending == RunEnding::Standby;
}

struct RunRecord {
    QString path;
    RunFacts facts;
    QList<RunSample> samples;
    RunEnding ending = RunEnding::NotRecorded;
    bool endLine = false;  // the record has an end line, of a known reason or not
};

struct RunRecords {
    QList<RunRecord> runs;  // oldest first
    int unreadable = 0;     // record files that are not records or are damaged
    int newer = 0;          // records in a later format, written by a newer Dorvik
};

// Bounds on what the reader takes in: larger files are unreadable, longer
// lines are skipped.
inline constexpr qint64 kRecordSizeLimit = 4 * 1024 * 1024;
inline constexpr qsizetype kRecordLineLimit = 4 * 1024;

// Every record in the folder. A torn last line (no line end) is left out.
//
// A record is the marker line "dorvik-run-record,<major>", then "key,value"
// facts (start is required), then a header line starting with "time," that
// names the columns, then one sample a line. Samples are read by column name:
// time, awake_s and percent are required, any other column may be missing
// (quantities and status read as unknown, ac as 255, mode as the run's) and
// columns this version does not know are ignored, as are unknown facts. So
// adding a column or a fact keeps major 1; only a change that older readers
// would misread raises it, and such records count as newer, not unreadable.
// An orderly ending adds a line "end,<reason>,<time>" after the samples; the
// fact boot_id names the boot the run started in, which tells a run the
// machine took down from one that was killed.
RunRecords ReadRunRecords(const QString& directory);

// Whether the folder holds at least one record that reads.
bool HasRunRecord(const QString& directory);

// The lines a record file holds, and its reading (exposed for the fuzzer).
QByteArray RecordText(const RunFacts& facts);
QByteArray SampleLine(const RunSample& sample);
// "end,<reason>,<time>"; empty for an ending that no run writes.
QByteArray EndLine(RunEnding ending, const QDateTime& time);
struct ParsedRunRecord {
    std::optional<RunRecord> record{};  // nothing when the bytes do not read as a record
    bool newer = false;                 // nothing because a newer Dorvik wrote them in a later format
};
ParsedRunRecord ParseRunRecord(const QByteArray& bytes);

}  // namespace report
