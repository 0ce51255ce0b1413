// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

#include "report/run_ending.h"
#include "storage/paths.h"

namespace calibration {

// Replaces the log at the path with the text and CR LF, 8-bit, atomically and
// durably: after a power cut the log holds the previous write or this one.
// Raises platform::UntrappedError when the log cannot be written.
void WriteResultLog(const QString& path, const QString& text);

// The text of the box that View Result shows for any error: Windows names
// its fixed path, elsewhere the log at `path` is named.
QString ResultLogNotAccessible(const QString& path);

// View Result's text when there is neither a log nor a record.
inline const QString kNoRunRecorded = QStringLiteral("No calibration run has been recorded on this computer yet.");

// The View Result report: seven lines joined by CR LF. Its first line tells
// how the run ended (report::ViewResultLine).
QString ViewResultReport(const QString& minutesText, const QDateTime& started, const QDateTime& finished,
                         report::RunEnding ending = report::RunEnding::NotRecorded,
                         std::optional<int> lastPercent = std::nullopt,
                         const std::optional<report::RecordStop>& stop = std::nullopt);

// What View Result shows for the log at the path: the report, or nothing when
// the log cannot be read (View Result then shows ResultLogNotAccessible).
// The log's run is looked up in the records in `recordDirectory` by its
// start, as the report does: when found, the report gives the record's span
// and ending, as every view does. A missing log shows the newest record's
// run, or kNoRunRecorded when there is none.
std::optional<QString> ReadViewResultReport(const QString& logPath, const QString& recordDirectory = {});

}  // namespace calibration
