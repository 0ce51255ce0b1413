// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLatin1String>
#include <QList>
#include <QStringList>
#include <optional>

namespace report {

// The rests a run gave the gauge, as its record keeps them.

enum class RestSpot { Full, Empty };

enum class RestOutcome {
    Rested,     // the voltage settled: the gauge could take its reading
    Capped,     // the longest wait passed before it settled
    Skipped,    // the user ended it
    Unplugged,  // the unplug ended it before the voltage settled
    Broken,     // the run ended during it (a replug, an exit, a failure)
    Unknown,    // a word of a later version
};

// "rest,<full|empty>,<start>,<end>,<outcome>,<change_mv>": the change is
// the voltage's over the last quiet minutes, empty when not known.
struct RestSpan {
    RestSpot spot = RestSpot::Full;
    QDateTime start{};
    QDateTime end{};
    RestOutcome outcome = RestOutcome::Unknown;
    std::optional<double> changeMv{};
    qint64 Minutes() const { return start.secsTo(end) / 60; }
};

enum class NoRestReason {
    NoInhibitCharge,  // the battery cannot hold charging off
    NoVoltage,        // the battery gives no voltage: a rest cannot be told
    Refused,          // holding charging off was refused or failed
    Unknown,          // a word of a later version
};

// "no_rest,<full|empty>,<reason>": a run on mains that could not rest there.
struct NoRest {
    RestSpot spot = RestSpot::Full;
    NoRestReason reason = NoRestReason::Unknown;
};

// "rest_v,<time>,<voltage_v>": a reading taken during a rest while no
// samples were written, before the discharge started.
struct RestVoltage {
    QDateTime time{};
    double voltageV = 0;
};

QByteArray RestSpanLine(const RestSpan& rest);
QByteArray NoRestLine(const NoRest& missed);
QByteArray RestVoltageLine(const RestVoltage& reading);

// The rests a record's lines tell; a line that is none of them is left to
// the caller, a damaged one is counted in `damaged`.
struct RecordedRests {
    QList<RestSpan> spans{};
    QList<NoRest> missed{};
    QList<RestVoltage> voltages{};
};
// True when `fields` is a rest line, taken or counted as damaged.
bool ReadRestLine(const QStringList& fields, RecordedRests& rests, int& damaged);

QLatin1String RestSpotWord(RestSpot spot);
QLatin1String RestOutcomeWord(RestOutcome outcome);
QLatin1String NoRestReasonWord(NoRestReason reason);

}  // namespace report
