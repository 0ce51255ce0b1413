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
        const auto gauge = summary.gaugeAtEnd ? std::optional<double>(*summary.gaugeAtEnd) : std::nullopt;
        const auto error = RanOut(run.ending) ? LargestGaugeError(run) : std::nullopt;
        const QString errorText = error ? GaugeErrorText(error).section(QLatin1Char(','), 0, 0) : QStringLiteral("\u2013");
        auto* row = new QTreeWidgetItem(list, {WhenText(summary.start), EndingWord(run.ending),
                                               NumberText(summary.minutes, 0), PercentText(gauge), errorText,
                                               PercentText(summary.healthPercent)});
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
          logged_(LoggedRunIndex(records.runs, log ? log->start : QDateTime()))
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
        list_ = RunList(records_.runs);
        content_->addWidget(list_);
        if (records_.runs.size() > 1)
            content_->addWidget(HistoryChart(records_.runs, palette(), font()));
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
        return (QStringList{windowTitle()} + FactsLines(facts_)).join(QLatin1Char('\n')) + QLatin1Char('\n');
    }

private:
    void Show(qsizetype index)
    {
        shown_ = index;
        facts_ = BuildReportFacts(records_.runs, index, now_, QDateTime::currentDateTime());
        ending_->setText(facts_.ending);
        if (notLogged_)
            notLogged_->setVisible(index == records_.runs.size() - 1);
        verdict_->setText(facts_.verdict);
        health_->setText(facts_.health);

        delete chartsWidget_;
        chartsWidget_ = RunCharts(records_.runs[index], palette(), font());
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
