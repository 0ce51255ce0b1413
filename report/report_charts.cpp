// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_charts.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QLegendMarker>
#include <QLineSeries>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <memory>

#include "report/chart_parts.h"
#include "report/report_math.h"
#include "report/verdict.h"

namespace report {
namespace {

const QString kGaugeTitle = QStringLiteral("Charge shown by the gauge over the run");

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

}  // namespace report
