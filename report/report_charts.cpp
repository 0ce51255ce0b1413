// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_charts.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cmath>

#include "report/report_math.h"
#include "report/verdict.h"
#include "storage/date_text.h"

namespace report {
namespace {

// Enough to draw a day's run smoothly at any window width.
constexpr int kChartPoints = 600;
// Beyond this many gaps a record is damaged rather than interrupted: its
// curve is drawn whole instead of as hundreds of series.
constexpr int kMostPieces = 50;

bool Dark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

struct LineStyle {
    QColor light, dark;
    Qt::PenStyle style = Qt::SolidLine;
};
const LineStyle kGaugeLine{QColor(0x1f, 0x5f, 0xbf), QColor(0x6f, 0xb0, 0xff)};
const LineStyle kTruthLine{QColor(0xc0, 0x60, 0x00), QColor(0xff, 0xb3, 0x47), Qt::DashLine};
const LineStyle kStraightLine{QColor(0x70, 0x70, 0x70), QColor(0xb0, 0xb0, 0xb0), Qt::DotLine};
const LineStyle kPowerLine{QColor(0x2e, 0x8b, 0x3e), QColor(0x7c, 0xd6, 0x8a)};

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

// Ends at the run's length, with ticks at round minutes from 0.
QValueAxis* TimeAxis(double minutes)
{
    auto* axis = Axis(QStringLiteral("Awake time (min)"), std::max(1.0, minutes));
    double step = 1;
    for (const double nice : {1, 2, 5, 10, 15, 20, 30, 60, 120, 180, 240, 360, 720, 1440, 2880}) {
        step = nice;
        if (minutes / nice <= 8)
            break;
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

// Two charts over one time axis: the edges of their plots kept in line
// whatever their labels' widths, by widening the margin of the chart whose
// plot reaches further out.
void AlignPlots(QChart* a, QChart* b)
{
    const auto align = [a, b] {
        const qreal left = a->plotArea().left() - b->plotArea().left();
        const qreal right = (a->size().width() - a->plotArea().right()) - (b->size().width() - b->plotArea().right());
        for (const auto& [shift, onLeft] : {std::pair{left, true}, {right, false}}) {
            if (std::abs(shift) < 1)
                continue;
            QChart* wider = shift > 0 ? b : a;
            QMargins margins = wider->margins();
            const int more = int(std::lround(std::abs(shift)));
            onLeft ? margins.setLeft(margins.left() + more) : margins.setRight(margins.right() + more);
            wider->setMargins(margins);
        }
    };
    QObject::connect(a, &QChart::plotAreaChanged, b, align);
    QObject::connect(b, &QChart::plotAreaChanged, a, align);
}

QChart* NewChart(const QPalette& palette)
{
    auto* chart = new QChart;
    chart->setPalette(palette);  // read back by AddLine for the line colours
    return chart;
}

}  // namespace

QWidget* RunCharts(const RunRecord& run, const QPalette& palette, const QFont& font)
{
    const QList<RunSample>& samples = run.samples;
    const double minutes = RunMinutes(samples);
    auto* column = new QWidget;
    column->setObjectName(QStringLiteral("charts"));
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QChart* gauge = NewChart(palette);
    gauge->setObjectName(QStringLiteral("gaugeChart"));
    gauge->setTitle(QStringLiteral("Charge shown by the gauge over the run"));
    auto* x = TimeAxis(minutes);
    auto* percent = Axis(QStringLiteral("Charge (%)"), 100);
    percent->setTickCount(5);
    gauge->addAxis(x, Qt::AlignBottom);
    gauge->addAxis(percent, Qt::AlignLeft);
    FollowPalette(gauge, palette, font);  // before the lines, which the theme would recolour
    AddLine(gauge, QStringLiteral("Gauge"), PercentCurve(samples), x, percent, kGaugeLine);
    const QList<QPointF> truth = TrueCurve(run);
    if (!truth.isEmpty())
        AddLine(gauge, QStringLiteral("What it should have shown"), truth, x, percent, kTruthLine);
    else
        AddLine(gauge, QStringLiteral("Straight fall to 0 %"), StraightLine(samples), x, percent, kStraightLine);
    layout->addWidget(View(gauge, std::max(240, 12 * QFontMetrics(font).height())), 3);

    const QList<QPointF> power = PowerCurve(samples);
    if (!power.isEmpty()) {
        QChart* draw = NewChart(palette);
        draw->setObjectName(QStringLiteral("powerChart"));
        draw->legend()->hide();  // its axis names its one line
        double top = 1;
        for (const QPointF& point : power)
            top = std::max(top, point.y());
        // Under the gauge's, on the same ticks: the time is read there.
        auto* powerX = TimeAxis(minutes);
        powerX->setLabelsVisible(false);
        powerX->setTitleVisible(false);
        auto* watts = Axis(QStringLiteral("W"), top * 1.1);
        watts->applyNiceNumbers();
        watts->setTickCount(3);
        draw->addAxis(powerX, Qt::AlignBottom);
        draw->addAxis(watts, Qt::AlignLeft);
        FollowPalette(draw, palette, font);
        AddLine(draw, QStringLiteral("Power draw"), power, powerX, watts, kPowerLine);
        layout->addWidget(View(draw, std::max(120, 6 * QFontMetrics(font).height())), 1);
        AlignPlots(gauge, draw);
    }
    return column;
}

QWidget* HistoryChart(const QList<RunRecord>& runs, const QPalette& palette, const QFont& font)
{
    QChart* chart = NewChart(palette);
    chart->setObjectName(QStringLiteral("historyChart"));
    chart->setTitle(QStringLiteral("Runs kept"));
    auto* dates = new QDateTimeAxis;
    dates->setFormat(storage::DateTextFormat(QLocale()));
    dates->setTickCount(2);
    dates->setRange(runs.first().facts.start, runs.last().facts.start);
    auto* minutes = Axis(QStringLiteral("min"), 1);  // the legend names the lines
    auto* health = Axis(QStringLiteral("%"), 100);
    minutes->setTickCount(3);
    health->setTickCount(3);
    health->setGridLineVisible(false);
    chart->addAxis(dates, Qt::AlignBottom);
    chart->addAxis(minutes, Qt::AlignLeft);
    chart->addAxis(health, Qt::AlignRight);
    FollowPalette(chart, palette, font);
    auto* lasted = new QLineSeries;
    lasted->setName(QStringLiteral("Minutes lasted"));
    auto* healthLine = new QLineSeries;
    healthLine->setName(QStringLiteral("Health"));
    double top = 1;
    for (const RunRecord& run : runs) {
        const RunSummary summary = Summarise(run);
        const double when = double(run.facts.start.toMSecsSinceEpoch());
        lasted->append(when, summary.minutes);
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
    QChartView* view = View(chart, 200);
    view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    view->setFixedHeight(std::max(200, 10 * view->fontMetrics().height()));
    return view;
}

}  // namespace report
