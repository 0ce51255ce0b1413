// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

#include "report/fact_line.h"
#include "report/run_record_format.h"

namespace report {

// Whether a run gave the gauge what it needs to relearn its capacity: a
// settled rest near full and near empty, enough charge passed between them,
// a fair temperature, and a discharge without charging in it.
inline constexpr double kSettledMvIn10Min = 2.4;
inline constexpr double kLeastPassedPercent = 37;
inline constexpr double kCoolestCelsius = 10, kHottestCelsius = 40;

enum class LearningTemperature { Battery, Zone };

struct LearningConditions {
    QList<FactLine> lines;  // one a condition, named for the window's tests
    QString conclusion;     // the gauge had it all, or the first thing missing
    bool emptyRestUnknown = false;  // the machine was off: the advice is repeated
    // For --json; nothing where the record does not tell.
    std::optional<qint64> fullRestMinutes{}, emptyRestMinutes{};
    std::optional<bool> fullRestSettled{}, emptyRestSettled{};
    std::optional<double> passedPercent{};
    // The battery's own, where the gauge takes its readings; nothing from a zone.
    std::optional<double> coolestCelsius{}, hottestCelsius{};
    std::optional<LearningTemperature> temperatureFrom{};
    std::optional<bool> unbroken{};
    std::optional<bool> enough{};  // only for a run that ran out, and not after a switch-off
};

LearningConditions JudgeLearning(const RunRecord& run);

// The advice the unplug path's last notice gave, repeated when the rest at
// empty is not known.
extern const QString kRestAfterSwitchOffAdvice;

// An earlier calibration of the same battery against this one.
struct SinceCalibration {
    QDate earlier;
    std::optional<int> errorThen, errorNow;  // largest errors, in points
    std::optional<double> fullWhThen, fullWhNow;  // each at its run's start
};
// "Since the calibration of 3 Dec: largest error 9 → 2 points, full capacity 90.0 → 86.2 Wh"
QString SinceText(const SinceCalibration& since, const QDate& thisRun);

}  // namespace report
