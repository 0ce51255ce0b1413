// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/run_ending.h"

namespace report {
namespace {

// In the sentences, {percent} stands for the last percent and {minutes} for
// the minutes.
struct EndingNames {
    RunEnding ending;
    QLatin1String stored;  // empty: no end line gives it
    QLatin1String word;
    QLatin1String sentence;
    QLatin1String result;  // View Result's first line
};

const QLatin1String kRanOutResult("The previous run lasted for {minutes} minutes before the battery ran out of charge.");

// One row an ending; NotRecorded's stands for any ending not found.
const EndingNames kEndings[] = {
    {RunEnding::NotRecorded, {}, QLatin1String("not recorded"),
     QLatin1String("The record does not say how the run ended."), kRanOutResult},
    {RunEnding::Running, {}, QLatin1String("running"), QLatin1String("The run is still going."),
     QLatin1String("The run under way has lasted {minutes} minutes so far.")},
    {RunEnding::Replugged, QLatin1String("replugged"), QLatin1String("plugged in"),
     QLatin1String("The run ended when the adaptor was reconnected."),
     QLatin1String("The previous run lasted for {minutes} minutes; it ended when the adaptor was reconnected, "
                   "before the battery ran out.")},
    {RunEnding::Exited, QLatin1String("exited"), QLatin1String("closed"),
     QLatin1String("The run ended when Dorvik was closed."),
     QLatin1String("The previous run lasted for {minutes} minutes; it ended when Dorvik was closed, "
                   "before the battery ran out.")},
    {RunEnding::Standby, QLatin1String("standby"), QLatin1String("standby"),
     QLatin1String("The run ended when the machine went to standby."), kRanOutResult},
    {RunEnding::SwitchedOff, {}, QLatin1String("switched off"),
     QLatin1String("The run lasted until the machine switched off."), kRanOutResult},
    {RunEnding::Killed, {}, QLatin1String("stopped"),
     QLatin1String("The run stopped without a word: Dorvik was killed or crashed."),
     QLatin1String("The previous run lasted for {minutes} minutes; it stopped without a word when Dorvik was "
                   "killed or crashed, before the battery ran out.")},
    {RunEnding::Restarted, {}, QLatin1String("stopped before restart"),
     QLatin1String("The run stopped without a word before a restart, at {percent}: the battery had not run out."),
     QLatin1String("The previous run lasted for {minutes} minutes; it stopped without a word before a restart, "
                   "at {percent}, before the battery ran out.")},
    {RunEnding::RanOutOnMains, QLatin1String("ran-out-on-mains"), QLatin1String("ran out on mains"),
     QLatin1String("The battery ran out with the adaptor connected, and Dorvik recorded its recharge."),
     kRanOutResult},
    {RunEnding::FirmwareStopped, QLatin1String("firmware-stopped"), QLatin1String("firmware stopped"),
     QLatin1String("The firmware stopped the discharge at {percent}."),
     QLatin1String("The previous run lasted for {minutes} minutes; the firmware stopped the discharge at {percent}, "
                   "before the battery ran out.")},
};

const EndingNames& Names(RunEnding ending)
{
    for (const EndingNames& names : kEndings) {
        if (names.ending == ending)
            return names;
    }
    return kEndings[0];
}

QString PercentWords(std::optional<int> percent)
{
    return percent ? QString::number(*percent) + QStringLiteral(" %") : QStringLiteral("an unknown percent");
}

}  // namespace

QLatin1String EndingStoredWord(RunEnding ending)
{
    return Names(ending).stored;
}

RunEnding EndingOfStoredWord(const QString& word)
{
    for (const EndingNames& names : kEndings) {
        if (!names.stored.isEmpty() && word == names.stored)
            return names.ending;
    }
    return RunEnding::NotRecorded;
}

QString EndingWord(RunEnding ending)
{
    return Names(ending).word;
}

QString EndingText(RunEnding ending, std::optional<int> lastPercent)
{
    return QString(Names(ending).sentence).replace(QLatin1String("{percent}"), PercentWords(lastPercent));
}

QString ViewResultLine(RunEnding ending, const QString& minutesText, std::optional<int> lastPercent)
{
    // The percent first: the log's line 1 is shown as it stands, whatever it holds.
    return QString(Names(ending).result)
        .replace(QLatin1String("{percent}"), PercentWords(lastPercent))
        .replace(QLatin1String("{minutes}"), minutesText);
}

QString EndingJsonName(RunEnding ending)
{
    return EndingWord(ending).replace(QLatin1Char(' '), QLatin1Char('_'));
}

}  // namespace report
