// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "report/run_record.h"

namespace report {

// How a run without an end line ended, told from outside: Running while a
// writer holds the record, or while an unheld one of this boot is fresh
// (UnlockedRunIsLive); otherwise SwitchedOff when the machine has booted
// since the run started, Killed when it has not, and NotRecorded when the
// record names no boot (format 1) or this boot cannot be told.
RunEnding UnendedRunEnding(const QString& path, const RunFacts& facts);

// The ending in words, as the report's first line says it.
QString EndingText(RunEnding ending);

}  // namespace report
