// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1String>
#include <QString>
#include <optional>

namespace report {

// How a run ended. Records of the first format, and end lines with a reason
// this version does not know, read as NotRecorded.
enum class RunEnding {
    NotRecorded,
    Running,      // its writer still holds the record
    Replugged,    // the adaptor came back
    Exited,       // Exit, the window closed, or a fatal path after the discharge started
    Standby,      // the machine slept after the last sample and woke on mains
    SwitchedOff,  // the machine went down with the run: no end line, booted since, last seen near empty
    Killed,       // same boot, no end line, and no writer holds it
    Restarted,    // no end line, booted since, but last seen with charge or on mains: never stored
    RanOutOnMains,  // discharged with the adaptor connected until empty, then recharged
    FirmwareStopped,  // on mains, the firmware or a restarted helper ended the discharge above empty
};

// Only a run that ran out tells the gauge's error at empty.
constexpr bool RanOut(RunEnding ending)
{
    return ending == RunEnding::SwitchedOff || ending == RunEnding::Standby || ending == RunEnding::RanOutOnMains;
}

// The reason a record's end line gives: only the orderly endings (Replugged,
// Exited, Standby, RanOutOnMains, FirmwareStopped) have one; empty for the others. These words are on disks,
// so they never change.
QLatin1String EndingStoredWord(RunEnding ending);
// The ending an end line's reason names; NotRecorded for any other.
RunEnding EndingOfStoredWord(const QString& word);

// A short word for how a run ended, for the list of runs and --report.
QString EndingWord(RunEnding ending);

// The ending as the report's first line says it, a sentence. `lastPercent`
// is the gauge at the last sample, which some endings name.
QString EndingText(RunEnding ending, std::optional<int> lastPercent = std::nullopt);

// The first line of View Result's box for a run `minutesText` long (the
// result log's line 1, as it stands). A run that ran out, and one whose
// ending is not known, keep the line as it ever was.
QString ViewResultLine(RunEnding ending, const QString& minutesText, std::optional<int> lastPercent = std::nullopt);

// The ending's name in --report --json: the short word, in snake case.
QString EndingJsonName(RunEnding ending);

}  // namespace report
