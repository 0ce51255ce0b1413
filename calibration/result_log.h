// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

#include "storage/paths.h"

namespace calibration {

// Replaces the log at the path with the text and CR LF, 8-bit, atomically and
// durably: after a power cut the log holds the previous write or this one.
// Raises platform::UntrappedError when the log cannot be written.
void WriteResultLog(const QString& path, const QString& text);

// The text of the box that View Result shows for any error.
inline const QString kResultLogNotAccessible =
    QStringLiteral("Result log ") + storage::kResultLogShownName + QStringLiteral(" is not accessible!");

// The View Result report: seven lines joined by CR LF.
QString ViewResultReport(const QString& minutesText, const QDateTime& started, const QDateTime& finished);

// What View Result shows for the log at the path: the report, or nothing when
// the log cannot be read (View Result then shows kResultLogNotAccessible).
// A missing log reports zero minutes between zero dates.
std::optional<QString> ReadViewResultReport(const QString& logPath);

}  // namespace calibration
