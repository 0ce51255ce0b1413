// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QWidget>

#include "power/battery_details.h"
#include "report/run_record.h"
#include "storage/result_log_file.h"

namespace report {

// The "Dorvik Run Report" window on one of the records, with the runs listed;
// `now` gives the full capacity the battery reports today. It shows the run
// that started when the log's run did, with the log's minutes; without such
// a run, or without a log, the latest, and with a log a line saying that it
// is not the log's. A top-level window of its own (also with a parent), not
// yet shown. Nothing when there is no run.
QWidget* BuildRunReport(const RunRecords& records, const power::BatteryDetails& now, QWidget* parent = nullptr,
                        const std::optional<storage::LoggedRun>& log = std::nullopt);

// The whole of a window BuildRunReport made, its summary unscrolled (Save Image's).
QImage RunReportImage(QWidget* report);

// The figures of a window BuildRunReport made, as plain text (Copy Text's).
QString RunReportText(QWidget* report);

// Reads the records in the folder and shows their report, non-modal, deleted
// when closed. Nothing, and nothing shown, when the folder holds no run.
// While one is open, it reads the records again, shows the run asked for and
// is raised and returned instead.
QWidget* ShowRunReport(const QString& directory, const power::BatteryDetails& now, QWidget* parent = nullptr,
                       const std::optional<storage::LoggedRun>& log = std::nullopt);

}  // namespace report
