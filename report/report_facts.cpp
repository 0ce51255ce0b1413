// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report_facts.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

#include "report/next_calibration.h"
#include "report/report_math.h"
#include "storage/date_text.h"

namespace report {
namespace {

const QString kUnknown = QStringLiteral("unknown");

const QString kAnotherBattery = QStringLiteral("another battery is fitted");

QString DurationLine(const RunFigures& figures)
{
    const QString awake = QString::number(figures.awakeMinutes) + QStringLiteral(" min awake");
    if (!figures.finished.isValid())
        return awake + QStringLiteral(", no sample recorded");
    return awake + QStringLiteral(", from %1 to %2").arg(WhenText(figures.start), WhenText(figures.finished));
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

QString HealthLine(std::optional<double> health, bool latest, bool fitted)
{
    if (!fitted)
        return QStringLiteral("Health now: unknown, ") + kAnotherBattery;
    if (!health)
        return QStringLiteral("Health: unknown");
    return QStringLiteral("Health %1: %2 %3 of design, %4")
        .arg(latest ? QStringLiteral("now") : QStringLiteral("after it"), NumberText(*health, 0), QStringLiteral("%"),
             HealthBand(std::round(*health)));
}

// The switches of mode the record notes; in records older than such notes,
// the changes of the samples' mode.
QList<ModeSwitch> ModeSwitches(const RunRecord& run)
{
    if (!run.modeSwitches.isEmpty())
        return run.modeSwitches;
    QList<ModeSwitch> switches;
    bool fast = run.facts.fast;
    for (const RunSample& sample : run.samples) {
        if (sample.fast != fast)
            switches.append({sample.awakeSeconds, fast = sample.fast});
    }
    return switches;
}

// "fast 40 min, then slow 21 min": each stretch of a mode, to the run's end.
QString ModesText(const RunRecord& run, qint64 minutes)
{
    const auto name = [](bool fast) { return fast ? QStringLiteral("fast") : QStringLiteral("slow"); };
    const QList<ModeSwitch> switches = ModeSwitches(run);
    if (switches.isEmpty())
        return name(run.facts.fast);
    const qint64 end = std::max(minutes * 60, run.samples.isEmpty() ? 0 : run.samples.last().awakeSeconds);
    QStringList stretches;
    ModeSwitch from{0, run.facts.fast};
    for (const ModeSwitch& next : switches + QList<ModeSwitch>{{end, !switches.last().fast}}) {
        if (next.fast == from.fast)
            continue;
        const qint64 seconds = std::max<qint64>(0, std::min(next.awakeSeconds, end) - from.awakeSeconds);
        stretches.append(name(from.fast) + QStringLiteral(" %1 min").arg(std::llround(seconds / 60.0)));
        from = next;
    }
    return stretches.join(QStringLiteral(", then "));
}

RunFigures Figures(const RunRecord& run, const power::BatteryDetails& now, const std::optional<GaugeError>& error)
{
    const RunSpan span = LoggedSpan(run);
    const auto last = GaugeAtEnd(run.samples);
    return {.start = span.start,
            .ending = run.ending,
            .finished = span.finished,
            .awakeMinutes = span.minutes,
            .lastPercent = last,
            .gaugeAtEndPercent = RanOut(run.ending) ? last : std::nullopt,
            .largestErrorPoints = error ? std::optional<int>(error->points) : std::nullopt,
            .energyDeliveredWh = EnergyDeliveredWh(run.samples),
            .fullWhStart = run.facts.fullWh,
            .fullWhNow = SameBattery(run.facts, now) ? now.energyFullWh : std::nullopt,
            .designWh = run.facts.designWh};
}

// What the capacity after the run is compared with: the next run on the same
// battery, or the battery fitted now when it is that one.
struct After {
    std::optional<double> fullWh;
    std::optional<double> designWh;
    bool latest = true;     // today's figures, not a later run's
    bool fittedNow = true;  // the run's battery is the one fitted today
    bool recharged = false;  // from the run's own recharge on mains
    QString rechargeStopped{};  // where that recharge stopped short of full
};

// A run on mains recorded its own recharge: its full capacity at the end of
// it is the one relearned from this very cycle, if it reached full.
std::optional<double> RechargedFullWh(const RunRecord& run)
{
    for (auto sample = run.recharge.crbegin(); sample != run.recharge.crend(); ++sample) {
        if (sample->fullWh)
            return sample->fullWh;
    }
    return std::nullopt;
}

After AfterRun(const QList<RunRecord>& runs, qsizetype index, const power::BatteryDetails& now)
{
    const RunFacts& facts = runs[index].facts;
    const bool fittedNow = SameBattery(facts, now);
    if (!runs[index].recharge.isEmpty()) {
        const RunSample& last = runs[index].recharge.last();
        if (last.percent != 100 && last.batteryStatus != QLatin1String("Full")) {
            const QString at = last.percent < 100 ? QString::number(last.percent) + QStringLiteral(" %")
                                                  : QStringLiteral("an unknown percent");
            return {std::nullopt, facts.designWh, false, fittedNow, true, at};
        }
    }
    if (const auto recharged = RechargedFullWh(runs[index]))
        return {recharged, facts.designWh, false, fittedNow, true};
    for (qsizetype later = index + 1; later < runs.size(); ++later) {
        if (SameBattery(facts, runs[later].facts))
            return {runs[later].facts.fullWh, facts.designWh, false, fittedNow};
    }
    if (!fittedNow)
        return {std::nullopt, facts.designWh, true, false};
    return {now.energyFullWh, now.energyDesignWh ? now.energyDesignWh : facts.designWh, true, true};
}

// Counted from this run, with the cycles of the battery fitted now when it is the run's.
NextCalibration NextAfter(const RunRecord& run, const power::BatteryDetails& now, const QDateTime& at)
{
    const auto cyclesNow = SameBattery(run.facts, now) ? now.cycleCount : std::nullopt;
    return NextCalibrationAfter({run.facts.start, run.facts.cycleCount}, cyclesNow, at);
}

QString NextText(const RunRecord& run, const power::BatteryDetails& now, const QDateTime& at)
{
    return NextCalibrationText(NextAfter(run, now, at), {run.facts.start, run.facts.cycleCount});
}

QList<FactLine> SummaryLines(const QList<RunRecord>& runs, const RunRecord& run, const RunFigures& figures,
                             const std::optional<GaugeError>& error, const After& after,
                             const power::BatteryDetails& now, const QDateTime& at)
{
    QList<FactLine> lines{
        {QStringLiteral("Battery:"), run.facts.batteryModels.isEmpty() ? kUnknown : run.facts.batteryModels},
        {QStringLiteral("Run lasted:"), DurationLine(figures), QStringLiteral("duration")},
        {QStringLiteral("Mode:"), ModesText(run, figures.awakeMinutes)},
    };
    qint64 heldBack = 0;  // the samples count it up; older records have none
    for (const RunSample& sample : run.samples)
        heldBack = std::max(heldBack, sample.heldBackSeconds);
    if (heldBack > 0)
        lines.append({QStringLiteral("Fast discharge held back"),
                      QStringLiteral("for %1 min").arg(std::max<qint64>(1, std::llround(heldBack / 60.0))),
                      QStringLiteral("heldBack")});
    if (RanOut(run.ending)) {
        lines.append({QStringLiteral("Gauge at the end:"), GaugeAtEndText(figures.gaugeAtEndPercent),
                      QStringLiteral("gaugeAtEnd")});
        lines.append({QStringLiteral("Largest gauge error:"), GaugeErrorText(error),
                      QStringLiteral("largestError")});
    } else {
        lines.append({QStringLiteral("Last percent:"), LastPercentText(figures.lastPercent),
                      QStringLiteral("gaugeAtEnd")});
    }
    const bool unknownAfter = after.latest && !after.fittedNow;
    const QString relearned = unknownAfter ? QStringLiteral("unknown, ") + kAnotherBattery
                              : CapacityChangeText(run.facts.fullWh, after.fullWh)
                                    + (after.recharged ? QStringLiteral(" by the recharge after the run")
                                       : after.latest  ? QString()
                                                       : QStringLiteral(" by the next run"));
    lines += QList<FactLine>{
        {QStringLiteral("Energy delivered:"), WhText(figures.energyDeliveredWh)},
        {QStringLiteral("Full capacity at the start:"), CapacityAtStartText(run.facts)},
        {QStringLiteral("Full capacity now:"), after.fittedNow ? WhText(figures.fullWhNow) : kAnotherBattery},
        after.rechargeStopped.isEmpty()
            ? FactLine{QStringLiteral("Full capacity relearned:"), relearned, QStringLiteral("relearned")}
            : FactLine{QStringLiteral("No relearned capacity:"),
                       QStringLiteral("the recharge stopped at ") + after.rechargeStopped, QStringLiteral("relearned")},
        {QStringLiteral("Last calibration:"),
         LastCalibrationText(runs, at).value_or(QStringLiteral("no run has run out yet"))},
        {QStringLiteral("Kept awake:"), KeptAwakeLine(run.facts.keptAwake), QStringLiteral("keptAwake")},
    };
    if (figures.nextCalibration)  // beside the last calibration
        lines.insert(lines.size() - 1, {QStringLiteral("Next calibration:"), NextText(run, now, at),
                                        QStringLiteral("nextCalibration")});
    return lines;
}

// Against the newest earlier run that ran out on the same battery: the
// errors each found, with the full capacity the gauge believed as each began.
std::optional<SinceCalibration> Since(const QList<RunRecord>& runs, qsizetype index,
                                      const std::optional<GaugeError>& error)
{
    const auto points = [](const std::optional<GaugeError>& e) { return e ? std::optional<int>(e->points) : std::nullopt; };
    if (!RanOut(runs[index].ending))
        return std::nullopt;
    for (qsizetype earlier = index - 1; earlier >= 0; --earlier) {
        const RunRecord& then = runs[earlier];
        if (RanOut(then.ending) && SameBattery(then.facts, runs[index].facts))
            return SinceCalibration{.earlier = then.facts.start.toLocalTime().date(),
                                    .errorThen = points(LargestGaugeError(then)),
                                    .errorNow = points(error),
                                    .fullWhThen = then.facts.fullWh,
                                    .fullWhNow = runs[index].facts.fullWh};
    }
    return std::nullopt;
}

}  // namespace

ReportFacts BuildReportFacts(const QList<RunRecord>& runs, qsizetype index, const power::BatteryDetails& now,
                             const QDateTime& at)
{
    const RunRecord& run = runs[index];
    const After after = AfterRun(runs, index, now);
    const auto error = LargestGaugeError(run);  // nothing unless the run ran out
    const bool known = !after.latest || after.fittedNow;
    const auto health = known ? HealthPercent(after.fullWh, after.designWh) : std::nullopt;
    ReportFacts facts{.ending = EndingText(run.ending, GaugeAtEnd(run.samples), run.stop),
                      .verdict = Judge(run, after.fullWh).sentence,
                      .health = HealthLine(health, after.latest, known),
                      .lines = {},
                      .estimates = EstimateChecks(run),
                      .keptAwake = run.facts.keptAwake,
                      .figures = Figures(run, now, error),
                      .learning = JudgeLearning(run),
                      .since = Since(runs, index, error)};
    facts.figures.healthPercent = health;  // the one figure the text and --json give
    // Counted from the newest run that ran out only: a later one moved the date on.
    const auto later = runs.begin() + std::min<qsizetype>(index + 1, runs.size());
    if (RanOut(run.ending) && std::none_of(later, runs.end(), [](const RunRecord& r) { return RanOut(r.ending); }))
        facts.figures.nextCalibration = NextAfter(run, now, at).date;
    facts.lines = SummaryLines(runs, run, facts.figures, error, after, now, at);
    return facts;
}

QStringList LearningLines(const ReportFacts& facts)
{
    QStringList lines{QStringLiteral("Learning conditions:")};
    for (const FactLine& line : facts.learning.lines)
        lines.append(QStringLiteral("  ") + line.label + QLatin1Char(' ') + line.value);
    lines.append(QStringLiteral("  ") + facts.learning.conclusion);
    if (facts.learning.emptyRestUnknown)
        lines.append(QStringLiteral("  ") + kRestAfterSwitchOffAdvice);
    if (facts.since)
        lines.append(QStringLiteral("  ") + SinceText(*facts.since, facts.figures.start.toLocalTime().date()));
    return lines;
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
    lines += LearningLines(facts);
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
