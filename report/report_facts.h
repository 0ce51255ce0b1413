// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "power/battery_details.h"
#include "report/fact_line.h"
#include "report/gauge_learning.h"
#include "report/run_record_format.h"
#include "report/verdict.h"

namespace report {

// A run's figures as numbers, nothing where unknown: --report --json's.
struct RunFigures {
    QDateTime start{};
    RunEnding ending = RunEnding::NotRecorded;
    QDateTime finished{};  // the result log's last write, or the last sample
    qint64 awakeMinutes = 0;
    std::optional<int> lastPercent{};        // the gauge at the last sample
    std::optional<int> gaugeAtEndPercent{};  // the same, only for a run that ran out
    std::optional<int> largestErrorPoints{};  // only for a run that ran out
    std::optional<double> energyDeliveredWh{};
    std::optional<double> fullWhStart{};
    std::optional<double> fullWhNow{};  // only when the same battery is fitted
    std::optional<double> designWh{};
    std::optional<double> healthPercent{};  // the health line's: the capacity after the run against design
    std::optional<QDate> nextCalibration{};  // only for a run that ran out
};

// What the report says about one run, worked out once: the window shows it,
// Copy Text and --report print it.
struct ReportFacts {
    QString ending;   // how the run ended, the report's first line
    QString verdict;
    QString health;   // "Health now: 88 % of design, normal wear"
    QList<FactLine> lines;
    QList<EstimateCheck> estimates;  // empty unless the run ran out
    QStringList keptAwake;           // in full, one line a lock
    RunFigures figures;
    LearningConditions learning;
    std::optional<SinceCalibration> since{};  // the earlier run that ran out on the same battery
};

// The facts of runs[index], its span by LoggedSpan; `now` is what the
// battery fitted today reports, `at` the time of asking. Health and the
// relearned capacity compare with the same battery only: at the next run's
// start on it, or today when none came after and it is still fitted.
ReportFacts BuildReportFacts(const QList<RunRecord>& runs, qsizetype index, const power::BatteryDetails& now,
                             const QDateTime& at);

// The facts as plain text, one line each, for a forum post or a bug report.
QStringList FactsLines(const ReportFacts& facts);
// The learning conditions' block of them, with the comparison.
QStringList LearningLines(const ReportFacts& facts);

// The report's number and date forms, "unknown" where nothing is known.
QString NumberText(double value, int decimals);
QString PercentText(const std::optional<double>& value);
QString WhText(const std::optional<double>& value);
QString WhenText(const QDateTime& time);

}  // namespace report
