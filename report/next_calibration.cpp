// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/next_calibration.h"

#include <QLocale>
#include <algorithm>

namespace report {

NextCalibration NextCalibrationAfter(const LastCalibration& last, std::optional<int> cyclesNow, const QDateTime& now)
{
    NextCalibration next;
    const QDate ran = last.start.toLocalTime().date();
    const QDate today = now.toLocalTime().date();
    next.date = ran.addMonths(kCalibrationMonths);
    next.daysSince = int(ran.daysTo(today));
    // A new battery counts from zero again: fewer cycles than then tell nothing.
    if (last.cycleCount && cyclesNow && *cyclesNow >= *last.cycleCount)
        next.cyclesSince = *cyclesNow - *last.cycleCount;
    next.due = today >= next.date || next.cyclesSince.value_or(0) >= kCalibrationCycles;
    return next;
}

QString ReminderText(const NextCalibration& next)
{
    const int days = std::max(next.daysSince, 0);
    QString text = QStringLiteral("Battery calibration due: the last one was ");
    text += days == 0 ? QStringLiteral("today")
                      : days == 1 ? QStringLiteral("1 day ago") : QStringLiteral("%1 days ago").arg(days);
    if (next.cyclesSince)
        text += *next.cyclesSince == 1 ? QStringLiteral(" (1 cycle since)")
                                       : QStringLiteral(" (%1 cycles since)").arg(*next.cyclesSince);
    return text + QLatin1Char('.');
}

QString NextCalibrationText(const NextCalibration& next, const LastCalibration& last)
{
    if (next.due) {
        QString text = QStringLiteral("due now: %1 days since this run").arg(std::max(next.daysSince, 0));
        if (next.cyclesSince)
            text += QStringLiteral(", %1 charge cycles").arg(*next.cyclesSince);
        return text;
    }
    QString text = QStringLiteral("by ") + QLocale().toString(next.date, QStringLiteral("d MMM yyyy"));
    if (last.cycleCount)
        text += QStringLiteral(", or sooner after %1 more charge cycles (at cycle %2)")
                    .arg(kCalibrationCycles - next.cyclesSince.value_or(0))
                    .arg(*last.cycleCount + kCalibrationCycles);
    return text;
}

}  // namespace report
