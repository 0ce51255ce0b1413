// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_window.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include "report/report_math.h"
#include "report/run_ending.h"
#include "report/verdict.h"
#include "storage/date_text.h"

namespace report {
namespace {

// Enough to draw a day's run smoothly at any window width.
constexpr int kChartPoints = 600;
// Beyond this many gaps a record is damaged rather than interrupted: its
// curve is drawn whole instead of as hundreds of series.
constexpr int kMostPieces = 50;
// Fits 1366x768 with a panel; the charts take what the screen gives beyond.
constexpr QSize kOpeningSize(1180, 660);
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
    return storage::DateText(time.toLocalTime());
}

// ---- charts ----------------------------------------------------------------

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

QWidget* Charts(const RunRecord& run, const QPalette& palette, const QFont& font)
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

// Minutes lasted and health, one point a run, over the runs' dates.
QChartView* History(const QList<RunRecord>& runs, const QPalette& palette, const QFont& font)
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

// ---- summary ---------------------------------------------------------------

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

// The last percent is the gauge's error only when the battery ran out.
QString LastPercentText(const QList<RunSample>& samples)
{
    const auto gauge = GaugeAtEnd(samples);
    return gauge ? QString::number(*gauge) + QStringLiteral(" % at the last sample") : kUnknown;
}

QString CapacityAtStartText(const RunFacts& facts)
{
    return QStringLiteral("%1 of %2 design (health %3)")
        .arg(Wh(facts.fullWh), Wh(facts.designWh), Percent(HealthPercent(facts)));
}

// What the shown run is judged against: the capacity after it, the other runs.
struct RunContext {
    const QList<RunRecord>* runs = nullptr;
    std::optional<double> fullAfterWh{};
    bool latest = true;
    QDateTime now{};
};

QFormLayout* Summary(const RunRecord& run, qint64 minutes, const power::BatteryDetails& now, const RunContext& context)
{
    auto* form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    form->addRow(QStringLiteral("Battery:"), Value(run.facts.batteryModels.isEmpty() ? kUnknown : run.facts.batteryModels));
    form->addRow(QStringLiteral("Run lasted:"), Value(DurationText(run, minutes), QStringLiteral("duration")));
    form->addRow(QStringLiteral("Mode:"), Value(run.facts.fast ? QStringLiteral("fast") : QStringLiteral("slow")));
    if (RanOut(run.ending)) {
        form->addRow(QStringLiteral("Gauge at the end:"), Value(GaugeAtEndText(run.samples), QStringLiteral("gaugeAtEnd")));
        form->addRow(QStringLiteral("Largest gauge error:"),
                     Value(GaugeErrorText(LargestGaugeError(run)), QStringLiteral("largestError")));
    } else {
        form->addRow(QStringLiteral("Last percent:"), Value(LastPercentText(run.samples), QStringLiteral("gaugeAtEnd")));
    }
    form->addRow(QStringLiteral("Energy delivered:"), Value(Wh(EnergyDeliveredWh(run.samples))));
    form->addRow(QStringLiteral("Full capacity at the start:"), Value(CapacityAtStartText(run.facts)));
    form->addRow(QStringLiteral("Full capacity now:"), Value(Wh(now.energyFullWh)));
    const QString relearned = CapacityChangeText(run.facts.fullWh, context.fullAfterWh)
                              + (context.latest ? QString() : QStringLiteral(" by the next run"));
    form->addRow(QStringLiteral("Full capacity relearned:"), Value(relearned, QStringLiteral("relearned")));
    const auto last = LastCalibrationText(*context.runs, context.now);
    form->addRow(QStringLiteral("Last calibration:"), Value(last.value_or(QStringLiteral("no run has run out yet"))));
    QLabel* awake = Value(KeptAwakeLine(run.facts.keptAwake), QStringLiteral("keptAwake"));
    awake->setToolTip(run.facts.keptAwake.join('\n'));
    form->addRow(QStringLiteral("Kept awake:"), awake);
    return form;
}

// The system's estimates of the time left against what remained.
QWidget* Estimates(const QList<EstimateCheck>& checks)
{
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("estimates"));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    const QStringList heads{QStringLiteral("Gauge"), QStringLiteral("System's estimate"), QStringLiteral("Remained")};
    for (int column = 0; column < heads.size(); ++column) {
        QLabel* head = Value(heads[column]);
        QFont bold = head->font();
        bold.setBold(true);
        head->setFont(bold);
        grid->addWidget(head, 0, column);
    }
    for (int row = 0; row < checks.size(); ++row) {
        const EstimateCheck& check = checks[row];
        const QString estimated = !check.shownPercent           ? QStringLiteral("never shown")
                                  : check.estimatedSeconds < 0 ? QStringLiteral("none")
                                                               : report::DurationText(check.estimatedSeconds);
        const QString remained = check.shownPercent ? report::DurationText(check.remainedSeconds) : QString();
        grid->addWidget(Value(QStringLiteral("%1 %").arg(check.percent)), row + 1, 0);
        grid->addWidget(Value(estimated), row + 1, 1);
        grid->addWidget(Value(remained), row + 1, 2);
    }
    grid->setColumnStretch(2, 1);
    return box;
}

