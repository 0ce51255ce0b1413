// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_charts.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QAreaSeries>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QScatterSeries>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <memory>

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

const QString kGaugeTitle = QStringLiteral("Charge shown by the gauge over the run");

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
const LineStyle kHeatLine{QColor(0xb0, 0x20, 0x30), QColor(0xff, 0x70, 0x70), Qt::DashLine};
const LineStyle kVoltageLine{QColor(0x6a, 0x3d, 0x9a), QColor(0xc0, 0x9c, 0xf0)};

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

// From `from` (the start, unless rests came before it) to the run's length,
// with ticks at round minutes from 0: hours and their parts up to two days,
// round numbers beyond.
QValueAxis* TimeAxis(double minutes, double from = 0, const QString& title = QStringLiteral("Awake time (min)"))
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

// The battery's own temperature against awake minutes, or where it has no
// sensor the hottest zone's; empty when the record has neither.
QList<QPointF> TemperatureCurve(const QList<RunSample>& samples)
{
    const bool battery = std::any_of(samples.cbegin(), samples.cend(),
                                     [](const RunSample& sample) { return sample.batteryCelsius.has_value(); });
    QList<QPointF> points;
    for (const RunSample& sample : samples) {
        if (const auto celsius = battery ? sample.batteryCelsius : sample.zoneCelsius)
            points.append({sample.awakeSeconds / 60.0, *celsius});
    }
    return points;
}

// Minutes from the discharge's start by the clock: the rests lie outside the
// awake time, before the discharge and after it.
double ClockMinutes(const RunRecord& run, const QDateTime& time)
{
    return run.facts.start.msecsTo(time) / 60000.0;
}

