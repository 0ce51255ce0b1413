// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_window.h"

#include <QApplication>
#include <QCheckBox>
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
#include <QTabWidget>
#include <QShortcut>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "report/history_chart.h"
#include "report/report_charts.h"
#include "report/report_panels.h"
#include "report/report_facts.h"
#include "report/report_math.h"
#include "report/verdict.h"
#include "storage/settings.h"

namespace report {
namespace {

// Fits 1366x768 with a panel; the charts take what the screen gives beyond.
constexpr QSize kOpeningSize(1180, 660);

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

// A session of a plain window manager names no desktop and runs none of its
// services: a platform theme's dialog there waits, black, for services that
// never answer. Qt's own dialog needs none.
QFileDialog::Options FileDialogOptions()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (qEnvironmentVariableIsEmpty("XDG_CURRENT_DESKTOP"))
        return QFileDialog::DontUseNativeDialog;
#endif
    return {};
}

// ---- the window --------------------------------------------------------------

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
        charts->setMinimumWidth(RunChartsMinimumWidth(font()));
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

        buttons_ = new QWidget;
        auto* buttons = new QHBoxLayout(buttons_);
        buttons->setContentsMargins(0, 0, 0, 0);
        auto* save = new QPushButton(QStringLiteral("&Save Image\u2026"));
        auto* copy = new QPushButton(QStringLiteral("&Copy Text"));
        auto* close = new QPushButton(QStringLiteral("Close"));
        for (auto [button, name] : {std::pair{save, "save"}, {copy, "copy"}, {close, "close"}}) {
            button->setObjectName(QString::fromLatin1(name));
            button->setAutoDefault(true);  // Enter presses the focused one, as Space does
        }
        buttons->addWidget(save);
        buttons->addWidget(copy);
        // In the buttons' row: a row of its own would cost the charts their height on a small screen.
        auto* remind = new QCheckBox(QStringLiteral("Remind me when the next calibration is due"));
        remind->setObjectName(QStringLiteral("remind"));
        remind->setChecked(storage::RemindTurnedOn());
        connect(remind, &QCheckBox::toggled, this, [](bool on) { storage::SetRemind(on); });
        buttons->addSpacing(fontMetrics().averageCharWidth() * 2);
        buttons->addWidget(remind);
        buttons->addStretch();
        buttons->addWidget(close);
        layout->addWidget(buttons_);
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
        copy.buttons_->hide();  // a picture of the report, not of the window
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

protected:
    // The lines of the texts above the charts count towards the least
    // height; a layout knows only a wrapping label's least lines.
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        for (QLabel* label : {ending_, notLogged_, verdict_})
            label->setMinimumHeight(label->text().isEmpty() ? 0 : label->heightForWidth(label->width()));
    }

private:
    // The runs kept, their chart and what could not be read.
    QWidget* RunsPanel()
    {
        auto* panel = new QWidget;
        auto* layout = new QVBoxLayout(panel);
        layout->setContentsMargins(0, 0, 0, 0);
        list_ = RunList(records_.runs);
        // Said on demand: a line above the list would cost the figures a row.
        list_->setToolTip(QStringLiteral("Runs kept, newest first: pick one to show it."));
        list_->setAccessibleName(QStringLiteral("Runs kept, newest first"));
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

        // Another run opens on the tab the last one showed, where it has that chart.
        const auto* tabs = qobject_cast<QTabWidget*>(chartsWidget_);
        const int tab = tabs ? tabs->currentIndex() : 0;
        delete chartsWidget_;
        chartsWidget_ = RunCharts(run, palette(), font());
        if (auto* next = qobject_cast<QTabWidget*>(chartsWidget_); next && next->isTabEnabled(tab))
            next->setCurrentIndex(tab);
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
        layout->addWidget(LearningBlock(facts_));
        content_->insertWidget(0, summaryWidget_);
        // Never narrower than the runs' columns or the summary's least width:
        // a wider summary than its view would be cut off at the right.
        const int summary = scroll_->widget()->minimumSizeHint().width()
                            + scroll_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * scroll_->frameWidth();
        right_->setMinimumWidth(std::max({fontMetrics().averageCharWidth() * 40, list_->minimumWidth(), summary}));
        KeepRowsInView(summaryWidget_->findChild<QFormLayout*>());
    }

    // The first rows of figures stay in view however small the window, as
    // the pane's least width wraps them.
    void KeepRowsInView(QFormLayout* form)
    {
        constexpr int kRowsInView = 8;
        const int width = right_->minimumWidth() - scroll_->style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                          - content_->contentsMargins().right();
        int labels = 0;
        for (int row = 0; row < form->rowCount(); ++row)
            labels = std::max(labels, form->itemAt(row, QFormLayout::LabelRole)->widget()->sizeHint().width());
        const int field = width - labels - std::max(0, form->horizontalSpacing());
        int height = 0;
        for (int row = 0; row < std::min(kRowsInView, form->rowCount()); ++row) {
            const QWidget* label = form->itemAt(row, QFormLayout::LabelRole)->widget();
            const QWidget* value = form->itemAt(row, QFormLayout::FieldRole)->widget();
            height += std::max(label->sizeHint().height(), value->heightForWidth(field))
                      + std::max(0, form->verticalSpacing());
        }
        scroll_->setMinimumHeight(height);
    }

    void SaveImage()
    {
        // Pictures where the home has one, else the home: never the folder Dorvik was started from.
        QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        if (!QDir(folder).exists())
            folder = QDir::homePath();
        const QString name = QStringLiteral("dorvik-report-%1.png")
                                 .arg(records_.runs[shown_].facts.start.toLocalTime().toString(QStringLiteral("yyyy-MM-dd-HHmm")));
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Image"),
                                                          QDir(folder).filePath(name),
                                                          QStringLiteral("PNG images (*.png)"), nullptr,
                                                          FileDialogOptions());
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
    QWidget* buttons_ = nullptr;
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