// `logged` is the run the result log tells of, or -1, shown with the log's minutes.
QTreeWidget* RunList(const QList<RunRecord>& runs, qsizetype logged, qint64 loggedMinutes)
{
    auto* list = new QTreeWidget;
    list->setObjectName(QStringLiteral("runs"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Ending"), QStringLiteral("Minutes"),
                           QStringLiteral("Gauge at end"), QStringLiteral("Largest error"), QStringLiteral("Health")});
    // Newest first, where the eye looks for the last run.
    for (qsizetype index = runs.size() - 1; index >= 0; --index) {
        const RunRecord& run = runs[index];
        RunSummary summary = Summarise(run);
        if (index == logged)
            summary.minutes = double(loggedMinutes);
        const auto gauge = summary.gaugeAtEnd ? std::optional<double>(*summary.gaugeAtEnd) : std::nullopt;
        const auto error = RanOut(run.ending) ? LargestGaugeError(run) : std::nullopt;
        const QString errorText = error ? GaugeErrorText(error).section(QLatin1Char(','), 0, 0) : QStringLiteral("\u2013");
        auto* row = new QTreeWidgetItem(list, {WhenText(summary.start), EndingWord(run.ending), Number(summary.minutes, 0),
                                               Percent(gauge), errorText, Percent(summary.healthPercent)});
        row->setData(0, Qt::UserRole, qlonglong(index));
        for (int column = 2; column < 6; ++column)
            row->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setStretchLastSection(false);
    list->setMinimumHeight(list->fontMetrics().height() * 7);
    list->setMinimumWidth(0);  // it scrolls sideways itself rather than widen the summary
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
qsizetype LoggedRunIndex(const QList<RunRecord>& runs, const std::optional<storage::LoggedRun>& log)
{
    if (!log || !log->start.isValid())
        return -1;
    for (qsizetype i = runs.size() - 1; i >= 0; --i) {
        if (runs[i].facts.start.toSecsSinceEpoch() == log->start.toSecsSinceEpoch())
            return i;
    }
    return -1;
}

QString NotLoggedText(const storage::LoggedRun& log)
{
    const QString newest = QStringLiteral("This is the newest run recorded, not the run in the result log");
    if (log.start.isValid() && log.start.date().year() > 1900)
        return newest + QStringLiteral(" (started %1), which left no readable record.").arg(WhenText(log.start));
    return newest + QLatin1Char('.');
}

// ---- the window --------------------------------------------------------------

// The report on one of the runs at a time: the latest when it opens, another
// when it is picked in the list.
class RunReport : public QWidget {
public:
    RunReport(const RunRecords& records, const power::BatteryDetails& now, QWidget* parent,
              const std::optional<storage::LoggedRun>& log)
        : QWidget(parent, Qt::Window), records_(records), now_(now), log_(log),
          logged_(LoggedRunIndex(records.runs, log))
    {
        setObjectName(QStringLiteral("runReport"));
        setWindowTitle(QStringLiteral("Dorvik Run Report"));
        auto* layout = new QVBoxLayout(this);

        ending_ = Value(QString(), QStringLiteral("ending"));
        QFont endingFont = ending_->font();
        endingFont.setBold(true);
        ending_->setFont(endingFont);
        layout->addWidget(ending_);
        if (log_ && logged_ < 0) {
            notLogged_ = Value(NotLoggedText(*log_), QStringLiteral("notTheLoggedRun"));
            layout->addWidget(notLogged_);
        }

        auto* top = new QHBoxLayout;
        verdict_ = Value(QString(), QStringLiteral("verdict"));
        QFont bold = verdict_->font();
        bold.setBold(true);
        verdict_->setFont(bold);
        health_ = Value(QString(), QStringLiteral("health"));
        health_->setAlignment(Qt::AlignRight | Qt::AlignTop);
        top->addWidget(verdict_, 3);
        top->addWidget(health_, 1);
        layout->addLayout(top);

        auto* middle = new QHBoxLayout;
        charts_ = new QVBoxLayout;
        middle->addLayout(charts_, 3);
        auto* scroll = new QScrollArea;
        scroll->setObjectName(QStringLiteral("summaryScroll"));
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // the rows wrap instead
        scroll->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
        auto* content = new QWidget;
        content_ = new QVBoxLayout(content);
        content_->setContentsMargins(0, 0, fontMetrics().averageCharWidth(), 0);
        content_->addWidget(Value(QStringLiteral("Runs kept, newest first (pick one to show it):")));
        list_ = RunList(records_.runs, logged_, LoggedRunMinutes());
        content_->addWidget(list_);
        if (records_.runs.size() > 1)
            content_->addWidget(History(records_.runs, palette(), font()));
        if (records_.unreadable > 0)
            content_->addWidget(Value(UnreadableText(records_.unreadable), QStringLiteral("unreadable")));
        if (records_.newer > 0)
            content_->addWidget(Value(NewerText(records_.newer), QStringLiteral("newer")));
        content_->addStretch();
        scroll->setWidget(content);
        middle->addWidget(scroll, 2);
        layout->addLayout(middle, 1);

        auto* buttons = new QHBoxLayout;
        auto* save = new QPushButton(QStringLiteral("&Save Image\u2026"));
        auto* copy = new QPushButton(QStringLiteral("&Copy Text"));
        auto* close = new QPushButton(QStringLiteral("Close"));
        close->setObjectName(QStringLiteral("close"));
        buttons->addWidget(save);
        buttons->addWidget(copy);
        buttons->addStretch();
        buttons->addWidget(close);
        layout->addLayout(buttons);
        connect(save, &QPushButton::clicked, this, [this] { SaveImage(); });
        connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(PlainText()); });
        connect(close, &QPushButton::clicked, this, &QWidget::close);
        for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
            connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);

        const qsizetype first = logged_ >= 0 ? logged_ : records_.runs.size() - 1;
        Show(first);
        list_->setCurrentItem(list_->topLevelItem(int(records_.runs.size() - 1 - first)));
        connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
            if (item)
                Show(item->data(0, Qt::UserRole).toLongLong());
        });

        const QSize screen = this->screen() ? this->screen()->availableGeometry().size() : kOpeningSize;
        resize(kOpeningSize.boundedTo(screen));
    }

    // The figures as plain text, for a forum post or a bug report.
    QString PlainText() const
    {
        QStringList lines{windowTitle(), ending_->text(), verdict_->text(), health_->text(), QString()};
        for (int row = 0; row < summary_->rowCount(); ++row) {
            const auto* label = qobject_cast<QLabel*>(summary_->itemAt(row, QFormLayout::LabelRole)->widget());
            const auto* value = qobject_cast<QLabel*>(summary_->itemAt(row, QFormLayout::FieldRole)->widget());
            if (label && value)
                lines.append(label->text() + QLatin1Char(' ') + value->text());
        }
        if (!estimates_.isEmpty()) {
            lines.append(QStringLiteral("Time left, the system's estimate against what remained:"));
            for (const EstimateCheck& check : estimates_)
                lines.append(QStringLiteral("  ") + EstimateText(check));
        }
        const RunRecord& run = records_.runs[shown_];
        if (!run.facts.keptAwake.isEmpty())
            lines.append(QStringLiteral("Kept awake in full:\n  ") + run.facts.keptAwake.join(QStringLiteral("\n  ")));
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }

