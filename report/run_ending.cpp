// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/run_ending.h"

namespace report {
namespace {

struct EndingNames {
    RunEnding ending;
    QLatin1String stored;  // empty: no end line gives it
    QLatin1String word;
    QLatin1String text;
};

// One row an ending; NotRecorded's stands for any ending not found.
const EndingNames kEndings[] = {
    {RunEnding::NotRecorded, {}, QLatin1String("not recorded"), QLatin1String("ending not recorded")},
    {RunEnding::Running, {}, QLatin1String("running"), QLatin1String("still running")},
    {RunEnding::Replugged, QLatin1String("replugged"), QLatin1String("plugged in"),
     QLatin1String("ended when the adaptor was reconnected")},
    {RunEnding::Exited, QLatin1String("exited"), QLatin1String("closed"), QLatin1String("ended when Dorvik was closed")},
    {RunEnding::Standby, QLatin1String("standby"), QLatin1String("standby"),
     QLatin1String("ended when the machine went to standby")},
    {RunEnding::SwitchedOff, {}, QLatin1String("switched off"), QLatin1String("ran until the machine switched off")},
    {RunEnding::Killed, {}, QLatin1String("stopped"),
     QLatin1String("stopped without a word: Dorvik was killed or crashed")},
};

const EndingNames& Names(RunEnding ending)
{
    for (const EndingNames& names : kEndings) {
        if (names.ending == ending)
            return names;
    }
    return kEndings[0];
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

QString EndingText(RunEnding ending)
{
    return Names(ending).text;
}

QString EndingJsonName(RunEnding ending)
{
    return EndingWord(ending).replace(QLatin1Char(' '), QLatin1Char('_'));
}

}  // namespace report
