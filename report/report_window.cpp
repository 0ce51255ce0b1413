// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QShortcut>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "report/report_charts.h"
#include "report/report_facts.h"
#include "report/report_math.h"
#include "report/verdict.h"

namespace report {
namespace {

// Fits 1366x768 with a panel; the charts take what the screen gives beyond.
constexpr QSize kOpeningSize(1180, 660);

QLabel* Value(const QString& text, const QString& name = QString())
{
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QFormLayout* Summary(const ReportFacts& facts)
{
    auto* form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    // Some styles (Adwaita, macOS) keep fields at their hint's width, where a
    // wrapped value is cut to its first line.
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const FactLine& line : facts.lines) {
        QLabel* value = Value(line.value, line.name);
        if (line.name == QLatin1String("keptAwake"))
            value->setToolTip(facts.keptAwake.join(QLatin1Char('\n')));
        form->addRow(line.label, value);
    }
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

QTreeWidget* RunList(const QList<RunRecord>& runs)
{
    auto* list = new QTreeWidget;
    list->setObjectName(QStringLiteral("runs"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Ending"), QStringLiteral("Minutes"),
                           QStringLiteral("Gauge at end"), QStringLiteral("Largest error"), QStringLiteral("Health")});
    // Newest first, where the eye looks for the last run.
    for (qsizetype index = runs.size() - 1; index >= 0; --index) {
        const RunRecord& run = runs[index];
        const RunSummary summary = Summarise(run);
        // Only a run that ran out left the gauge's error at empty.
        const QString none = QStringLiteral("\u2013");
        const auto gauge = summary.gaugeAtEnd ? std::optional<double>(*summary.gaugeAtEnd) : std::nullopt;
        const QString gaugeText = RanOut(run.ending) ? PercentText(gauge) : none;
        const auto error = RanOut(run.ending) ? LargestGaugeError(run) : std::nullopt;
        const QString errorText = error ? GaugePointsText(*error) : none;
        auto* row = new QTreeWidgetItem(list, {WhenText(summary.start), EndingWord(run.ending),
                                               NumberText(summary.minutes, 0), gaugeText, errorText,
                                               PercentText(summary.healthPercent)});
        row->setData(0, Qt::UserRole, qlonglong(index));
        for (int column = 2; column < 6; ++column)
            row->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setStretchLastSection(false);
    // Room for every column and four rows; more rows scroll.
    const QAbstractItemView* view = list;  // where these are public
    int width = 2 * list->frameWidth() + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int column = 0; column < list->columnCount(); ++column)
        width += std::max(list->header()->sectionSizeHint(column), view->sizeHintForColumn(column));
    list->setMinimumWidth(width);
    const int row = std::max(list->fontMetrics().height() + 4, view->sizeHintForRow(0));
    list->setFixedHeight(list->header()->sizeHint().height() + 4 * row + 2 * list->frameWidth());
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

QString SetAsideText(int count)
{
    return count == 1 ? QStringLiteral("1 damaged sample set aside")
                      : QStringLiteral("%1 damaged samples set aside").arg(count);
}

QString NotLoggedText(const storage::LoggedRun& log)
{
    const QString newest = QStringLiteral("This is the newest run recorded, not the run in the result log");
    if (log.start.isValid() && log.start.date().year() > 1900)
        return newest + QStringLiteral(" (started %1), which left no readable record.").arg(WhenText(log.start));
    return newest + QLatin1Char('.');
}

// ---- the window --------------------------------------------------------------

QLabel* Bold(QLabel* label)
{
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

// The report on one of the runs at a time: the logged or latest when it
// opens, another when it is picked in the list. The charts keep the left
// three fifths, the text and the runs the rest, whatever each one's hint.
class RunReport : public QWidget {
public:
    RunReport(const RunRecords& records, const power::BatteryDetails& now, QWidget* parent,
              const std::optional<storage::LoggedRun>& log)
        : QWidget(parent, Qt::Window)
    {
        setObjectName(QStringLiteral("runReport"));
        setWindowTitle(QStringLiteral("Dorvik Run Report"));
        auto* layout = new QVBoxLayout(this);
        ending_ = Bold(Value(QString(), QStringLiteral("ending")));
        setAside_ = Value(QString(), QStringLiteral("setAside"));
        notLogged_ = Value(QString(), QStringLiteral("notTheLoggedRun"));
        for (QLabel* label : {ending_, setAside_, notLogged_})
            layout->addWidget(label);

        auto* top = new QHBoxLayout;
        verdict_ = Bold(Value(QString(), QStringLiteral("verdict")));
        health_ = Value(QString(), QStringLiteral("health"));
        health_->setAlignment(Qt::AlignRight | Qt::AlignTop);
        top->addWidget(verdict_, 3);
        top->addWidget(health_, 1);
        layout->addLayout(top);

        auto* middle = new QHBoxLayout;
        auto* charts = new QWidget;
        charts->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
        charts->setMinimumWidth(240);
        charts_ = new QVBoxLayout(charts);
        charts_->setContentsMargins(0, 0, 0, 0);
        middle->addWidget(charts, 3);
        right_ = new QWidget;
        right_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
        rightLayout_ = new QVBoxLayout(right_);
        rightLayout_->setContentsMargins(0, 0, 0, 0);
        scroll_ = new QScrollArea;
        scroll_->setObjectName(QStringLiteral("summaryScroll"));
        scroll_->setWidgetResizable(true);
        scroll_->setFrameShape(QFrame::NoFrame);
        scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // the rows wrap instead
        auto* content = new QWidget;
        content_ = new QVBoxLayout(content);
        content_->setContentsMargins(0, 0, fontMetrics().averageCharWidth(), 0);
        content_->addStretch();
        scroll_->setWidget(content);
        rightLayout_->addWidget(scroll_, 1);
        middle->addWidget(right_, 2);
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

        Load(records, now, log);
        const QSize screen = this->screen() ? this->screen()->availableGeometry().size() : kOpeningSize;
        resize(kOpeningSize.expandedTo(minimumSizeHint()).boundedTo(screen));
    }

    // Shows these records, on the log's run or the latest.
    void Load(const RunRecords& records, const power::BatteryDetails& now, const std::optional<storage::LoggedRun>& log)
    {
        if (records.runs.isEmpty())
            return;
        records_ = records;
        now_ = now;
        log_ = log;
        logged_ = LoggedRunIndex(records_.runs, log_.value_or(storage::LoggedRun{}));
        notLogged_->setText(log_ && logged_ < 0 ? NotLoggedText(*log_) : QString());
        delete runs_;
        runs_ = RunsPanel();
        rightLayout_->addWidget(runs_);
        const qsizetype first = logged_ >= 0 ? logged_ : records_.runs.size() - 1;
        Show(first);
        list_->setCurrentItem(list_->topLevelItem(int(records_.runs.size() - 1 - first)));
        connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
            if (item)
                Show(item->data(0, Qt::UserRole).toLongLong());
        });
    }

    // The figures as plain text, for a forum post or a bug report.
    QString PlainText() const
    {
        return (QStringList{windowTitle()} + FactsLines(facts_)).join(QLatin1Char('\n')) + QLatin1Char('\n');
    }

    // The whole report, the summary unscrolled: a copy of the window, off the
    // screen, as tall as the summary needs.
    QImage Image() const
    {
        RunReport copy(records_, now_, nullptr, log_);
        copy.setAttribute(Qt::WA_DontShowOnScreen);
        copy.Show(shown_);
        copy.resize(size());
        copy.show();
        copy.layout()->activate();
        QWidget* content = copy.scroll_->widget();
        const int more = content->heightForWidth(content->width()) - copy.scroll_->viewport()->height();
        copy.resize(width(), height() + std::max(0, more));
        copy.layout()->activate();
        QApplication::processEvents();  // the charts lay out in their scenes
        return copy.grab().toImage();
    }

private:
    // The runs kept, their chart and what could not be read.
    QWidget* RunsPanel()
    {
        auto* panel = new QWidget;
        auto* layout = new QVBoxLayout(panel);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(Value(QStringLiteral("Runs kept, newest first (pick one to show it):")));
        list_ = RunList(records_.runs);
        layout->addWidget(list_);
        if (records_.runs.size() > 1)
            layout->addWidget(HistoryChart(records_.runs, palette(), font()));
        if (records_.unreadable > 0)
            layout->addWidget(Value(UnreadableText(records_.unreadable), QStringLiteral("unreadable")));
        if (records_.newer > 0)
            layout->addWidget(Value(NewerText(records_.newer), QStringLiteral("newer")));
        return panel;
    }

    void Show(qsizetype index)
    {
        shown_ = index;
        const RunRecord& run = records_.runs[index];
        facts_ = BuildReportFacts(records_.runs, index, now_, QDateTime::currentDateTime());
        ending_->setText(facts_.ending);
        setAside_->setText(SetAsideText(run.setAside));
        setAside_->setVisible(run.setAside > 0);
        notLogged_->setVisible(!notLogged_->text().isEmpty() && index == records_.runs.size() - 1);
        verdict_->setText(facts_.verdict);
        health_->setText(facts_.health);

        delete chartsWidget_;
        chartsWidget_ = RunCharts(run, palette(), font());
        charts_->addWidget(chartsWidget_);

        delete summaryWidget_;
        summaryWidget_ = new QWidget;
        summaryWidget_->setObjectName(QStringLiteral("summary"));
        auto* layout = new QVBoxLayout(summaryWidget_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addLayout(Summary(facts_));
        if (!facts_.estimates.isEmpty()) {
            layout->addWidget(Value(QStringLiteral("Time left, the system's estimate against what remained:")));
            layout->addWidget(Estimates(facts_.estimates));
        }
        content_->insertWidget(0, summaryWidget_);
        // Never narrower than the runs' columns or the summary's least width:
        // a wider summary than its view would be cut off at the right.
        const int summary = scroll_->widget()->minimumSizeHint().width()
                            + scroll_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * scroll_->frameWidth();
        right_->setMinimumWidth(std::max({fontMetrics().averageCharWidth() * 40, list_->minimumWidth(), summary}));
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
        if (!Image().save(path, "PNG"))
            QMessageBox::warning(this, QStringLiteral("Dorvik"),
                                 QStringLiteral("The image could not be saved as %1.").arg(QDir::toNativeSeparators(path)));
    }

    RunRecords records_;
    power::BatteryDetails now_;
    std::optional<storage::LoggedRun> log_;
    qsizetype logged_ = -1;
    qsizetype shown_ = 0;
    QLabel* ending_ = nullptr;
    QLabel* setAside_ = nullptr;
    QLabel* notLogged_ = nullptr;
    QLabel* verdict_ = nullptr;
    QLabel* health_ = nullptr;
    QVBoxLayout* charts_ = nullptr;
    QWidget* right_ = nullptr;
    QVBoxLayout* rightLayout_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QVBoxLayout* content_ = nullptr;
    QWidget* runs_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QWidget* chartsWidget_ = nullptr;
    QWidget* summaryWidget_ = nullptr;
    ReportFacts facts_;  // of the run shown
};

}  // namespace

QWidget* BuildRunReport(const RunRecords& records, const power::BatteryDetails& now, QWidget* parent,
                        const std::optional<storage::LoggedRun>& log)
{
    if (records.runs.isEmpty())
        return nullptr;
    return new RunReport(records, now, parent, log);
}

QImage RunReportImage(QWidget* report)
{
    const auto* window = dynamic_cast<const RunReport*>(report);
    return window ? window->Image() : QImage();
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
        // Read afresh: a run shown while it went on may have ended since.
        static_cast<RunReport*>(shown.data())->Load(ReadRunRecords(directory), now, log);
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
