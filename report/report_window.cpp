// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_window.h"

#include <QChart>
#include <QChartView>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include "report/report_math.h"
#include "report/run_ending.h"

namespace report {
namespace {

// Enough to draw a day's run smoothly at any window width.
constexpr int kChartPoints = 600;
const QString kUnknown = QStringLiteral("unknown");

QString Number(double value, int decimals)
{
    return QLocale().toString(value, 'f', decimals);
}

QString Wh(const std::optional<double>& value)
{
    return value ? Number(*value, 1) + QStringLiteral(" Wh") : kUnknown;
}

QString Percent(const std::optional<double>& value)
{
    return value ? Number(*value, 0) + QStringLiteral(" %") : kUnknown;
}

QString WhenText(const QDateTime& time)
{
    return QLocale().toString(time, QLocale::ShortFormat);
}

QLineSeries* Series(const QString& name, const QList<QPointF>& points)
{
    auto* series = new QLineSeries;
    series->setName(name);
    series->replace(Resampled(points, kChartPoints));
    return series;
}

QValueAxis* Axis(const QString& title, double top)
{
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setRange(0, top);
    axis->setLabelFormat(QStringLiteral("%.0f"));
    return axis;
}

void Attach(QChart* chart, QLineSeries* series, QValueAxis* x, QValueAxis* y)
{
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

QChartView* Chart(const QList<RunSample>& samples)
{
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Charge shown by the gauge over the run"));
    auto* x = Axis(QStringLiteral("Awake time (min)"), std::max(1.0, RunMinutes(samples)));
    auto* percent = Axis(QStringLiteral("Gauge (%)"), 100);
    x->applyNiceNumbers();
    x->setLabelFormat(QStringLiteral("%g"));  // a short run's ticks fall between whole minutes
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(percent, Qt::AlignLeft);
    Attach(chart, Series(QStringLiteral("Gauge (%)"), PercentCurve(samples)), x, percent);

    QLineSeries* straight = Series(QStringLiteral("Straight fall to 0 % (%)"), StraightLine(samples));
    QPen dashed = straight->pen();
    dashed.setStyle(Qt::DashLine);
    straight->setPen(dashed);
    Attach(chart, straight, x, percent);

    const QList<QPointF> power = PowerCurve(samples);
    if (!power.isEmpty()) {
        double top = 1;
        for (const QPointF& point : power)
            top = std::max(top, point.y());
        auto* watts = Axis(QStringLiteral("Power draw (W)"), top * 1.1);
        watts->applyNiceNumbers();
        watts->setGridLineVisible(false);  // the percent grid is the one to read by
        chart->addAxis(watts, Qt::AlignRight);
        Attach(chart, Series(QStringLiteral("Power draw (W)"), power), x, watts);
    }
    auto* view = new QChartView(chart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(560, 300);
    return view;
}

QLabel* Value(const QString& text, const QString& name = QString())
{
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString DurationText(const RunRecord& run, qint64 loggedMinutes)
{
    const QString minutes = QString::number(loggedMinutes) + QStringLiteral(" min awake");
    if (run.samples.isEmpty())
        return minutes + QStringLiteral(", no sample recorded");
    return minutes + QStringLiteral(", from %1 to %2").arg(WhenText(run.facts.start), WhenText(run.samples.last().time));
}

QString GaugeAtEndText(const QList<RunSample>& samples)
{
    const auto gauge = GaugeAtEnd(samples);
    if (!gauge)
        return kUnknown;
    return QString::number(*gauge) + QStringLiteral(" % still shown when the last sample was taken")
           + (*gauge > 0 ? QStringLiteral(" (the gauge's error)") : QString());
}

QString CapacityAtStartText(const RunFacts& facts)
{
    return QStringLiteral("%1 of %2 design (health %3)")
        .arg(Wh(facts.fullWh), Wh(facts.designWh), Percent(HealthPercent(facts)));
}

// The last percent is the gauge's error only when the battery ran out.
QString LastPercentText(const QList<RunSample>& samples)
{
    const auto gauge = GaugeAtEnd(samples);
    return gauge ? QString::number(*gauge) + QStringLiteral(" % at the last sample") : kUnknown;
}

QFormLayout* Summary(const RunRecord& run, qint64 minutes, const power::BatteryDetails& now)
{
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Battery:"), Value(run.facts.batteryModels.isEmpty() ? kUnknown : run.facts.batteryModels));
    form->addRow(QStringLiteral("Run lasted:"), Value(DurationText(run, minutes), QStringLiteral("duration")));
    form->addRow(QStringLiteral("Mode:"), Value(run.facts.fast ? QStringLiteral("fast") : QStringLiteral("slow")));
    if (RanOut(run.ending))
        form->addRow(QStringLiteral("Gauge at the end:"), Value(GaugeAtEndText(run.samples), QStringLiteral("gaugeAtEnd")));
    else
        form->addRow(QStringLiteral("Last percent:"), Value(LastPercentText(run.samples), QStringLiteral("gaugeAtEnd")));
    form->addRow(QStringLiteral("Energy delivered:"), Value(Wh(EnergyDeliveredWh(run.samples))));
    form->addRow(QStringLiteral("Full capacity at the start:"), Value(CapacityAtStartText(run.facts)));
    form->addRow(QStringLiteral("Full capacity now:"), Value(Wh(now.energyFullWh)));
    const QString awake = run.facts.keptAwake.isEmpty() ? QStringLiteral("nothing recorded") : run.facts.keptAwake.join('\n');
    form->addRow(QStringLiteral("Kept awake:"), Value(awake));
    return form;
}

// `logged` is the run the result log tells of, or -1, shown with the log's minutes.
QTreeWidget* RunList(const QList<RunRecord>& runs, qsizetype logged, qint64 loggedMinutes)
{
    auto* list = new QTreeWidget;
    list->setObjectName(QStringLiteral("runs"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Minutes"), QStringLiteral("Gauge at end"),
                           QStringLiteral("Health")});
    // Newest first, where the eye looks for the last run.
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        RunSummary summary = Summarise(*run);
        if (runs.size() - 1 - (run - runs.rbegin()) == logged)
            summary.minutes = double(loggedMinutes);
        const auto gauge = summary.gaugeAtEnd ? std::optional<double>(*summary.gaugeAtEnd) : std::nullopt;
        auto* row = new QTreeWidgetItem(list, {WhenText(summary.start), Number(summary.minutes, 0), Percent(gauge),
                                               Percent(summary.healthPercent)});
        for (int column = 1; column < 4; ++column)
            row->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setStretchLastSection(false);
    list->setMinimumHeight(120);
    return list;
}

QString UnreadableText(int count)
{
    return count == 1 ? QStringLiteral("1 record could not be read.")
                      : QStringLiteral("%1 records could not be read.").arg(count);
}

// Such records are kept as they are: a newer Dorvik reads them.
QString NewerText(int count)
{
    return count == 1 ? QStringLiteral("1 record was written by a newer Dorvik and is not shown.")
                      : QStringLiteral("%1 records were written by a newer Dorvik and are not shown.").arg(count);
}

// The run that started in the second the log's run did, or -1.
qsizetype LoggedRunIndex(const QList<RunRecord>& runs, const QDateTime& start)
{
    if (!start.isValid())
        return -1;
    for (qsizetype i = runs.size() - 1; i >= 0; --i) {
        if (runs[i].facts.start.toSecsSinceEpoch() == start.toSecsSinceEpoch())
            return i;
    }
    return -1;
}

QString NotLoggedText(const LoggedRun& log)
{
    const QString newest = QStringLiteral("This is the newest run recorded, not the run in the result log");
    if (log.start.isValid() && log.start.date().year() > 1900)
        return newest + QStringLiteral(" (started %1), which left no readable record.").arg(WhenText(log.start));
    return newest + QLatin1Char('.');
}

}  // namespace

QWidget* BuildRunReport(const RunRecords& records, const power::BatteryDetails& now, QWidget* parent,
                        const std::optional<LoggedRun>& log)
{
    if (records.runs.isEmpty())
        return nullptr;
    const qsizetype logged = log ? LoggedRunIndex(records.runs, log->start) : -1;
    const RunRecord& shown = logged >= 0 ? records.runs[logged] : records.runs.last();
    const qint64 minutes = logged >= 0 && log->minutes ? *log->minutes : LoggedMinutes(shown);
    auto* window = new QWidget(parent, Qt::Window);
    window->setWindowTitle(QStringLiteral("Dorvik Run Report"));
    auto* layout = new QVBoxLayout(window);
    auto* ending = Value(EndingText(shown.ending), QStringLiteral("ending"));
    ending->setStyleSheet(QStringLiteral("font-weight: bold"));
    layout->addWidget(ending);
    if (log && logged < 0)
        layout->addWidget(Value(NotLoggedText(*log), QStringLiteral("notTheLoggedRun")));
    layout->addWidget(Chart(shown.samples), 1);
    layout->addLayout(Summary(shown, minutes, now));
    layout->addWidget(new QLabel(QStringLiteral("Runs kept, newest first:")));
    layout->addWidget(RunList(records.runs, logged, minutes));
    if (records.unreadable > 0)
        layout->addWidget(Value(UnreadableText(records.unreadable), QStringLiteral("unreadable")));
    if (records.newer > 0)
        layout->addWidget(Value(NewerText(records.newer), QStringLiteral("newer")));
    return window;
}

QWidget* ShowRunReport(const QString& directory, const power::BatteryDetails& now, QWidget* parent,
                       const std::optional<LoggedRun>& log)
{
    QWidget* window = BuildRunReport(ReadRunRecords(directory), now, parent, log);
    if (!window)
        return nullptr;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

}  // namespace report
