// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1String>
#include <QString>

namespace report {

// How a run ended. Records of the first format, and end lines with a reason
// this version does not know, read as NotRecorded.
enum class RunEnding {
    NotRecorded,
    Running,      // its writer still holds the record
    Replugged,    // the adaptor came back
    Exited,       // Exit, the window closed, or a fatal path after the discharge started
    Standby,      // the machine slept after the last sample and woke on mains
    SwitchedOff,  // the machine went down with the run
    Killed,       // same boot, no end line, and no writer holds it
};

// Only a run that ran out tells the gauge's error at empty.
constexpr bool RanOut(RunEnding ending)
{
    return ending == RunEnding::SwitchedOff || ending == RunEnding::Standby;
}

// The reason a record's end line gives: only the orderly endings (Replugged,
// Exited, Standby) have one; empty for the others. These words are on disks,
// so they never change.
QLatin1String EndingStoredWord(RunEnding ending);
// The ending an end line's reason names; NotRecorded for any other.
RunEnding EndingOfStoredWord(const QString& word);

// A short word for how a run ended, for the list of runs and --report.
QString EndingWord(RunEnding ending);

// The ending in words, as the report's first line says it.
QString EndingText(RunEnding ending);

// The ending's name in --report --json: the short word, in snake case.
QString EndingJsonName(RunEnding ending);

}  // namespace report
