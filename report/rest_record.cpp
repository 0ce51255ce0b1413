// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/rest_record.h"

#include <array>
#include <utility>

#include "report/record_fields.h"

namespace report {
namespace {

constexpr double kVoltageLimitV = 100, kChangeLimitMv = 100'000;

template <typename Enum, std::size_t N>
std::optional<Enum> Lookup(const std::array<std::pair<Enum, QLatin1String>, N>& words, const QString& word)
{
    for (const auto& [value, text] : words) {
        if (word == text)
            return value;
    }
    return std::nullopt;
}

template <typename Enum, std::size_t N>
QLatin1String WordOf(const std::array<std::pair<Enum, QLatin1String>, N>& words, Enum value)
{
    for (const auto& [known, text] : words) {
        if (known == value)
            return text;
    }
    return QLatin1String("unknown");
}

const std::array<std::pair<RestSpot, QLatin1String>, 2> kSpots{{
    {RestSpot::Full, QLatin1String("full")},
    {RestSpot::Empty, QLatin1String("empty")},
}};
const std::array<std::pair<RestOutcome, QLatin1String>, 5> kOutcomes{{
    {RestOutcome::Rested, QLatin1String("rested")},
    {RestOutcome::Capped, QLatin1String("capped")},
    {RestOutcome::Skipped, QLatin1String("skipped")},
    {RestOutcome::Unplugged, QLatin1String("unplugged")},
    {RestOutcome::Broken, QLatin1String("broken")},
}};
const std::array<std::pair<NoRestReason, QLatin1String>, 3> kReasons{{
    {NoRestReason::NoInhibitCharge, QLatin1String("no-inhibit-charge")},
    {NoRestReason::NoVoltage, QLatin1String("no-voltage")},
    {NoRestReason::Refused, QLatin1String("refused")},
}};

std::optional<RestSpan> RestSpanOf(const QStringList& fields)
{
    if (fields.size() < 6)
        return std::nullopt;
    const auto spot = Lookup(kSpots, fields[1]);
    const auto start = Time(fields[2]);
    const auto end = Time(fields[3]);
    const auto change = Quantity(fields[5], kChangeLimitMv);
    if (!spot || !start || !end || *end < *start || !change)
        return std::nullopt;
    return RestSpan{*spot, *start, *end, Lookup(kOutcomes, fields[4]).value_or(RestOutcome::Unknown), *change};
}

std::optional<NoRest> NoRestOf(const QStringList& fields)
{
    const auto spot = fields.size() >= 3 ? Lookup(kSpots, fields[1]) : std::nullopt;
    if (!spot)
        return std::nullopt;
    return NoRest{*spot, Lookup(kReasons, fields[2]).value_or(NoRestReason::Unknown)};
}

std::optional<RestVoltage> RestVoltageOf(const QStringList& fields)
{
    const auto time = fields.size() == 3 ? Time(fields[1]) : std::nullopt;
    const auto voltage = time ? Quantity(fields[2], kVoltageLimitV) : std::nullopt;
    if (!voltage || !*voltage)
        return std::nullopt;
    return RestVoltage{*time, **voltage};
}

template <typename Value>
void Keep(const std::optional<Value>& value, QList<Value>& into, int& damaged)
{
    if (value)
        into.append(*value);
    else
        ++damaged;
}

}  // namespace

QLatin1String RestSpotWord(RestSpot spot)
{
    return WordOf(kSpots, spot);
}

QLatin1String RestOutcomeWord(RestOutcome outcome)
{
    return WordOf(kOutcomes, outcome);
}

QLatin1String NoRestReasonWord(NoRestReason reason)
{
    return WordOf(kReasons, reason);
}

QByteArray RestSpanLine(const RestSpan& rest)
{
    return Line({QStringLiteral("rest"), RestSpotWord(rest.spot), TimeField(rest.start), TimeField(rest.end),
                 RestOutcomeWord(rest.outcome), NumberField(rest.changeMv)});
}

QByteArray NoRestLine(const NoRest& missed)
{
    return Line({QStringLiteral("no_rest"), RestSpotWord(missed.spot), NoRestReasonWord(missed.reason)});
}

QByteArray RestVoltageLine(const RestVoltage& reading)
{
    return Line({QStringLiteral("rest_v"), TimeField(reading.time), NumberField(reading.voltageV)});
}

bool ReadRestLine(const QStringList& fields, RecordedRests& rests, int& damaged)
{
    const QString kind = fields.value(0);
    if (kind == QLatin1String("rest"))
        Keep(RestSpanOf(fields), rests.spans, damaged);
    else if (kind == QLatin1String("no_rest"))
        Keep(NoRestOf(fields), rests.missed, damaged);
    else if (kind == QLatin1String("rest_v"))
        Keep(RestVoltageOf(fields), rests.voltages, damaged);
    else
        return false;
    return true;
}

}  // namespace report
