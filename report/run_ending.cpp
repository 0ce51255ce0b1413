// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/run_ending.h"

#include <cerrno>

#include "storage/durable_file.h"

namespace report {
namespace {

// In the sentences, {percent} stands for the last percent and {minutes} for
// the minutes.
struct EndingNames {
    RunEnding ending;
    QLatin1String stored;  // empty: no end line gives it
    QLatin1String word;
    QLatin1String sentence;
    QLatin1String result;     // View Result's first line
    QLatin1String noVerdict;  // empty for a run that ran out
    QLatin1String notice;     // the notice at the end of the run
};

const QLatin1String kRanOutResult("The previous run lasted for {minutes} minutes before the battery ran out of charge.");
const QLatin1String kEndedNotice("The run ended after {minutes} min.");

// One row an ending; NotRecorded's stands for any ending not found. Of two
// rows with one stored word, the first is the one read.
const EndingNames kEndings[] = {
    {RunEnding::NotRecorded, {}, QLatin1String("not recorded"),
     QLatin1String("The record does not say how the run ended."), kRanOutResult,
     QLatin1String("No verdict: this record does not say how the run ended."), kEndedNotice},
    {RunEnding::Running, {}, QLatin1String("running"), QLatin1String("The run is still going."),
     QLatin1String("The run under way has lasted {minutes} minutes so far."),
     QLatin1String("No verdict yet: the run is still going."), kEndedNotice},
    {RunEnding::Replugged, QLatin1String("replugged"), QLatin1String("plugged in"),
     QLatin1String("The run ended when the adaptor was reconnected."),
     QLatin1String("The previous run lasted for {minutes} minutes; it ended when the adaptor was reconnected, "
                   "before the battery ran out."),
     QLatin1String("No verdict: the adaptor was plugged in before the battery ran out."),
     QLatin1String("The adaptor was reconnected: the run ended after {minutes} min.")},
    {RunEnding::Exited, QLatin1String("exited"), QLatin1String("closed"),
     QLatin1String("The run ended when Dorvik was closed."),
     QLatin1String("The previous run lasted for {minutes} minutes; it ended when Dorvik was closed, "
                   "before the battery ran out."),
     QLatin1String("No verdict: Dorvik was closed before the battery ran out."), kEndedNotice},
    {RunEnding::Standby, QLatin1String("standby"), QLatin1String("standby"),
     QLatin1String("The run ended when the machine went to standby."), kRanOutResult, {},
     QLatin1String("The machine went to standby near empty: the run ended after {minutes} min.")},
    {RunEnding::StandbyWithCharge, QLatin1String("standby"), QLatin1String("standby with charge"),
     QLatin1String("The run ended when the machine went to standby at {percent}: the battery had not run out."),
     QLatin1String("The previous run lasted for {minutes} minutes; it ended when the machine went to standby at "
                   "{percent}, before the battery ran out."),
     QLatin1String("No verdict: the machine went to standby before the battery ran out."),
     QLatin1String("The run ended when the machine went to standby at {percent}: the battery had not run out. "
                   "It lasted {minutes} min.")},
    {RunEnding::SwitchedOff, {}, QLatin1String("switched off"),
     QLatin1String("The run lasted until the machine switched off."), kRanOutResult, {}, kEndedNotice},
    {RunEnding::Killed, {}, QLatin1String("stopped"),
     QLatin1String("The run stopped without a word: Dorvik was killed or crashed."),
     QLatin1String("The previous run lasted for {minutes} minutes; it stopped without a word when Dorvik was "
                   "killed or crashed, before the battery ran out."),
     QLatin1String("No verdict: Dorvik was stopped before the battery ran out."), kEndedNotice},
    {RunEnding::Restarted, {}, QLatin1String("stopped before restart"),
     QLatin1String("The run stopped without a word before a restart, at {percent}: the battery had not run out."),
     QLatin1String("The previous run lasted for {minutes} minutes; it stopped without a word before a restart, "
                   "at {percent}, before the battery ran out."),
     QLatin1String("No verdict: the machine was restarted before the battery ran out."), kEndedNotice},
    {RunEnding::RanOutOnMains, QLatin1String("ran-out-on-mains"), QLatin1String("ran out on mains"),
     QLatin1String("The battery ran out with the adaptor connected, and Dorvik recorded its recharge."),
     kRanOutResult, {}, QLatin1String("The battery ran out on mains after {minutes} min.")},
    {RunEnding::RecordStopped, {}, QLatin1String("record stopped"), {},
     QLatin1String("The previous run lasted for {minutes} minutes."),
     QLatin1String("No verdict: the record stopped before the run ended."), kEndedNotice},
    {RunEnding::FirmwareStopped, QLatin1String("firmware-stopped"), QLatin1String("firmware stopped"),
     QLatin1String("The firmware stopped the discharge at {percent}."),
     QLatin1String("The previous run lasted for {minutes} minutes; the firmware stopped the discharge at {percent}, "
                   "before the battery ran out."),
     QLatin1String("No verdict: the firmware stopped the discharge before the battery ran out."),
     QLatin1String("The firmware stopped the discharge at {percent}: the run ended after {minutes} min.")},
};

const QLatin1String kOnlyRanOut(" Only a run that runs out shows the gauge's error at empty.");

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

QString Filled(QLatin1String text, std::optional<int> percent)
{
    return QString(text).replace(QLatin1String("{percent}"), PercentWords(percent));
}

// The sentence and, when the record stopped, that after it.
QString WithStop(const QString& sentence, const std::optional<RecordStop>& stop)
{
    if (!stop)
        return sentence;
    return sentence.isEmpty() ? RecordStopText(*stop) : sentence + QLatin1Char(' ') + RecordStopText(*stop);
}

}  // namespace

QString StopReason(const QString& error)
{
    bool full = error.endsWith(storage::SystemReason(ENOSPC));
#ifdef EDQUOT
    full = full || error.endsWith(storage::SystemReason(EDQUOT));
#endif
    if (full)
        return QStringLiteral("the disk was full");
    QString reason = error.section(QStringLiteral(": "), -1).trimmed();
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return reason.isEmpty() ? QStringLiteral("it could not be written") : reason.left(1).toLower() + reason.mid(1);
}

QString RecordStopText(const RecordStop& stop)
{
    return QStringLiteral("The record stopped at %1 min: %2.").arg(stop.minutes).arg(stop.reason);
}

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

QString EndingText(RunEnding ending, std::optional<int> lastPercent, const std::optional<RecordStop>& stop)
{
    return WithStop(Filled(Names(ending).sentence, lastPercent), stop);
}

QString ViewResultLine(RunEnding ending, const QString& minutesText, std::optional<int> lastPercent,
                       const std::optional<RecordStop>& stop)
{
    // The percent first: the log's line 1 is shown as it stands, whatever it holds.
    return WithStop(Filled(Names(ending).result, lastPercent).replace(QLatin1String("{minutes}"), minutesText), stop);
}

QString NoVerdictText(RunEnding ending)
{
    const EndingNames& names = Names(ending);
    if (names.noVerdict.isEmpty() || ending == RunEnding::Running)
        return names.noVerdict;
    return names.noVerdict + kOnlyRanOut;
}

QString EndedNoticeText(RunEnding ending, qint64 minutes, std::optional<int> lastPercent)
{
    return Filled(Names(ending).notice, lastPercent).replace(QLatin1String("{minutes}"), QString::number(minutes));
}

QString EndingJsonName(RunEnding ending)
{
    return EndingWord(ending).replace(QLatin1Char(' '), QLatin1Char('_'));
}

}  // namespace report
