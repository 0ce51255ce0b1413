// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/verdict.h"

#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "power/system_power_status.h"
#include "report/report_math.h"
#include "storage/date_text.h"
#include "storage/lock_lines.h"

namespace report {
namespace {

// Gauges report energy in steps; a rise within one is rounding, not charge.
constexpr double kEnergyNoiseWh = 0.1;
// How far the gauge may end from 0 % and stray from the truth in a calibrated run.
constexpr int kCalibratedAtEnd = 3;
constexpr int kCalibratedError = 5;
constexpr double kRelearnedChange = 5.0;
constexpr double kNoChange = 1.0;
// A sample counts for an estimate's percent only this close to it.
constexpr int kNearestPercent = 5;

bool PlausibleDraw(const std::optional<double>& watts)
{
    return watts && std::isfinite(*watts) && *watts >= 0 && *watts <= kMostPlausibleDrawW;
}

QString Signed(double value, int decimals)
{
    const QString number = QLocale().toString(std::abs(value), 'f', decimals);
    return (value > 0 ? QStringLiteral("+") : value < 0 ? QStringLiteral("-") : QString()) + number;
}

}  // namespace

std::optional<QList<double>> EnergyStillDeliveredWh(const QList<RunSample>& samples)
{
    if (samples.size() < 2)
        return std::nullopt;
    // A gauge may correct its energy upwards during the run: that spoils only
    // the energy reading as a yardstick, not the draw.
    bool allPower = true, energyUsable = true;
    for (qsizetype i = 0; i < samples.size(); ++i) {
        const RunSample& sample = samples[i];
        if (i > 0 && sample.awakeSeconds < samples[i - 1].awakeSeconds)
            return std::nullopt;
        if (sample.powerW && !PlausibleDraw(sample.powerW))
            return std::nullopt;
        allPower = allPower && sample.powerW;
        energyUsable = energyUsable && sample.energyWh && std::isfinite(*sample.energyWh) && *sample.energyWh >= 0
                       && (i == 0 || *sample.energyWh <= *samples[i - 1].energyWh + kEnergyNoiseWh);
    }
    QList<double> left(samples.size(), 0.0);
    const qsizetype last = samples.size() - 1;
    if (allPower) {
        for (qsizetype i = last - 1; i >= 0; --i) {
            const double hours = double(samples[i + 1].awakeSeconds - samples[i].awakeSeconds) / 3600.0;
            left[i] = left[i + 1] + (*samples[i].powerW + *samples[i + 1].powerW) / 2 * hours;
        }
    } else if (energyUsable) {
        for (qsizetype i = last - 1; i >= 0; --i)
            left[i] = std::max(left[i + 1], *samples[i].energyWh - *samples[last].energyWh);
    } else {
        return std::nullopt;
    }
    if (left.first() <= 0)
        return std::nullopt;
    return left;
}

QList<QPointF> TrueCurve(const RunRecord& run)
{
    if (!RanOut(run.ending) || run.samples.isEmpty() || run.samples.first().percent == power::kUnknownByte)
        return {};
    const auto left = EnergyStillDeliveredWh(run.samples);
    if (!left)
        return {};
    const double first = run.samples.first().percent;
    QList<QPointF> curve;
    for (qsizetype i = 0; i < run.samples.size(); ++i)
        curve.append({double(run.samples[i].awakeSeconds) / 60.0, first * ((*left)[i] / left->first())});
    return curve;
}

std::optional<GaugeError> LargestGaugeError(const RunRecord& run)
{
    const QList<QPointF> truth = TrueCurve(run);
    std::optional<double> largest;
    double minutes = 0;
    for (qsizetype i = 0; i < truth.size(); ++i) {
        if (run.samples[i].percent == power::kUnknownByte)
            continue;
        const double error = run.samples[i].percent - truth[i].y();
        if (!largest || std::abs(error) > std::abs(*largest)) {
            largest = error;
            minutes = truth[i].x();
        }
    }
    if (!largest)
        return std::nullopt;
    return GaugeError{int(std::lround(*largest)), minutes, *largest};
}

QString GaugeErrorText(const std::optional<GaugeError>& error)
{
    if (!error)
        return QStringLiteral("unknown");
    const QString number = DecidingText(error->exact, kCalibratedError, true);
    const QString points = number + (number == QLatin1String("+1") || number == QLatin1String("-1")
                                         ? QStringLiteral(" point")
                                         : QStringLiteral(" points"));
    return points + QStringLiteral(", %1 into the run").arg(DurationText(std::llround(error->minutes * 60)));
}

QList<EstimateCheck> EstimateChecks(const RunRecord& run)
{
    if (!RanOut(run.ending) || run.samples.isEmpty())
        return {};
    QList<EstimateCheck> checks;
    for (const int percent : {75, 50, 25}) {
        EstimateCheck check{.percent = percent};
        const RunSample* nearest = nullptr;
        for (const RunSample& sample : run.samples) {
            if (sample.percent != power::kUnknownByte
                && (!nearest || std::abs(sample.percent - percent) < std::abs(nearest->percent - percent)))
                nearest = &sample;
        }
        if (nearest && std::abs(nearest->percent - percent) <= kNearestPercent) {
            check.shownPercent = nearest->percent;
            check.estimatedSeconds = nearest->remainingSeconds;
            check.remainedSeconds = run.samples.last().awakeSeconds - nearest->awakeSeconds;
        }
        checks.append(check);
    }
    return checks;
}

QString EstimateText(const EstimateCheck& check)
{
    const QString percent = QStringLiteral("%1 %: ").arg(check.percent);
    if (!check.shownPercent)
        return percent + QStringLiteral("the gauge never showed it");
    const QString estimated = check.estimatedSeconds < 0 ? QStringLiteral("no estimate")
                                                         : QStringLiteral("estimated ") + DurationText(check.estimatedSeconds);
    return percent + estimated + QStringLiteral(", remained ") + DurationText(check.remainedSeconds);
}

QString DurationText(qint64 seconds)
{
    const qint64 minutes = (std::max<qint64>(seconds, 0) + 30) / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

std::optional<double> CapacityChangePercent(std::optional<double> beforeWh, std::optional<double> afterWh)
{
    if (!beforeWh || !afterWh || *beforeWh <= 0 || !std::isfinite(*afterWh) || *afterWh < 0)
        return std::nullopt;
    return (*afterWh - *beforeWh) / *beforeWh * 100.0;
}

QString CapacityChangeText(std::optional<double> beforeWh, std::optional<double> afterWh)
{
    const auto change = CapacityChangePercent(beforeWh, afterWh);
    if (!change)
        return QStringLiteral("unknown");
    const QLocale locale;
    const QString span = QStringLiteral("from %1 to %2 Wh").arg(locale.toString(*beforeWh, 'f', 1),
                                                                 locale.toString(*afterWh, 'f', 1));
    if (std::abs(*change) <= kNoChange)
        return QStringLiteral("no change (") + span + QLatin1Char(')');
    return QStringLiteral("%1 Wh (%2 %), ").arg(Signed(*afterWh - *beforeWh, 1), Signed(*change, 1)) + span;
}

QString DecidingText(double value, double limit, bool sign)
{
    const bool over = std::abs(value) > limit;
    int decimals = 0;
    double shown = std::round(value);
    while ((std::abs(shown) > limit) != over && decimals < 2) {
        ++decimals;
        const double scale = std::pow(10.0, decimals);
        shown = std::round(value * scale) / scale;
    }
    return sign ? Signed(shown, decimals) : QLocale().toString(std::abs(shown), 'f', decimals);
}

QString HealthBand(double healthPercent)
{
    if (healthPercent >= 90)
        return QStringLiteral("good");
    if (healthPercent >= 80)
        return QStringLiteral("normal wear");
    if (healthPercent >= 70)
        return QStringLiteral("worn");
    return QStringLiteral("worn: plan a replacement");
}

VerdictText Judge(const RunRecord& run, std::optional<double> fullAfterWh)
{
    const QString onlyRanOut = QStringLiteral(" Only a run that runs out shows the gauge's error at empty.");
    switch (run.ending) {
    case RunEnding::SwitchedOff:
    case RunEnding::Standby:
    case RunEnding::RanOutOnMains: break;
    case RunEnding::Running: return {Verdict::None, QStringLiteral("No verdict yet: the run is still going.")};
    case RunEnding::Replugged:
        return {Verdict::None, QStringLiteral("No verdict: the adaptor was plugged in before the battery ran out.")
                                   + onlyRanOut};
    case RunEnding::Exited:
        return {Verdict::None, QStringLiteral("No verdict: Dorvik was closed before the battery ran out.") + onlyRanOut};
    case RunEnding::Killed:
        return {Verdict::None, QStringLiteral("No verdict: Dorvik was stopped before the battery ran out.") + onlyRanOut};
    case RunEnding::Restarted:
        return {Verdict::None, QStringLiteral("No verdict: the machine was restarted before the battery ran out.")
                                   + onlyRanOut};
    case RunEnding::FirmwareStopped:
        return {Verdict::None, QStringLiteral("No verdict: the firmware stopped the discharge before the battery ran "
                                              "out.") + onlyRanOut};
    case RunEnding::NotRecorded:
        return {Verdict::None, QStringLiteral("No verdict: this record does not say how the run ended.") + onlyRanOut};
    }
    const auto gauge = GaugeAtEnd(run.samples);
    if (!gauge)
        return {Verdict::None, QStringLiteral("No verdict: the gauge's last reading is unknown.")};
    const auto error = LargestGaugeError(run);
    const auto change = CapacityChangePercent(run.facts.fullWh, fullAfterWh);
    QStringList reasons;
    if (*gauge > kCalibratedAtEnd)
        reasons.append(QStringLiteral("the gauge still showed %1 % when the battery ran out").arg(*gauge));
    if (error && std::abs(error->exact) > kCalibratedError)
        reasons.append(QStringLiteral("it was %1 points off during the run").arg(DecidingText(error->exact, kCalibratedError)));
    if (change && std::abs(*change) > kRelearnedChange)
        reasons.append(QStringLiteral("its full capacity changed by %1 %").arg(DecidingText(*change, kRelearnedChange, true)));
    if (!reasons.isEmpty())
        return {Verdict::RunAgain, QStringLiteral("Run it once more: ") + reasons.join(QStringLiteral("; "))
                                       + QStringLiteral(". Gauges correct themselves in limited steps, so one cycle "
                                                        "may not be enough.")};
    const QString strayed = error ? QStringLiteral(" and was never more than %1 points off.").arg(kCalibratedError)
                                  : QStringLiteral("; how far it strayed on the way cannot be worked out.");
    return {Verdict::Calibrated, QStringLiteral("Calibrated: the gauge ended at %1 %").arg(*gauge) + strayed};
}

std::optional<QString> LastCalibrationText(const QList<RunRecord>& runs, const QDateTime& now)
{
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        if (!RanOut(run->ending))
            continue;
        const qint64 days = run->facts.start.toLocalTime().date().daysTo(now.toLocalTime().date());
        const QString ago = days <= 0 ? QStringLiteral("today")
                            : days == 1 ? QStringLiteral("yesterday")
                                        : QStringLiteral("%1 days ago").arg(days);
        return storage::DateText(run->facts.start.toLocalTime()) + QStringLiteral(", ") + ago;
    }
    return std::nullopt;
}

QString KeptAwakeLine(const QStringList& lines)
{
    if (lines.isEmpty())
        return QStringLiteral("nothing recorded");
    using storage::LockState;
    int there = 0;
    QStringList taken, notTaken;
    for (const storage::LockLine& lock : storage::ParseLockLines(lines)) {
        // The summary "nothing was taken" names no service.
        if (lock.state == LockState::Absent || lock.state == LockState::NotNeeded || lock.state == LockState::NothingTaken)
            continue;
        ++there;
        (lock.state == LockState::Taken ? taken : notTaken).append(lock.service);
    }
    if (there == 0)
        return QStringLiteral("no service was there to ask");
    if (notTaken.isEmpty())
        return QStringLiteral("all %1 services: ").arg(there) + taken.join(QStringLiteral(", "));
    return QStringLiteral("%1 of %2 services; not kept: ").arg(taken.size()).arg(there)
           + notTaken.join(QStringLiteral(", "));
}

QList<QList<QPointF>> Unbroken(const QList<QPointF>& points)
{
    if (points.isEmpty())
        return {};
    QList<double> steps;
    for (qsizetype i = 1; i < points.size(); ++i)
        steps.append(points[i].x() - points[i - 1].x());
    std::sort(steps.begin(), steps.end());
    const double interval = steps.isEmpty() ? 0.0 : steps[steps.size() / 2];
    QList<QList<QPointF>> pieces{{points.first()}};
    for (qsizetype i = 1; i < points.size(); ++i) {
        if (interval > 0 && points[i].x() - points[i - 1].x() > 2 * interval)
            pieces.append(QList<QPointF>());
        pieces.last().append(points[i]);
    }
    return pieces;
}

}  // namespace report
