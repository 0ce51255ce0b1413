// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace storage {

// The result log holds three lines: the minutes, the start and the time of
// the last write, each as the run wrote it.
inline constexpr int kResultLogLines = 3;

// The run the result log tells of: its start (line 2) and its minutes (line
// 1, when that is a number).
struct LoggedRun {
    QDateTime start;
    std::optional<qint64> minutes;
    QString startText{};  // line 2 as it stands, in its writer's form
};

// The run the log at the path tells of; nothing when the log is missing or
// its start does not read.
std::optional<LoggedRun> ReadLoggedRun(const QString& logPath);

}  // namespace storage