// The voltage over the run and its rests: the samples' and the readings
// taken while resting before the discharge, in time order.
QList<QPointF> VoltageCurve(const RunRecord& run)
{
    QList<QPointF> points;
    for (const QList<RunSample>* part : {&run.samples, &run.recharge}) {
        for (const RunSample& sample : *part) {
            if (sample.voltageV && sample.time.isValid())
                points.append({ClockMinutes(run, sample.time), *sample.voltageV});
        }
    }
    for (const RestVoltage& reading : run.rests.voltages)
        points.append({ClockMinutes(run, reading.time), reading.voltageV});
    std::stable_sort(points.begin(), points.end(), [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
    return points;
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
// whatever their labels' widths. Each chart's layout tells what its axes take
// beside the plot, apart from the margins; both margins are then set afresh
// from the opening ones, so that resizing never adds up.
void AlignPlots(QChart* a, QChart* b)
{
    struct Sides {
        qreal left = 0, right = 0;
    };
    struct State {
        QMargins base;
        Sides a, b;
    };
    const auto state = std::make_shared<State>(State{.base = a->margins(), .a = {}, .b = {}});
    const auto align = [a, b, state](QChart* laidOut, Sides& sides) {
        sides = {laidOut->plotArea().left() - laidOut->margins().left(),
                 laidOut->size().width() - laidOut->plotArea().right() - laidOut->margins().right()};
        const Sides widest{std::max(state->a.left, state->b.left), std::max(state->a.right, state->b.right)};
        for (const auto& [chart, own] : {std::pair{a, state->a}, {b, state->b}}) {
            const QMargins margins(state->base.left() + int(std::lround(widest.left - own.left)), state->base.top(),
                                   state->base.right() + int(std::lround(widest.right - own.right)),
                                   state->base.bottom());
            if (margins != chart->margins())
                chart->setMargins(margins);
        }
    };
    QObject::connect(a, &QChart::plotAreaChanged, b, [a, state, align] { align(a, state->a); });
    QObject::connect(b, &QChart::plotAreaChanged, a, [b, state, align] { align(b, state->b); });
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

// The temperature on its own axis at the right, where the record has one.
void AddTemperature(QChart* draw, const QList<RunSample>& samples, QValueAxis* x, const QPalette& palette,
                    const QFont& font)
{
    const QList<QPointF> heat = TemperatureCurve(samples);
    if (heat.isEmpty())
        return;
    double top = 45;  // the 40 °C that matters stays in view
    for (const QPointF& point : heat)
        top = std::max(top, point.y() + 5);
    auto* celsius = Axis(QStringLiteral("°C"), top);
    celsius->applyNiceNumbers();
    celsius->setTickCount(3);
    celsius->setGridLineVisible(false);
    draw->addAxis(celsius, Qt::AlignRight);
    FollowPalette(draw, palette, font);
    AddLine(draw, QStringLiteral("Temperature"), heat, x, celsius, kHeatLine);
    draw->setTitle(QStringLiteral("Power draw and temperature"));
}

// The rests shaded across the voltage's plot, named in the legend.
void ShadeRests(QChart* chart, const RunRecord& run, QValueAxis* x, QValueAxis* volts, bool dark)
{
    for (const RestSpan& rest : run.rests.spans) {
        const double from = ClockMinutes(run, rest.start), to = ClockMinutes(run, rest.end);
        auto* upper = new QLineSeries(chart);
        auto* lower = new QLineSeries(chart);
        upper->append({{from, volts->max()}, {to, volts->max()}});
        lower->append({{from, volts->min()}, {to, volts->min()}});
        auto* area = new QAreaSeries(upper, lower);
        area->setName(rest.spot == RestSpot::Full ? QStringLiteral("Rest at full") : QStringLiteral("Rest at empty"));
        const LineStyle& colour = rest.spot == RestSpot::Full ? kPowerLine : kTruthLine;
        QColor shade = dark ? colour.dark : colour.light;
        shade.setAlpha(60);
        area->setBrush(shade);
        area->setPen(Qt::NoPen);
        chart->addSeries(area);
        area->attachAxis(x);
        area->attachAxis(volts);
        for (QLegendMarker* marker : chart->legend()->markers(area))
            marker->setShape(QLegend::MarkerShapeRectangle);
    }
}

// The voltage falling over the discharge and recovering in the rests.
QWidget* VoltageChart(const RunRecord& run, const QList<QPointF>& voltage, const QPalette& palette, const QFont& font)
{
    QChart* chart = NewChart(palette);
    chart->setObjectName(QStringLiteral("voltageChart"));
    chart->setTitle(run.rests.spans.isEmpty() ? QStringLiteral("Voltage") : QStringLiteral("Voltage, recovering in the rests"));
    double low = voltage.first().y(), high = low, first = voltage.first().x(), last = first;
    for (const QPointF& point : voltage) {
        low = std::min(low, point.y());
        high = std::max(high, point.y());
        last = std::max(last, point.x());
    }
    for (const RestSpan& rest : run.rests.spans) {
        first = std::min(first, ClockMinutes(run, rest.start));
        last = std::max(last, ClockMinutes(run, rest.end));
    }
    auto* x = TimeAxis(last, std::min(0.0, first), QStringLiteral("Minutes from the discharge's start"));
    auto* volts = Axis(QStringLiteral("V"), 1);
    volts->setRange(low - 0.1, high + 0.1);
    volts->applyNiceNumbers();
    volts->setLabelFormat(QStringLiteral("%.1f"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(volts, Qt::AlignLeft);
    FollowPalette(chart, palette, font);
    ShadeRests(chart, run, x, volts, Dark(palette));
    AddLine(chart, QStringLiteral("Voltage"), voltage, x, volts, kVoltageLine);
    return View(chart, 200);
}

// The charts above as one tab, the voltage as another: a taller column would
// not fit a small screen. The tab stays, greyed, for a record without voltages,
// so that picking another run keeps the charts where they were.
QWidget* Tabs(QWidget* column, const RunRecord& run, const QPalette& palette, const QFont& font)
{
    auto* tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("charts"));
    tabs->setDocumentMode(true);
    tabs->addTab(column, QStringLiteral("Charge and power"));
    const QList<QPointF> voltage = VoltageCurve(run);
    QWidget* page = voltage.isEmpty() ? new QWidget : VoltageChart(run, voltage, palette, font);
    const int index = tabs->addTab(page, QStringLiteral("Voltage"));
    tabs->setTabEnabled(index, !voltage.isEmpty());
    tabs->setTabToolTip(index, voltage.isEmpty() ? QStringLiteral("This run's record has no voltages.") : QString());
    return tabs;
}

}  // namespace

QWidget* RunCharts(const RunRecord& run, const QPalette& palette, const QFont& font)
{
    const QList<RunSample>& samples = run.samples;
    const double minutes = RunMinutes(samples);
    auto* column = new QWidget;
    column->setObjectName(QStringLiteral("chargeAndPower"));
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QChart* gauge = NewChart(palette);
    gauge->setObjectName(QStringLiteral("gaugeChart"));
    gauge->setTitle(kGaugeTitle);
    auto* x = TimeAxis(minutes);
    auto* percent = Axis(QStringLiteral("Charge (%)"), 100);
    percent->setTickCount(5);
    gauge->addAxis(x, Qt::AlignBottom);
    gauge->addAxis(percent, Qt::AlignLeft);
    FollowPalette(gauge, palette, font);  // before the lines, which the theme would recolour
    AddLine(gauge, QStringLiteral("Gauge"), PercentCurve(samples), x, percent, kGaugeLine);
    const QList<QPointF> truth = TrueCurve(run);
    // Only a run that ran out tells where the gauge should have reached 0 %.
    if (!truth.isEmpty())
        AddLine(gauge, QStringLiteral("What it should have shown"), truth, x, percent, kTruthLine);
    else if (RanOut(run.ending))
        AddLine(gauge, QStringLiteral("Straight fall to 0 %"), StraightLine(samples), x, percent, kStraightLine);
    layout->addWidget(View(gauge, std::max(200, 9 * QFontMetrics(font).height())), 2);

    const QList<QPointF> power = PowerCurve(samples);
    if (!power.isEmpty()) {
        QChart* draw = NewChart(palette);
        draw->setObjectName(QStringLiteral("powerChart"));
        draw->setTitle(QStringLiteral("Power draw"));
        draw->legend()->hide();  // the title names its one line
        double top = 1;
        for (const QPointF& point : power)
            top = std::max(top, point.y());
        auto* powerX = TimeAxis(minutes);  // under the gauge's, on the same ticks
        auto* watts = Axis(QStringLiteral("W"), top * 1.1);
        watts->applyNiceNumbers();
        watts->setTickCount(3);
        draw->addAxis(powerX, Qt::AlignBottom);
        draw->addAxis(watts, Qt::AlignLeft);
        FollowPalette(draw, palette, font);
        AddLine(draw, QStringLiteral("Power draw"), power, powerX, watts, kPowerLine);
        AddTemperature(draw, samples, powerX, palette, font);
        layout->addWidget(View(draw, std::max(140, 6 * QFontMetrics(font).height())), 1);
        AlignPlots(gauge, draw);
    }
    return Tabs(column, run, palette, font);
}

int RunChartsMinimumWidth(const QFont& font)
{
    QFont title = font;
    title.setBold(true);
    const QFontMetrics metrics(title);
    // The chart's own margins and the view's frame, with a character to spare,
    // and the temperature's axis at the right that the plots are aligned to.
    const QFontMetrics labels(font);
    const int temperatureAxis = labels.horizontalAdvance(QStringLiteral("000")) + labels.height() + 8;
    return std::max(240, metrics.horizontalAdvance(kGaugeTitle) + 2 * metrics.averageCharWidth() + 24 + temperatureAxis);
}

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
