// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/state_text.h"

#include <QStringList>

#include "power/power_summary.h"

namespace demo {
namespace {

// The texts the status box shows, with the bits it leaves out.
QString FlagMeaning(std::uint8_t flag)
{
    QString meaning = power::LevelText(flag);
    if (flag != power::kUnknownByte && (flag & power::kFlagCharging))
        meaning += QStringLiteral(", charging");
    if (flag != power::kUnknownByte && (flag & power::kFlagNoSystemBattery))
        meaning += QStringLiteral(", no battery");
    return meaning;
}

QString PercentMeaning(std::uint8_t percent)
{
    return percent == power::kUnknownByte ? QStringLiteral("unknown") : QStringLiteral("%1 %").arg(percent);
}

QString TimeMeaning(std::int32_t seconds)
{
    if (seconds == power::kUnknownTime)
        return QStringLiteral("unknown");
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds / 60 % 60);
}

QString Line(const char* field, qint64 value, const QString& meaning)
{
    return QStringLiteral("%1 = %2 (%3)").arg(QString::fromLatin1(field)).arg(value).arg(meaning);
}

}  // namespace

QString SimulatedStateText(int queryResult, const SYSTEM_POWER_STATUS& status)
{
    QStringList lines;
    if (queryResult == 0)
        lines << QStringLiteral("The query fails (returns 0).");
    lines << Line("ACLineStatus", status.ACLineStatus, power::AcText(status.ACLineStatus))
          << Line("BatteryFlag", status.BatteryFlag, FlagMeaning(status.BatteryFlag))
          << Line("BatteryLifePercent", status.BatteryLifePercent, PercentMeaning(status.BatteryLifePercent))
          << Line("BatteryLifeTime", status.BatteryLifeTime, TimeMeaning(status.BatteryLifeTime))
          << Line("BatteryFullLifeTime", status.BatteryFullLifeTime, TimeMeaning(status.BatteryFullLifeTime));
    return lines.join(QLatin1Char('\n'));
}

QString SimulatedBatteryText(const QString& chargeBehaviour, const power::BatteryDetails& details,
                             const power::Temperatures& temperatures)
{
    QStringList figures;
    const auto add = [&figures](std::optional<double> value, int decimals, const char* unit) {
        if (value)
            figures << QString::number(*value, 'f', decimals) + QString::fromUtf8(unit);
    };
    add(details.powerW, 1, " W");
    add(details.voltageV, 2, " V");
    add(temperatures.batteryCelsius, 1, " °C");
    const QString status = details.status.isEmpty() ? QStringLiteral("unknown") : details.status;
    return QStringLiteral("charge_behaviour = %1\nstatus = %2").arg(chargeBehaviour, status)
           + (figures.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(figures.join(QStringLiteral(", "))));
}

}  // namespace demo
