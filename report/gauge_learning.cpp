// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/gauge_learning.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

#include "report/report_math.h"
#include "report/verdict.h"

namespace report {

const QString kRestAfterSwitchOffAdvice = QStringLiteral(
    "When the machine has switched off, leave it off for an hour before you reconnect the adaptor: the gauge takes "
    "its reading at rest.");

namespace {

const QString kNotRecorded = QStringLiteral("not recorded");

QString Number(double value, int decimals)
{
    return QLocale().toString(value, 'f', decimals);
}

// A figure on the side of `limit` that its rule puts it ("40.4", not "40", above 40).
QString Deciding(double value, double limit)
{
    return value < 0 ? Number(value, 0) : DecidingText(value, limit);
}
// The rule for the cold is "at least 10": told apart as "more than just under 10".
constexpr double kJustUnderCoolest = kCoolestCelsius - 1e-9;

QString SpotName(RestSpot spot)
{
    return spot == RestSpot::Full ? QStringLiteral("full") : QStringLiteral("empty");
}

QString NoRestText(NoRestReason reason)
{
    switch (reason) {
    case NoRestReason::NoInhibitCharge:
        return QStringLiteral("the battery cannot hold charging off");
    case NoRestReason::NoVoltage:
        return QStringLiteral("the battery gives no voltage reading");
    case NoRestReason::Refused:
        return QStringLiteral("holding charging off was refused");
    case NoRestReason::Unknown:
        break;
    }
    return QStringLiteral("the reason is not known");
}

QString ChangeText(const RestSpan& rest)
{
    if (!rest.changeMv)
        return {};
    // Two decimals where one would put it on the other side of the line.
    const double mv = *rest.changeMv;
    const bool hidden = (mv < kSettledMvIn10Min) != (std::round(mv * 10) / 10 < kSettledMvIn10Min);
    return QStringLiteral(" (%1 mV in %2 min)").arg(Number(mv, hidden ? 2 : 1)).arg(std::min<qint64>(10, rest.Minutes()));
}

QString OutcomeText(const RestSpan& rest)
{
    switch (rest.outcome) {
    case RestOutcome::Rested:
        return QStringLiteral("voltage settled") + ChangeText(rest);
    case RestOutcome::Capped:
        return QStringLiteral("voltage still settling when the wait ran out") + ChangeText(rest);
    case RestOutcome::Skipped:
        return QStringLiteral("skipped before the voltage settled");
    case RestOutcome::Unplugged:
        return QStringLiteral("ended by the unplug before the voltage settled") + ChangeText(rest);
    case RestOutcome::Broken:
        return QStringLiteral("the run ended during it");
    case RestOutcome::Unknown:
        break;
    }
    return QStringLiteral("outcome not known");
}

QString MissingRestText(const RestSpan& rest)
{
    const QString at = SpotName(rest.spot);
    switch (rest.outcome) {
    case RestOutcome::Skipped:
        return QStringLiteral("The rest at %1 was skipped.").arg(at);
    case RestOutcome::Broken:
        return QStringLiteral("The run ended during the rest at %1.").arg(at);
    default:
        return QStringLiteral("The voltage had not settled by the end of the rest at %1.").arg(at);
    }
}

// The rest at one spot: its line, and what was missing (empty when nothing).
struct RestJudged {
    QString value;
    QString missing;
};

RestJudged JudgeRest(const RunRecord& run, RestSpot spot, LearningConditions& into)
{
    const bool full = spot == RestSpot::Full;
    const auto span = std::find_if(run.rests.spans.crbegin(), run.rests.spans.crend(),
                                   [spot](const RestSpan& rest) { return rest.spot == spot; });
    if (span != run.rests.spans.crend()) {
        const bool settled = span->outcome == RestOutcome::Rested;
        (full ? into.fullRestMinutes : into.emptyRestMinutes) = span->Minutes();
        (full ? into.fullRestSettled : into.emptyRestSettled) = settled;
        return {QStringLiteral("%1 min, ").arg(span->Minutes()) + OutcomeText(*span),
                settled ? QString() : MissingRestText(*span)};
    }
    const auto missed = std::find_if(run.rests.missed.crbegin(), run.rests.missed.crend(),
                                     [spot](const NoRest& none) { return none.spot == spot; });
    if (missed != run.rests.missed.crend())
        return {QStringLiteral("none: ") + NoRestText(missed->reason),
                QStringLiteral("There was no rest at %1: %2.").arg(SpotName(spot), NoRestText(missed->reason))};
    if (!full && !run.facts.onMains && RanOut(run.ending)) {
        into.emptyRestUnknown = true;
        return {QStringLiteral("not known: the machine was off"), QString()};
    }
    if (!full && !RanOut(run.ending))
        return {QStringLiteral("none: the discharge did not reach empty"), QString()};
    return {kNotRecorded, QStringLiteral("No rest at %1 was recorded.").arg(SpotName(spot))};
}

bool Charging(const RunSample& sample, bool onMains)
{
    if (sample.batteryStatus == QLatin1String("Charging"))
        return true;
    return onMains ? sample.acLineStatus == power::kAcOnline && !sample.dischargeOnMains
                   : sample.acLineStatus == power::kAcOnline;
}

// Awake minutes into the run where charging broke the discharge; nothing
// when it did not. On mains the recharge's samples are kept apart: one taken
// before the discharge's last sample is charging in the middle of it.
std::optional<double> BrokenAt(const RunRecord& run)
{
    constexpr double kRiseWh = 0.1;  // beyond a reading's jitter
    const QList<RunSample>& samples = run.samples;
    for (qsizetype i = 0; i < samples.size(); ++i) {
        const bool rose = i > 0 && samples[i].energyWh && samples[i - 1].energyWh
                          && *samples[i].energyWh > *samples[i - 1].energyWh + kRiseWh;
        if (Charging(samples[i], run.facts.onMains) || rose)
            return samples[i].awakeSeconds / 60.0;
    }
    if (!samples.isEmpty()) {
        for (const RunSample& sample : run.recharge) {
            if (sample.time.isValid() && sample.time < samples.last().time)
                return samples.first().time.secsTo(sample.time) / 60.0;
        }
    }
    return std::nullopt;
}

// The energy at the first sample less that at the last one not charging.
std::optional<double> PassedWh(const RunRecord& run)
{
    const auto first = std::find_if(run.samples.cbegin(), run.samples.cend(),
                                    [](const RunSample& sample) { return sample.energyWh.has_value(); });
    for (auto last = run.samples.crbegin(); first != run.samples.cend() && last != run.samples.crend(); ++last) {
        if (last->energyWh && !Charging(*last, run.facts.onMains))
            return std::max(0.0, *first->energyWh - *last->energyWh);
    }
    return EnergyDeliveredWh(run.samples);
}

// The battery's temperatures where the gauge takes its readings: at the
// discharge's two ends and through a recorded rest at empty. The heat on the
// way counts for nothing there (fast discharge holds it near 40 °C).
QList<double> ReadingCelsius(const RunRecord& run)
{
    QList<double> at;
    const auto keep = [&at](const RunSample& sample) {
        if (sample.batteryCelsius)
            at.append(*sample.batteryCelsius);
    };
    if (!run.samples.isEmpty()) {
        keep(run.samples.first());
        keep(run.samples.last());
    }
    for (const RestSpan& rest : run.rests.spans) {
        for (const RunSample& sample : run.recharge) {
            if (rest.spot == RestSpot::Empty && sample.time >= rest.start && sample.time <= rest.end)
                keep(sample);
        }
    }
    return at;
}

QString RangeText(double coolest, double hottest)
{
    return QStringLiteral("%1\u2013%2 °C").arg(Deciding(coolest, kJustUnderCoolest), Deciding(hottest, kHottestCelsius));
}

QString TemperatureLine(const RunRecord& run, LearningConditions& into)
{
    const bool battery = std::any_of(run.samples.cbegin(), run.samples.cend(),
                                     [](const RunSample& sample) { return sample.batteryCelsius.has_value(); });
    QString zone;
    double coolest = 0, hottest = 0;
    bool any = false;
    for (const RunSample& sample : run.samples) {
        const auto celsius = battery ? sample.batteryCelsius : sample.zoneCelsius;
        if (!celsius)
            continue;
        if (!any || *celsius > hottest)
            zone = sample.zoneType;
        coolest = any ? std::min(*celsius, coolest) : *celsius;
        hottest = any ? std::max(*celsius, hottest) : *celsius;
        any = true;
    }
    if (!any)
        return kNotRecorded;
    // A processor's zone runs far hotter than the pack beside it: shown, never judged.
    if (!battery)
        return QStringLiteral("%1 by the hottest thermal zone%2; the battery's own is not known")
            .arg(RangeText(coolest, hottest), zone.isEmpty() ? QString() : QStringLiteral(", ") + zone);
    into.temperatureFrom = LearningTemperature::Battery;
    const QList<double> readings = ReadingCelsius(run);
    into.coolestCelsius = *std::min_element(readings.cbegin(), readings.cend());
    into.hottestCelsius = *std::max_element(readings.cbegin(), readings.cend());
    const bool within = *into.coolestCelsius >= kCoolestCelsius && *into.hottestCelsius <= kHottestCelsius;
    return QStringLiteral("%1 by the battery's sensor; at the readings %2, %3 10\u201340 °C")
        .arg(RangeText(coolest, hottest), RangeText(*into.coolestCelsius, *into.hottestCelsius),
             within ? QStringLiteral("within") : QStringLiteral("outside"));
}

QString TemperatureMissing(const LearningConditions& found)
{
    if (!found.hottestCelsius || found.temperatureFrom != LearningTemperature::Battery)
        return {};
    const QString what = QStringLiteral("The battery");
    if (*found.hottestCelsius > kHottestCelsius)
        return QStringLiteral("%1 was at %2 °C where the gauge takes its reading: it takes none above 40 °C.")
            .arg(what, Deciding(*found.hottestCelsius, kHottestCelsius));
    if (*found.coolestCelsius < kCoolestCelsius)
        return QStringLiteral("%1 was at %2 °C where the gauge takes its reading: it takes none below 10 °C.")
            .arg(what, Deciding(*found.coolestCelsius, kJustUnderCoolest));
    return {};
}

// The charge passed against design; `tooLittle` says so when it was.
QString ChargeLine(const RunRecord& run, LearningConditions& into, QString& tooLittle)
{
    const double design = run.facts.designWh.value_or(run.samples.isEmpty() ? 0 : run.samples.first().designWh.value_or(0));
    const auto passedWh = PassedWh(run);
    if (!passedWh || design <= 0)
        return kNotRecorded;
    into.passedPercent = 100 * *passedWh / design;
    const QString percent = Deciding(*into.passedPercent, kLeastPassedPercent);
    if (*into.passedPercent <= kLeastPassedPercent)
        tooLittle = QStringLiteral("Too little charge passed between full and empty: %1 % of design.").arg(percent);
    return QStringLiteral("%1 % of design (%2 of %3 Wh); more than 37 % is needed")
        .arg(percent, Number(*passedWh, 1), Number(design, 1));
}

}  // namespace

LearningConditions JudgeLearning(const RunRecord& run)
{
    LearningConditions found;
    const RestJudged full = JudgeRest(run, RestSpot::Full, found);
    const RestJudged empty = JudgeRest(run, RestSpot::Empty, found);

    QString tooLittle;
    const QString passed = ChargeLine(run, found, tooLittle);

    const QString temperature = TemperatureLine(run, found);
    const auto broken = BrokenAt(run);
    found.unbroken = !broken;
    const QString brokenText = QStringLiteral("charging %1 min into the run").arg(broken ? std::llround(*broken) : 0);
    found.lines = {
        {QStringLiteral("Rest at full:"), full.value, QStringLiteral("restAtFull")},
        {QStringLiteral("Rest at empty:"), empty.value, QStringLiteral("restAtEmpty")},
        {QStringLiteral("Charge passed:"), passed, QStringLiteral("chargePassed")},
        {QStringLiteral("Temperature:"), temperature, QStringLiteral("temperature")},
        {QStringLiteral("Discharge:"),
         broken ? QStringLiteral("broken: ") + brokenText : QStringLiteral("unbroken, no charging between full and empty"),
         QStringLiteral("unbroken")},
    };

    if (!RanOut(run.ending)) {
        found.conclusion = QStringLiteral("The discharge did not reach empty: the gauge had nothing to relearn from.");
        return found;
    }
    const QStringList missing{full.missing, empty.missing, tooLittle, TemperatureMissing(found),
                              broken ? QStringLiteral("The discharge was broken by %1.").arg(brokenText) : QString()};
    const auto first = std::find_if(missing.cbegin(), missing.cend(), [](const QString& text) { return !text.isEmpty(); });
    if (first != missing.cend()) {
        found.enough = false;
        found.conclusion = *first;
    } else if (found.emptyRestUnknown) {  // it depends on how long the machine stayed off
        found.conclusion = QStringLiteral("The gauge had what it needs to relearn its capacity if the machine stayed "
                                          "off for an hour before the adaptor went back in.");
    } else {
        found.enough = true;
        found.conclusion = QStringLiteral("The gauge had what it needs to relearn its capacity.");
    }
    return found;
}

QString SinceText(const SinceCalibration& since, const QDate& thisRun)
{
    const QString format = since.earlier.year() == thisRun.year() ? QStringLiteral("d MMM") : QStringLiteral("d MMM yyyy");
    const auto points = [](const std::optional<int>& error) {
        return error ? QString::number(std::abs(*error)) : QStringLiteral("unknown");
    };
    const auto wh = [](const std::optional<double>& value) {
        return value ? Number(*value, 1) : QStringLiteral("unknown");
    };
    return QStringLiteral("Since the calibration of %1: largest error %2 \u2192 %3 points, full capacity %4 \u2192 %5 Wh")
        .arg(QLocale().toString(since.earlier, format), points(since.errorThen), points(since.errorNow),
             wh(since.fullWhThen), wh(since.fullWhNow));
}

}  // namespace report
