// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

#include "report/run_record_format.h"

namespace report {

// A run samples once a minute: a record left alone for two minutes has stopped.
inline constexpr qint64 kFreshSeconds = 120;

// Whether an unended record of this boot is still being written although no
// one holds it: its facts say that its writer held no lock, it was written to
// less than kFreshSeconds before `now` (by the file's modification time, the
// real clock whatever clock the samples followed), and its writer's process
// lives.
bool UnlockedRunIsLive(const QString& path, const RunFacts& facts,
                       const QDateTime& now = QDateTime::currentDateTimeUtc());

}  // namespace report
