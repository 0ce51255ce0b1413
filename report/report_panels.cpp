// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_panels.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QHeaderView>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "report/report_math.h"
#include "report/verdict.h"

namespace report {

QLabel* Value(const QString& text, const QString& name)
{
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

namespace {

QFormLayout* Form(const QList<FactLine>& lines, const QStringList& keptAwake)
{
    auto* form = new QFormLayout;
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    // Some styles (Adwaita, macOS) keep fields at their hint's width, where a
    // wrapped value is cut to its first line.
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const FactLine& line : lines) {
        QLabel* value = Value(line.value, line.name);
        if (line.name == QLatin1String("keptAwake"))
            value->setToolTip(keptAwake.join(QLatin1Char('\n')));
        form->addRow(line.label, value);
    }
    return form;
}

}  // namespace

QLabel* Bold(QLabel* label)
{
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QFormLayout* Summary(const ReportFacts& facts)
{
    return Form(facts.lines, facts.keptAwake);
}

QWidget* LearningBlock(const ReportFacts& facts)
{
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("learning"));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, box->fontMetrics().height() / 2, 0, 0);
    layout->addWidget(Bold(Value(QStringLiteral("Learning conditions"))));
    layout->addLayout(Form(facts.learning.lines, {}));
    layout->addWidget(Bold(Value(facts.learning.conclusion, QStringLiteral("learningConclusion"))));
    if (facts.learning.emptyRestUnknown)
        layout->addWidget(Value(kRestAfterSwitchOffAdvice, QStringLiteral("restAdvice")));
    if (facts.since)
        layout->addWidget(Value(SinceText(*facts.since, facts.figures.start.toLocalTime().date()), QStringLiteral("since")));
    return box;
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
    // Some styles (Adwaita) grey the rows of a window in the background as if disabled.
    QPalette palette = list->palette();
    palette.setColor(QPalette::Inactive, QPalette::Text, palette.color(QPalette::Active, QPalette::Text));
    list->setPalette(palette);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->header()->setStretchLastSection(false);
    // Room for every column and three rows; more rows scroll.
    const QAbstractItemView* view = list;  // where these are public
    int width = 2 * list->frameWidth() + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int column = 0; column < list->columnCount(); ++column)
        width += std::max(list->header()->sectionSizeHint(column), view->sizeHintForColumn(column));
    list->setMinimumWidth(width);
    const int row = std::max(list->fontMetrics().height() + 4, view->sizeHintForRow(0));
    list->setFixedHeight(list->header()->sizeHint().height() + 3 * row + 2 * list->frameWidth());
    return list;
}

}  // namespace report
