#include "demo/state_text.h"

#include <QStringList>

namespace demo {
namespace {

QString AcMeaning(std::uint8_t ac)
{
    switch (ac) {
    case power::kAcOffline: return QStringLiteral("offline");
    case power::kAcOnline: return QStringLiteral("online");
    case power::kUnknownByte: return QStringLiteral("unknown");
    default: return QStringLiteral("?");
    }
}

QString FlagMeaning(std::uint8_t flag)
{
    if (flag == power::kUnknownByte)
        return QStringLiteral("unknown");
    QStringList bits;
    const std::pair<std::uint8_t, const char*> names[] = {
        {power::kFlagHigh, "high"},         {power::kFlagLow, "low"},
        {power::kFlagCritical, "critical"}, {power::kFlagCharging, "charging"},
        {power::kFlagNoSystemBattery, "no battery"},
    };
    for (const auto& [bit, name] : names)
        if (flag & bit)
            bits << QString::fromLatin1(name);
    return bits.isEmpty() ? QStringLiteral("medium") : bits.join(QStringLiteral(", "));
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
    lines << Line("ACLineStatus", status.ACLineStatus, AcMeaning(status.ACLineStatus))
          << Line("BatteryFlag", status.BatteryFlag, FlagMeaning(status.BatteryFlag))
          << Line("BatteryLifePercent", status.BatteryLifePercent, PercentMeaning(status.BatteryLifePercent))
          << Line("BatteryLifeTime", status.BatteryLifeTime, TimeMeaning(status.BatteryLifeTime))
          << Line("BatteryFullLifeTime", status.BatteryFullLifeTime, TimeMeaning(status.BatteryFullLifeTime));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace demo
