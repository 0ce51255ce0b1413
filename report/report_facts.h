// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "power/battery_details.h"
#include "report/run_record_format.h"
#include "report/verdict.h"

namespace report {

// A run's figures as numbers, nothing where unknown: --report --json's.
struct RunFigures {
    QDateTime start{};
    RunEnding ending = RunEnding::NotRecorded;
    qint64 awakeMinutes = 0;
    std::optional<int> gaugeAtEndPercent{};
    std::optional<int> largestErrorPoints{};  // only for a run that ran out
    std::optional<double> energyDeliveredWh{};
    std::optional<double> fullWhStart{};
    std::optional<double> fullWhNow{};
    std::optional<double> designWh{};
    std::optional<double> healthPercent{};  // full capacity at the start against design
};

// One row of the summary. `name` names the window's label of the value.
struct FactLine {
    QString label;  // "Run lasted:"
    QString value;
    QString name{};
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
};

// The facts of runs[index], `minutes` long by the result log's rule; `now`
// is what the battery reports today, `at` the time of asking. Health and the
// relearned capacity use the next run's capacity, or today's for the latest.
ReportFacts BuildReportFacts(const QList<RunRecord>& runs, qsizetype index, qint64 minutes,
                             const power::BatteryDetails& now, const QDateTime& at);

// The facts as plain text, one line each, for a forum post or a bug report.
QStringList FactsLines(const ReportFacts& facts);

// The report's number and date forms, "unknown" where nothing is known.
QString NumberText(double value, int decimals);
QString PercentText(const std::optional<double>& value);
QString WhText(const std::optional<double>& value);
QString WhenText(const QDateTime& time);

}  // namespace report
