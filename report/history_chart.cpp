// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/history_chart.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <tuple>

#include "report/chart_parts.h"
#include "report/report_math.h"
#include "report/verdict.h"
#include "storage/date_text.h"

namespace report {

QWidget* HistoryChart(const QList<RunRecord>& runs, const QPalette& palette, const QFont& font)
{
    QChart* chart = NewChart(palette);
    chart->setObjectName(QStringLiteral("historyChart"));  // the list above names it
    auto* dates = new QDateTimeAxis;
    dates->setFormat(storage::DateTextFormat(QLocale()));
    dates->setTickCount(2);
    // A little room at each end, so that no point sits half off the plot.
    const qint64 room = std::max<qint64>(3600, runs.first().facts.start.secsTo(runs.last().facts.start) / 30);
    dates->setRange(runs.first().facts.start.addSecs(-room), runs.last().facts.start.addSecs(room));
    auto* minutes = Axis(QStringLiteral("min"), 1);  // the legend names the lines
    auto* health = Axis(QStringLiteral("%"), 100);
    minutes->setTickCount(3);
    health->setTickCount(3);
    health->setGridLineVisible(false);
    chart->addAxis(dates, Qt::AlignBottom);
    chart->addAxis(minutes, Qt::AlignLeft);
    chart->addAxis(health, Qt::AlignRight);
    FollowPalette(chart, palette, font);
    // Only a run that ran out tells how long the battery lasts; those that
    // stopped early show apart, by how long they went.
    auto* lasted = new QLineSeries;
    lasted->setName(QStringLiteral("Minutes lasted"));
    auto* stopped = new QScatterSeries;
    stopped->setObjectName(QStringLiteral("stoppedEarly"));
    stopped->setName(QStringLiteral("stopped early"));
    stopped->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    stopped->setMarkerSize(QFontMetrics(font).height() / 2.0);
    auto* healthLine = new QLineSeries;
    healthLine->setName(QStringLiteral("Health"));
    double top = 1;
    for (const RunRecord& run : runs) {
        const RunSummary summary = Summarise(run);
        const double when = double(run.facts.start.toMSecsSinceEpoch());
        if (RanOut(run.ending))
            lasted->append(when, summary.minutes);
        else if (run.ending != RunEnding::Running && run.ending != RunEnding::NotRecorded)
            stopped->append(when, summary.minutes);  // of the others, how they end is not known
        top = std::max(top, summary.minutes);
        if (summary.healthPercent)
            healthLine->append(when, std::min(*summary.healthPercent, 100.0));
    }
    minutes->setRange(0, top * 1.1);
    minutes->applyNiceNumbers();
    const bool dark = Dark(palette);
    for (const auto& [series, axis, style] : {std::tuple{lasted, minutes, kGaugeLine}, {healthLine, health, kPowerLine}}) {
        chart->addSeries(series);
        series->attachAxis(dates);
        series->attachAxis(axis);
        series->setPointsVisible(true);
        Style(series, style, dark);
    }
    chart->addSeries(stopped);
    stopped->attachAxis(dates);
    stopped->attachAxis(minutes);
    stopped->setColor(dark ? kStraightLine.dark : kStraightLine.light);
    // A legend entry for runs that are not there would only puzzle.
    for (QLegendMarker* marker : chart->legend()->markers(stopped))
        marker->setVisible(stopped->count() > 0);
    stopped->setBorderColor(stopped->color());
    QChartView* view = View(chart, 170);
    view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    view->setFixedHeight(std::max(170, 7 * QFontMetrics(font).height()));
    return view;
}

}  // namespace report
