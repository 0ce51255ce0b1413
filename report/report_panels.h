// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFormLayout>
#include <QLabel>
#include <QList>
#include <QString>
#include <QTreeWidget>
#include <QWidget>

#include "report/report_facts.h"
#include "report/run_record.h"

// The parts of the run report window that show one kind of figure each.
namespace report {

// A label of the report: wrapped, selectable, named for the tests.
QLabel* Value(const QString& text, const QString& name = QString());
// The label, set in bold.
QLabel* Bold(QLabel* label);
// The run's figures, one row a fact.
QFormLayout* Summary(const ReportFacts& facts);
// The system's estimates of the time left against what remained.
QWidget* Estimates(const QList<EstimateCheck>& checks);
// Whether the gauge could relearn: the conditions, the conclusion, the advice
// where the rest at empty is not known, and the earlier calibration compared.
QWidget* LearningBlock(const ReportFacts& facts);
// The runs kept, newest first, each row holding its index among the runs.
QTreeWidget* RunList(const QList<RunRecord>& runs);

}  // namespace report
