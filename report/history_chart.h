// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QList>
#include <QPalette>
#include <QWidget>

#include "report/run_record_format.h"

namespace report {

// Minutes lasted and health, one point a run, over the runs' dates; for two
// runs or more.
QWidget* HistoryChart(const QList<RunRecord>& runs, const QPalette& palette, const QFont& font);

}  // namespace report
