// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QPointF>
#include <optional>

#include "power/battery_details.h"
#include "report/run_record.h"
#include "storage/result_log_file.h"

namespace report {

// The figures the run report shows, worked out from a record alone.

// At most `maxPoints` of the points (at least the two ends), evenly spread
// over them; the first and the last are always kept.
QList<QPointF> Resampled(const QList<QPointF>& points, int maxPoints);

// The gauge's percent against awake minutes, unknown percents left out.
QList<QPointF> PercentCurve(const QList<RunSample>& samples);

// The power draw in W against awake minutes, where known.
QList<QPointF> PowerCurve(const QList<RunSample>& samples);

// What a true gauge would have shown: a straight fall from the first known
// percent to 0 % at the last sample. Empty without a known percent.
QList<QPointF> StraightLine(const QList<RunSample>& samples);

// The energy the battery gave over the run: the fall of its energy between
// the first and the last sample that know it, otherwise the power draw summed
// over awake time. Nothing when neither can be told.
std::optional<double> EnergyDeliveredWh(const QList<RunSample>& samples);

// Full energy at the start against the design energy, in %.
std::optional<double> HealthPercent(const RunFacts& facts);
// A full capacity against a design capacity, in %.
std::optional<double> HealthPercent(std::optional<double> fullWh, std::optional<double> designWh);

// The percent the gauge still showed at the last sample: its error when the
// machine died. Nothing when that sample does not know it.
std::optional<int> GaugeAtEnd(const QList<RunSample>& samples);

// Awake minutes from the discharge's start to the last sample.
double RunMinutes(const QList<RunSample>& samples);

// How long a run lasted in whole minutes, by the result log's rule: the
// minute boundaries crossed from its start to the end of its awake time.
qint64 LoggedMinutes(const QDateTime& start, qint64 awakeSeconds);

// A run's length and times as the result log gave them, the one span every
// view shows: the minutes of the log's last write, finished at its time of
// writing. Records older than their log lines: the rule above to the last
// sample, finished at that sample. `finished` is invalid with neither.
struct RunSpan {
    QDateTime start;
    QDateTime finished;
    qint64 minutes = 0;
};
RunSpan LoggedSpan(const RunRecord& run);
qint64 LoggedMinutes(const RunRecord& run);

// The run the result log tells of, the newest whose start is the log's: its
// text as the record's writer wrote it (in the writer's locale, where the
// record names it; else read in the reader's, on the wall clock the run
// started by), so that a change of time zone or a repeated hour keeps the
// match. A log without its text matches by the instant. -1 when none.
qsizetype LoggedRunIndex(const QList<RunRecord>& runs, const storage::LoggedRun& log);

// Whether a run's battery is the one in `now` (or a later run's): no name
// both give differs. Batteries that name nothing in common count as the
// same, as records from before the serial was kept must.
bool SameBattery(const RunFacts& run, const power::BatteryDetails& now);
bool SameBattery(const RunFacts& run, const RunFacts& later);

// One row of the list of runs.
struct RunSummary {
    QDateTime start;
    double minutes = 0;
    std::optional<int> gaugeAtEnd;
    std::optional<double> healthPercent;
};
RunSummary Summarise(const RunRecord& run);

}  // namespace report
