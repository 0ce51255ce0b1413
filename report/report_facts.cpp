// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_facts.h"

#include <QLocale>
#include <cmath>

#include "report/report_math.h"
#include "storage/date_text.h"

namespace report {
namespace {

const QString kUnknown = QStringLiteral("unknown");

QString DurationLine(const RunRecord& run, qint64 minutes)
{
    const QString awake = QString::number(minutes) + QStringLiteral(" min awake");
    if (run.samples.isEmpty())
        return awake + QStringLiteral(", no sample recorded");
    return awake + QStringLiteral(", from %1 to %2").arg(WhenText(run.facts.start), WhenText(run.samples.last().time));
}

QString GaugeAtEndText(std::optional<int> gauge)
{
    if (!gauge)
        return kUnknown;
    return QString::number(*gauge) + QStringLiteral(" % still shown when the last sample was taken")
           + (*gauge > 0 ? QStringLiteral(" (the gauge's error)") : QString());
}

// The last percent is the gauge's error only when the battery ran out.
QString LastPercentText(std::optional<int> gauge)
{
    return gauge ? QString::number(*gauge) + QStringLiteral(" % at the last sample") : kUnknown;
}

QString CapacityAtStartText(const RunFacts& facts)
{
    return QStringLiteral("%1 of %2 design (health %3)")
        .arg(WhText(facts.fullWh), WhText(facts.designWh), PercentText(HealthPercent(facts)));
}

QString HealthLine(std::optional<double> health, bool latest)
{
    if (!health)
        return QStringLiteral("Health: unknown");
    return QStringLiteral("Health %1: %2 %3 of design, %4")
        .arg(latest ? QStringLiteral("now") : QStringLiteral("after it"), NumberText(*health, 0), QStringLiteral("%"),
             HealthBand(std::round(*health)));
}

RunFigures Figures(const RunRecord& run, qint64 minutes, const power::BatteryDetails& now,
                   const std::optional<GaugeError>& error)
{
    return {.start = run.facts.start,
            .ending = run.ending,
            .awakeMinutes = minutes,
            .gaugeAtEndPercent = GaugeAtEnd(run.samples),
            .largestErrorPoints = error ? std::optional<int>(error->points) : std::nullopt,
            .energyDeliveredWh = EnergyDeliveredWh(run.samples),
            .fullWhStart = run.facts.fullWh,
            .fullWhNow = now.energyFullWh,
            .designWh = run.facts.designWh,
            .healthPercent = HealthPercent(run.facts)};
}

QList<FactLine> SummaryLines(const QList<RunRecord>& runs, const RunRecord& run, const RunFigures& figures,
                             const std::optional<GaugeError>& error, std::optional<double> fullAfterWh, bool latest,
                             const QDateTime& at)
{
    QList<FactLine> lines{
        {QStringLiteral("Battery:"), run.facts.batteryModels.isEmpty() ? kUnknown : run.facts.batteryModels},
        {QStringLiteral("Run lasted:"), DurationLine(run, figures.awakeMinutes), QStringLiteral("duration")},
        {QStringLiteral("Mode:"), run.facts.fast ? QStringLiteral("fast") : QStringLiteral("slow")},
    };
    if (RanOut(run.ending)) {
        lines.append({QStringLiteral("Gauge at the end:"), GaugeAtEndText(figures.gaugeAtEndPercent),
                      QStringLiteral("gaugeAtEnd")});
        lines.append({QStringLiteral("Largest gauge error:"), GaugeErrorText(error),
                      QStringLiteral("largestError")});
    } else {
        lines.append({QStringLiteral("Last percent:"), LastPercentText(figures.gaugeAtEndPercent),
                      QStringLiteral("gaugeAtEnd")});
    }
    const QString relearned =
        CapacityChangeText(run.facts.fullWh, fullAfterWh) + (latest ? QString() : QStringLiteral(" by the next run"));
    lines += QList<FactLine>{
        {QStringLiteral("Energy delivered:"), WhText(figures.energyDeliveredWh)},
        {QStringLiteral("Full capacity at the start:"), CapacityAtStartText(run.facts)},
        {QStringLiteral("Full capacity now:"), WhText(figures.fullWhNow)},
        {QStringLiteral("Full capacity relearned:"), relearned, QStringLiteral("relearned")},
        {QStringLiteral("Last calibration:"),
         LastCalibrationText(runs, at).value_or(QStringLiteral("no run has run out yet"))},
        {QStringLiteral("Kept awake:"), KeptAwakeLine(run.facts.keptAwake), QStringLiteral("keptAwake")},
    };
    return lines;
}

}  // namespace

ReportFacts BuildReportFacts(const QList<RunRecord>& runs, qsizetype index, qint64 minutes,
                             const power::BatteryDetails& now, const QDateTime& at)
{
    const RunRecord& run = runs[index];
    const bool latest = index == runs.size() - 1;
    const auto fullAfterWh = latest ? now.energyFullWh : runs[index + 1].facts.fullWh;
    const auto design = latest && now.energyDesignWh ? now.energyDesignWh : run.facts.designWh;
    const auto error = LargestGaugeError(run);  // nothing unless the run ran out
    ReportFacts facts{.ending = EndingText(run.ending),
                      .verdict = Judge(run, fullAfterWh).sentence,
                      .health = HealthLine(HealthPercent(fullAfterWh, design), latest),
                      .lines = {},
                      .estimates = EstimateChecks(run),
                      .keptAwake = run.facts.keptAwake,
                      .figures = Figures(run, minutes, now, error)};
    facts.lines = SummaryLines(runs, run, facts.figures, error, fullAfterWh, latest, at);
    return facts;
}

QStringList FactsLines(const ReportFacts& facts)
{
    QStringList lines{facts.ending, facts.verdict, facts.health, QString()};
    for (const FactLine& line : facts.lines)
        lines.append(line.label + QLatin1Char(' ') + line.value);
    if (!facts.estimates.isEmpty()) {
        lines.append(QStringLiteral("Time left, the system's estimate against what remained:"));
        for (const EstimateCheck& check : facts.estimates)
            lines.append(QStringLiteral("  ") + EstimateText(check));
    }
    if (!facts.keptAwake.isEmpty())
        lines.append(QStringLiteral("Kept awake in full:\n  ") + facts.keptAwake.join(QStringLiteral("\n  ")));
    return lines;
}

QString NumberText(double value, int decimals)
{
    return QLocale().toString(value, 'f', decimals);
}

QString PercentText(const std::optional<double>& value)
{
    return value ? NumberText(*value, 0) + QStringLiteral(" %") : kUnknown;
}

QString WhText(const std::optional<double>& value)
{
    return value ? NumberText(*value, 1) + QStringLiteral(" Wh") : kUnknown;
}

QString WhenText(const QDateTime& time)
{
    return storage::DateText(time.toLocalTime());
}

}  // namespace report
