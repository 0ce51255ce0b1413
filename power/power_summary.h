// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

#include "power/system_power_status.h"

namespace power {

// The power summary's texts for the record's AC line status ("AC", "DC",
// empty for unknown, "?" for anything else) and for its battery flag
// ("HIGH", "LOW", "CRITICAL", else "UNKNOWN").
QString AcText(std::uint8_t acLineStatus);
QString LevelText(std::uint8_t batteryFlag);

// The five values of the power summary, from one power status record.
struct PowerSummary {
    QString acText = QStringLiteral("?");
    QString levelText = QStringLiteral("?");
    qint16 chargePercent = 0;
    qint16 fullLifeMinutes = 0;
    qint16 remainingMinutes = 0;
};
PowerSummary SummaryOf(const SYSTEM_POWER_STATUS& status);

// The battery status box's lines; unknown and zero values leave theirs out.
QStringList StatusBoxLines(const PowerSummary& summary);

}  // namespace power