private:
    // The log's minutes for the log's run; the same rule for the others.
    qint64 LoggedRunMinutes() const
    {
        if (logged_ >= 0 && log_->minutes)
            return *log_->minutes;
        return logged_ >= 0 ? LoggedMinutes(records_.runs[logged_]) : 0;
    }

    void Show(qsizetype index)
    {
        shown_ = index;
        const RunRecord& run = records_.runs[index];
        ending_->setText(EndingText(run.ending));
        if (notLogged_)
            notLogged_->setVisible(index == records_.runs.size() - 1);
        const bool latest = index == records_.runs.size() - 1;
        const RunContext context{.runs = &records_.runs,
                                 .fullAfterWh = latest ? now_.energyFullWh : records_.runs[index + 1].facts.fullWh,
                                 .latest = latest,
                                 .now = QDateTime::currentDateTime()};
        verdict_->setText(Judge(run, context.fullAfterWh).sentence);
        const auto design = latest && now_.energyDesignWh ? now_.energyDesignWh : run.facts.designWh;
        const auto health = context.fullAfterWh && design && *design > 0
                                ? std::optional<double>(*context.fullAfterWh / *design * 100.0)
                                : std::nullopt;
        health_->setText(health ? QStringLiteral("Health %1: %2 %3 of design, %4")
                                      .arg(latest ? QStringLiteral("now") : QStringLiteral("after it"),
                                           Number(*health, 0), QStringLiteral("%"), HealthBand(std::round(*health)))
                                : QStringLiteral("Health: unknown"));

        delete chartsWidget_;
        chartsWidget_ = Charts(run, palette(), font());
        charts_->addWidget(chartsWidget_);

        delete summaryWidget_;
        summaryWidget_ = new QWidget;
        summaryWidget_->setObjectName(QStringLiteral("summary"));
        auto* layout = new QVBoxLayout(summaryWidget_);
        layout->setContentsMargins(0, 0, 0, 0);
        summary_ = Summary(run, index == logged_ ? LoggedRunMinutes() : LoggedMinutes(run), now_, context);
        layout->addLayout(summary_);
        estimates_ = EstimateChecks(run);
        if (!estimates_.isEmpty()) {
            layout->addWidget(Value(QStringLiteral("Time left, the system's estimate against what remained:")));
            layout->addWidget(Estimates(estimates_));
        }
        content_->insertWidget(0, summaryWidget_);
    }

    void SaveImage()
    {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        const QString name = QStringLiteral("dorvik-report-%1.png")
                                 .arg(records_.runs[shown_].facts.start.toString(QStringLiteral("yyyy-MM-dd-HHmm")));
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Image"),
                                                          QDir(folder).filePath(name),
                                                          QStringLiteral("PNG images (*.png)"));
        if (path.isEmpty())
            return;
        if (!grab().save(path, "PNG"))
            QMessageBox::warning(this, QStringLiteral("Dorvik"),
                                 QStringLiteral("The image could not be saved as %1.").arg(QDir::toNativeSeparators(path)));
    }

    const RunRecords records_;
    const power::BatteryDetails now_;
    const std::optional<storage::LoggedRun> log_;
    const qsizetype logged_;
    QLabel* ending_ = nullptr;
    QLabel* notLogged_ = nullptr;
    qsizetype shown_ = 0;
    QLabel* verdict_ = nullptr;
    QLabel* health_ = nullptr;
    QVBoxLayout* charts_ = nullptr;
    QVBoxLayout* content_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QWidget* chartsWidget_ = nullptr;
    QWidget* summaryWidget_ = nullptr;
    QFormLayout* summary_ = nullptr;
    QList<EstimateCheck> estimates_;
};

}  // namespace

QWidget* BuildRunReport(const RunRecords& records, const power::BatteryDetails& now, QWidget* parent,
                        const std::optional<storage::LoggedRun>& log)
{
    if (records.runs.isEmpty())
        return nullptr;
    return new RunReport(records, now, parent, log);
}

QString RunReportText(QWidget* report)
{
    const auto* window = dynamic_cast<const RunReport*>(report);
    return window ? window->PlainText() : QString();
}

QWidget* ShowRunReport(const QString& directory, const power::BatteryDetails& now, QWidget* parent,
                       const std::optional<storage::LoggedRun>& log)
{
    // One report window: a second Show Report brings it back to the front.
    static QPointer<QWidget> shown;
    if (shown && shown->isVisible()) {
        shown->raise();
        shown->activateWindow();
        return shown;
    }
    QWidget* window = BuildRunReport(ReadRunRecords(directory), now, parent, log);
    if (!window)
        return nullptr;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    shown = window;
    return window;
}

}  // namespace report
