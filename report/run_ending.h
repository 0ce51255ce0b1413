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
    Standby,      // slept after a last sample near empty, and woke on mains
    StandbyWithCharge,  // the same sleep, the last sample far from empty: stored as Standby
    SwitchedOff,  // the machine went down with the run: no end line, booted since, last seen near empty
    Killed,       // same boot, no end line, and no writer holds it
    Restarted,    // no end line, booted since, but last seen with charge or on mains: never stored
    RanOutOnMains,  // discharged with the adaptor connected until empty, then recharged
    RecordStopped,  // its writer could write no more, and the end never reached the record: never stored
    FirmwareStopped,  // on mains, the firmware or a restarted helper ended the discharge above empty
};

// Only a run that ran out tells the gauge's error at empty.
constexpr bool RanOut(RunEnding ending)
{
    return ending == RunEnding::SwitchedOff || ending == RunEnding::Standby || ending == RunEnding::RanOutOnMains;
}

// Where a record stopped when its writer could write no more.
struct RecordStop {
    qint64 minutes = 0;
    QString reason;  // "the disk was full"
};
// The reason for a failed write, from its error text.
QString StopReason(const QString& error);
// "The record stopped at 12 min: the disk was full."
QString RecordStopText(const RecordStop& stop);

// The reason a record's end line gives: only the orderly endings (Replugged,
// Exited, Standby, RanOutOnMains, FirmwareStopped) have one; empty for the others. These words are on disks,
// so they never change.
QLatin1String EndingStoredWord(RunEnding ending);
// The ending an end line's reason names; NotRecorded for any other.
RunEnding EndingOfStoredWord(const QString& word);

// A short word for how a run ended, for the list of runs and --report.
QString EndingWord(RunEnding ending);

// The ending as the report's first line says it, a sentence. `lastPercent`
// is the gauge at the last sample, which some endings name; a stop of the
// record is told after it.
QString EndingText(RunEnding ending, std::optional<int> lastPercent = std::nullopt,
                   const std::optional<RecordStop>& stop = std::nullopt);

// The first line of View Result's box for a run `minutesText` long (the
// result log's line 1, as it stands). A run that ran out, and one whose
// ending is not known, keep the line as it ever was.
QString ViewResultLine(RunEnding ending, const QString& minutesText, std::optional<int> lastPercent = std::nullopt,
                       const std::optional<RecordStop>& stop = std::nullopt);

// The verdict's sentence for a run that did not run out; empty for one that did.
QString NoVerdictText(RunEnding ending);

// The desktop notice at the end of a run `minutes` long.
QString EndedNoticeText(RunEnding ending, qint64 minutes, std::optional<int> lastPercent = std::nullopt);

// The ending's name in --report --json: the short word, in snake case.
QString EndingJsonName(RunEnding ending);

}  // namespace report
