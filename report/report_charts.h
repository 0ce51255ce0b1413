// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QList>
#include <QPalette>
#include <QWidget>

#include "report/run_record_format.h"

namespace report {

// The charts of one run: the gauge against what it should have shown, and
// under it on the same time axis the power draw (and the temperature) where
// they were reported; on a second tab the voltage with the rests shaded,
// greyed when the record has no voltage. Coloured after the palette, so that
// they sit in the window.
QWidget* RunCharts(const RunRecord& run, const QPalette& palette, const QFont& font);
// The least width that shows their titles whole.
int RunChartsMinimumWidth(const QFont& font);


}  // namespace report
