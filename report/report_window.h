// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

#include "power/battery_details.h"
#include "report/run_record.h"

namespace report {

// The "Dorvik Run Report" window on the latest of the records, with the
// earlier runs listed; `now` gives the full capacity the battery reports
// today. A top-level window of its own (also with a parent), not yet shown.
// Nothing when there is no run.
QWidget* BuildRunReport(const RunRecords& records, const power::BatteryDetails& now, QWidget* parent = nullptr);

// The figures of a window BuildRunReport made, as plain text (Copy Text's).
QString RunReportText(QWidget* report);

// Reads the records in the folder and shows their report, non-modal, deleted
// when closed. Nothing, and nothing shown, when the folder holds no run.
// While one is open, it is raised instead and returned.
QWidget* ShowRunReport(const QString& directory, const power::BatteryDetails& now, QWidget* parent = nullptr);

}  // namespace report
