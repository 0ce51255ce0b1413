// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_math.h"

#include <algorithm>

#include "power/system_power_status.h"
#include "storage/date_text.h"

namespace report {
namespace {

double Minutes(const RunSample& sample)
{
    return double(sample.awakeSeconds) / 60.0;
}

}  // namespace

QList<QPointF> Resampled(const QList<QPointF>& points, int maxPoints)
{
    const qsizetype count = std::max(maxPoints, 2);
    if (points.size() <= count)
        return points;
    QList<QPointF> kept;
    kept.reserve(count);
    const double step = double(points.size() - 1) / double(count - 1);
    for (qsizetype i = 0; i < count; ++i)
        kept.append(points[std::min(points.size() - 1, qsizetype(i * step + 0.5))]);
    return kept;
}

QList<QPointF> PercentCurve(const QList<RunSample>& samples)
{
    QList<QPointF> points;
    for (const RunSample& sample : samples) {
        if (sample.percent != power::kUnknownByte)
            points.append({Minutes(sample), double(sample.percent)});
    }
    return points;
}

QList<QPointF> PowerCurve(const QList<RunSample>& samples)
{
    QList<QPointF> points;
    for (const RunSample& sample : samples) {
        if (sample.powerW)
            points.append({Minutes(sample), *sample.powerW});
    }
    return points;
}

QList<QPointF> StraightLine(const QList<RunSample>& samples)
{
    const QList<QPointF> curve = PercentCurve(samples);
    if (curve.isEmpty())
        return {};
    return {curve.first(), QPointF(Minutes(samples.last()), 0.0)};
}

std::optional<double> EnergyDeliveredWh(const QList<RunSample>& samples)
{
    const auto knowsEnergy = [](const RunSample& sample) { return sample.energyWh.has_value(); };
    const auto first = std::find_if(samples.begin(), samples.end(), knowsEnergy);
    const auto last = std::find_if(samples.rbegin(), samples.rend(), knowsEnergy);
    if (first != samples.end() && &*first != &*last)
        return *first->energyWh - *last->energyWh;

    // Trapezoids between neighbouring samples that both know the draw.
    const QList<QPointF> power = PowerCurve(samples);
    if (power.size() < 2)
        return std::nullopt;
    double wattMinutes = 0;
    for (qsizetype i = 1; i < power.size(); ++i)
        wattMinutes += (power[i].y() + power[i - 1].y()) / 2 * (power[i].x() - power[i - 1].x());
    return wattMinutes / 60.0;
}

std::optional<double> HealthPercent(const RunFacts& facts)
{
    return HealthPercent(facts.fullWh, facts.designWh);
}

std::optional<double> HealthPercent(std::optional<double> fullWh, std::optional<double> designWh)
{
    if (!fullWh || !designWh || *designWh <= 0)
        return std::nullopt;
    return *fullWh / *designWh * 100.0;
}

std::optional<int> GaugeAtEnd(const QList<RunSample>& samples)
{
    if (samples.isEmpty() || samples.last().percent == power::kUnknownByte)
        return std::nullopt;
    return samples.last().percent;
}

double RunMinutes(const QList<RunSample>& samples)
{
    return samples.isEmpty() ? 0.0 : Minutes(samples.last());
}

qint64 LoggedMinutes(const QDateTime& start, qint64 awakeSeconds)
{
    return storage::MinutesBetween(start, start.addSecs(awakeSeconds));
}

RunSpan LoggedSpan(const RunRecord& run)
{
    if (run.lastLog)
        return {run.facts.start, run.lastLog->time, run.lastLog->minutes};
    if (run.samples.isEmpty())
        return {run.facts.start, QDateTime(), 0};
    const RunSample& last = run.samples.last();
    return {run.facts.start, last.time, LoggedMinutes(run.facts.start, last.awakeSeconds)};
}

qint64 LoggedMinutes(const RunRecord& run)
{
    return LoggedSpan(run).minutes;
}

namespace {

bool StartedAsLogged(const RunFacts& facts, const storage::LoggedRun& log)
{
    if (log.startText.isEmpty())
        return log.start.isValid() && facts.start.toSecsSinceEpoch() == log.start.toSecsSinceEpoch();
    if (!facts.locale.isEmpty())
        return storage::DateText(facts.start, QLocale(facts.locale)) == log.startText;
    return log.start.isValid() && log.start.date() == facts.start.date()
           && log.start.time().addMSecs(-log.start.time().msec()) == facts.start.time();
}

}  // namespace

qsizetype LoggedRunIndex(const QList<RunRecord>& runs, const storage::LoggedRun& log)
{
    for (qsizetype i = runs.size() - 1; i >= 0; --i) {
        if (StartedAsLogged(runs[i].facts, log))
            return i;
    }
    return -1;
}

namespace {

bool SameNames(const QString (&a)[3], const QString (&b)[3])
{
    for (int i = 0; i < 3; ++i) {
        if (!a[i].isEmpty() && !b[i].isEmpty() && a[i] != b[i])
            return false;
    }
    return true;
}

}  // namespace

bool SameBattery(const RunFacts& run, const power::BatteryDetails& now)
{
    return SameNames({run.batteryManufacturer, run.batteryModels, run.batterySerial},
                     {now.manufacturer, now.model, now.serial});
}

bool SameBattery(const RunFacts& run, const RunFacts& later)
{
    return SameNames({run.batteryManufacturer, run.batteryModels, run.batterySerial},
                     {later.batteryManufacturer, later.batteryModels, later.batterySerial});
}

RunSummary Summarise(const RunRecord& run)
{
    return {run.facts.start, double(LoggedMinutes(run)), GaugeAtEnd(run.samples), HealthPercent(run.facts)};
}

}  // namespace report
