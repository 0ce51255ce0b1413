// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace report {

// A record's writer names its process among the facts ("pid,<id>"); where it
// could hold no lock on the record (a file system without locks) it says so
// too ("lock,none"), and readers judge the record by how fresh it is.

// A run samples once a minute: a record left alone for two minutes has stopped.
inline constexpr qint64 kFreshSeconds = 120;

// The fact lines about the writer, for the record's head.
QByteArray WriterFactLines(qint64 pid, bool held);

// Whether an unended record of this boot is still being written although no
// one holds it: it says that its writer held no lock, it was written to less
// than kFreshSeconds before `now` (by the file's modification time, the
// real clock whatever clock the samples followed), and its writer's process
// lives.
bool UnlockedRunIsLive(const QString& path, const QDateTime& now = QDateTime::currentDateTimeUtc());

}  // namespace report
