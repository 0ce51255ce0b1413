// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace report {

// A gauge drifts again with time and use: one calibration about every three
// months, or sooner after kCalibrationCycles charge cycles where the battery
// counts them.
inline constexpr int kCalibrationMonths = 3;
inline constexpr int kCalibrationCycles = 30;

// The calibration the next one counts from: the newest run that ran out.
struct LastCalibration {
    QDateTime start;
    std::optional<int> cycleCount;  // as the run found it
};

struct NextCalibration {
    QDate date;       // by the calendar, whatever the cycles
    int daysSince = 0;
    std::optional<int> cyclesSince;  // where both counts are known
    bool due = false;  // the date has come, or the cycles have
};
// Counted in calendar days of the local time zone, so that a change to or
// from summer time moves nothing.
NextCalibration NextCalibrationAfter(const LastCalibration& last, std::optional<int> cyclesNow, const QDateTime& now);

// "Battery calibration due: the last one was 94 days ago (41 cycles since)."
QString ReminderText(const NextCalibration& next);

// The report's: "by 8 Mar 2027, or sooner after 30 more charge cycles (at
// cycle 142)", and once due, how long and how many cycles since.
QString NextCalibrationText(const NextCalibration& next, const LastCalibration& last);

}  // namespace report
