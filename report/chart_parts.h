// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPalette>
#include <QPointF>
#include <QString>

class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

namespace report {

// What the report's charts are built from: the window's palette and font
// followed, the same lines and axes in each.

struct LineStyle {
    QColor light, dark;
    Qt::PenStyle style = Qt::SolidLine;
};
inline const LineStyle kGaugeLine{QColor(0x1f, 0x5f, 0xbf), QColor(0x6f, 0xb0, 0xff)};
inline const LineStyle kTruthLine{QColor(0xc0, 0x60, 0x00), QColor(0xff, 0xb3, 0x47), Qt::DashLine};
inline const LineStyle kStraightLine{QColor(0x70, 0x70, 0x70), QColor(0xb0, 0xb0, 0xb0), Qt::DotLine};
inline const LineStyle kPowerLine{QColor(0x2e, 0x8b, 0x3e), QColor(0x7c, 0xd6, 0x8a)};
inline const LineStyle kHeatLine{QColor(0xb0, 0x20, 0x30), QColor(0xff, 0x70, 0x70), Qt::DashLine};
inline const LineStyle kVoltageLine{QColor(0x6a, 0x3d, 0x9a), QColor(0xc0, 0x9c, 0xf0)};

bool Dark(const QPalette& palette);
// A chart with the report's margins; the palette is kept for AddLine.
QChart* NewChart(const QPalette& palette);
// After the axes are added, before the lines, which the theme would recolour.
void FollowPalette(QChart* chart, const QPalette& palette, const QFont& font);
void Style(QLineSeries* series, const LineStyle& line, bool dark);
QValueAxis* Axis(const QString& title, double top);
// From `from` (the start, unless rests came before it) to the run's length,
// with ticks at round minutes from 0.
QValueAxis* TimeAxis(double minutes, double from = 0, const QString& title = QStringLiteral("Awake time (min)"));
// A line broken where samples are missing: one series per stretch, only the
// first of them in the legend.
QList<QLineSeries*> AddLine(QChart* chart, const QString& name, const QList<QPointF>& points, QValueAxis* x,
                            QValueAxis* y, const LineStyle& style);
QChartView* View(QChart* chart, int minimumHeight);

}  // namespace report
