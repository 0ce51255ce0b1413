// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/rest_keeping.h"

namespace calibration {
namespace {

QString PlaceWord(RestPlace place)
{
    return place == RestPlace::Full ? QStringLiteral("full") : QStringLiteral("empty");
}

QString Longest(RestPlace place)
{
    const qint64 minutes = BatteryRest::CapMinutes(place);
    // A no-break space: "3" and "h" never part at a line's end.
    return minutes % 60 == 0 && minutes > 60 ? QStringLiteral("%1\u00a0h").arg(minutes / 60)
                                             : QStringLiteral("%1\u00a0min").arg(minutes);
}

}  // namespace

RestReading RestReadingOf(const power::BatteryDetails& details, qint64 ms)
{
    const auto micro = [](std::optional<double> value) { return value ? std::optional(*value * 1e6) : std::nullopt; };
    return {.ms = ms, .voltageUv = micro(details.voltageV), .currentUa = std::nullopt, .powerUw = micro(details.powerW)};
}

std::optional<report::NoRestReason> NoRestOnMains(bool offersInhibit, const power::BatteryDetails& details)
{
    if (!offersInhibit)
        return report::NoRestReason::NoInhibitCharge;
    if (!details.voltageV)
        return report::NoRestReason::NoVoltage;
    return std::nullopt;
}

report::RestOutcome RestOutcomeOf(RestState state, bool broken)
{
    switch (state) {
    case RestState::Rested: return report::RestOutcome::Rested;
    case RestState::Capped: return report::RestOutcome::Capped;
    case RestState::Skipped: return report::RestOutcome::Skipped;
    case RestState::Settling:
    case RestState::NoVoltage: break;
    }
    return broken ? report::RestOutcome::Broken : report::RestOutcome::Unknown;
}

QString RestChoiceText(RestPlace place)
{
    return QStringLiteral("The battery rests at %1 so that its gauge can take a reading. The run goes on once "
                          "the voltage has settled, after %2 at most.")
        .arg(PlaceWord(place), Longest(place));
}

QString RestStartNoticeText(RestPlace place)
{
    return QStringLiteral("Charging is held off: the battery rests at %1 so that its gauge can take a reading "
                          "(%2 at most).")
        .arg(PlaceWord(place), Longest(place));
}

QString RestEndNoticeText(RestPlace place, report::RestOutcome outcome, qint64 minutes)
{
    QString how;
    switch (outcome) {
    case report::RestOutcome::Rested: how = QStringLiteral("the voltage settled"); break;
    case report::RestOutcome::Capped: how = QStringLiteral("the voltage had not settled"); break;
    case report::RestOutcome::Skipped: how = QStringLiteral("skipped"); break;
    default: how = QStringLiteral("broken off"); break;
    }
    const QString next = place == RestPlace::Full ? QStringLiteral("The discharge starts now.")
                                                  : QStringLiteral("Charging to full now.");
    return QStringLiteral("The rest at %1 is over after %2 min: %3. %4").arg(PlaceWord(place)).arg(minutes).arg(how, next);
}

void KeptRest::Feed(const power::BatteryDetails& details, const QDateTime& time, qint64 ms)
{
    test_.Feed(RestReadingOf(details, ms));
    if (details.voltageV)
        voltages_.append({time, *details.voltageV});
}

report::RestSpan KeptRest::Span(const QDateTime& end, report::RestOutcome outcome) const
{
    return {.spot = Spot(), .start = start_, .end = end, .outcome = outcome, .changeMv = test_.ChangeMv()};
}

}  // namespace calibration
