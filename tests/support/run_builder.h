// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <optional>

#include "report/run_record.h"

namespace testsupport {

// One sample of a made-up run: awake seconds since the start and the gauge,
// with what the battery told beside it.
struct Step {
    qint64 seconds;
    int percent;
    std::optional<double> powerW{};
    std::optional<double> energyWh{};
    qint64 remaining = -1;
};

// A discharge on battery with a sample at each step, its clock and awake
// time moving together; 60 Wh designed and 50 Wh full unless changed.
inline report::RunRecord BuildRun(const QDateTime& start, const QList<Step>& steps,
                                  report::RunEnding ending = report::RunEnding::SwitchedOff)
{
    report::RunRecord run{.facts = {.start = start, .designWh = 60.0, .fullWh = 50.0}, .ending = ending};
    for (const Step& step : steps)
        run.samples.append({.time = start.addSecs(step.seconds), .awakeSeconds = step.seconds, .acLineStatus = 0,
                            .percent = step.percent, .energyWh = step.energyWh, .powerW = step.powerW,
                            .remainingSeconds = step.remaining});
    return run;
}

}  // namespace testsupport
