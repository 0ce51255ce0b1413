// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/chart_parts.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "report/report_math.h"
#include "report/verdict.h"

namespace report {
namespace {

// Enough to draw a day's run smoothly at any window width.
constexpr int kChartPoints = 600;
// Beyond this many gaps a record is damaged rather than interrupted: its
// curve is drawn whole instead of as hundreds of series.
constexpr int kMostPieces = 50;

// A round step that puts at most `most` steps in `span`: 1, 2 or 5 times a
// power of ten, so that no span, however damaged, asks for more ticks.
double RoundStep(double span, int most)
{
    const double rough = std::max(span, 1.0) / most;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double nice : {1.0, 2.0, 5.0}) {
        if (nice * power >= rough)
            return nice * power;
    }
    return 10 * power;
}

}  // namespace

bool Dark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

// The theme first, for what it sets that the palette does not, then the
// palette's own colours over it, so that the chart sits in the window.
void FollowPalette(QChart* chart, const QPalette& palette, const QFont& font)
{
    chart->setTheme(Dark(palette) ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    chart->setBackgroundBrush(palette.color(QPalette::Base));
    chart->setBackgroundPen(QPen(palette.color(QPalette::Mid)));
    chart->setTitleBrush(palette.color(QPalette::Text));
    QFont title = font;
    title.setBold(true);
    chart->setTitleFont(title);
    chart->legend()->setLabelColor(palette.color(QPalette::Text));
    chart->legend()->setFont(font);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);  // a swatch drawn with the line's pen
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsColor(palette.color(QPalette::Text));
        axis->setLabelsFont(font);
        axis->setTitleBrush(palette.color(QPalette::Text));
        axis->setTitleFont(font);
        axis->setGridLineColor(palette.color(QPalette::Midlight));
        axis->setLinePenColor(palette.color(QPalette::Mid));
    }
}

void Style(QLineSeries* series, const LineStyle& line, bool dark)
{
    QPen pen(dark ? line.dark : line.light, 2, line.style);
    series->setPen(pen);
}

QValueAxis* Axis(const QString& title, double top)
{
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setRange(0, top);
    axis->setLabelFormat(QStringLiteral("%.0f"));
    return axis;
}

// From `from` (the start, unless rests came before it) to the run's length,
// with ticks at round minutes from 0: hours and their parts up to two days,
// round numbers beyond.
QValueAxis* TimeAxis(double minutes, double from, const QString& title)
{
    auto* axis = Axis(title, std::max(from + 1, minutes));
    axis->setMin(from);
    minutes -= from;
    double step = RoundStep(minutes, 10);
    for (const double nice : {1, 2, 5, 10, 15, 20, 30, 60, 120, 180, 240, 360, 720, 1440, 2880}) {
        if (minutes / nice <= 8) {
            step = nice;
            break;
        }
    }
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(step);
    return axis;
}

// A line broken where samples are missing: one series per stretch, only the
// first of them in the legend.
QList<QLineSeries*> AddLine(QChart* chart, const QString& name, const QList<QPointF>& points, QValueAxis* x,
                            QValueAxis* y, const LineStyle& style)
{
    QList<QList<QPointF>> pieces = Unbroken(points);
    if (pieces.size() > kMostPieces)
        pieces = {points};
    QList<QLineSeries*> added;
    const bool dark = Dark(chart->palette());
    for (const QList<QPointF>& piece : pieces) {
        auto* series = new QLineSeries;
        series->setName(name);
        const qsizetype share = points.isEmpty() ? 2 : kChartPoints * piece.size() / points.size();
        series->replace(Resampled(piece, int(std::max<qsizetype>(2, share))));
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
        Style(series, style, dark);
        added.append(series);
    }
    for (qsizetype i = 1; i < added.size(); ++i) {
        for (QLegendMarker* marker : chart->legend()->markers(added[i]))
            marker->setVisible(false);
    }
    return added;
}

QChartView* View(QChart* chart, int minimumHeight)
{
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(240, minimumHeight);
    view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return view;
}

QChart* NewChart(const QPalette& palette)
{
    auto* chart = new QChart;
    chart->setPalette(palette);  // read back by AddLine for the line colours
    // The view's frame is margin enough: the plots get the room.
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setMargins(QMargins(6, 4, 6, 4));
    chart->setBackgroundRoundness(0);
    return chart;
}

}  // namespace report
