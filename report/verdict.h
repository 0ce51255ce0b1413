// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <optional>

#include "report/run_record.h"

namespace report {

// Whether the gauge told the truth over a run, and whether it does now.
// Readings no battery gives (a negative draw, one over this, energy that
// rises while discharging) make a figure unknown rather than wild.
inline constexpr double kMostPlausibleDrawW = 300.0;

// The energy, in Wh, the battery still delivered after each sample: the
// draw integrated over awake time (trapezoids) when every sample knows it,
// otherwise the fall of the energy reading when every sample knows it and
// it never rises. Nothing when neither holds, when a draw is absurd or when
// nothing was delivered at all.
std::optional<QList<double>> EnergyStillDeliveredWh(const QList<RunSample>& samples);

// What the gauge should have shown at each sample, against awake minutes:
// its first percent scaled by the energy still to come. Only for a run that
// ran out; empty when that cannot be worked out.
QList<QPointF> TrueCurve(const RunRecord& run);

// The gauge's error of largest size, gauge minus truth in points.
struct GaugeError {
    int points = 0;      // rounded
    double minutes = 0;  // awake minutes into the run
    double exact = 0;    // what the rule on it judges
};
std::optional<GaugeError> LargestGaugeError(const RunRecord& run);
QString GaugeErrorText(const std::optional<GaugeError>& error);  // "+20 points, 1 min into the run"
QString GaugePointsText(const GaugeError& error);  // "+20 points"

// The system's remaining-time estimate against what remained of awake time,
// at the sample nearest a gauge percent. Only for a run that ran out.
struct EstimateCheck {
    int percent = 0;                    // the percent asked for
    std::optional<int> shownPercent{};  // the sample's; nothing when none came within 5 points
    qint64 estimatedSeconds = -1;       // -1 when the system gave none
    qint64 remainedSeconds = 0;
};
QList<EstimateCheck> EstimateChecks(const RunRecord& run);  // at 75, 50 and 25 %
QString EstimateText(const EstimateCheck& check);  // "50 %: estimated 2 h 10 min, remained 1 h 25 min"

// "2 h 10 min", "45 min".
QString DurationText(qint64 seconds);

// Full capacity before the run against after it (now, or at the next run).
std::optional<double> CapacityChangePercent(std::optional<double> beforeWh, std::optional<double> afterWh);
QString CapacityChangeText(std::optional<double> beforeWh, std::optional<double> afterWh);

// A figure that a rule holds against `limit`, in whole numbers unless that
// would put it on the other side of the limit ("5" for 5.4 against more than
// 5): then to one decimal, or two where one is not enough. Signed when asked.
QString DecidingText(double value, double limit, bool sign = false);

// Health in bands: "good", "normal wear", "worn", "worn: plan a replacement".
QString HealthBand(double healthPercent);

enum class Verdict { Calibrated, RunAgain, None };
struct VerdictText {
    Verdict verdict = Verdict::None;
    QString sentence;
};
// The capacity after the run may be unknown; so may the health.
VerdictText Judge(const RunRecord& run, std::optional<double> fullAfterWh);

// The newest run that ran out, as "date, 3 days ago"; nothing when none did.
std::optional<QString> LastCalibrationText(const QList<RunRecord>& runs, const QDateTime& now);

// What the run kept awake, in one line: how many of the services that were
// there took their lock, and which did not. Lines read "name: state".
QString KeptAwakeLine(const QStringList& lines);

// The curve cut where neighbouring points lie more than two sample intervals
// (the median step) apart, so that a chart does not draw a line across a
// stretch without samples.
QList<QList<QPointF>> Unbroken(const QList<QPointF>& points);

}  // namespace report
