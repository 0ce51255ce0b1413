#include <algorithm>
#include <limits>

#include "app/frmMain.h"
#include "power/power_summary.h"

QString power::AcText(std::uint8_t acLineStatus)
{
    switch (acLineStatus) {
    case power::kAcOnline: return QStringLiteral("AC");
    case power::kAcOffline: return QStringLiteral("DC");
    case power::kUnknownByte: return QString();
    default: return QStringLiteral("?");
    }
}

QString power::LevelText(std::uint8_t batteryFlag)
{
    switch (batteryFlag & (power::kFlagHigh | power::kFlagLow | power::kFlagCritical)) {
    case power::kFlagHigh: return QStringLiteral("HIGH");
    case power::kFlagLow: return QStringLiteral("LOW");
    case power::kFlagCritical: return QStringLiteral("CRITICAL");
    default: return QStringLiteral("UNKNOWN");
    }
}

namespace {

// Whole minutes, truncated toward zero. A time too long for 16 bits is held
// at the nearest value that fits rather than wrapped into a wrong one.
qint16 MinutesOf(std::int32_t seconds)
{
    if (seconds == power::kUnknownTime)
        return 0;
    const std::int32_t minutes = seconds / 60;
    return static_cast<qint16>(std::clamp<std::int32_t>(minutes, std::numeric_limits<qint16>::min(),
                                                        std::numeric_limits<qint16>::max()));
}

}  // namespace

void frmMain::GetBatteryInfo(QString& acText, QString& levelText, qint16& chargePercent,
                             qint16& fullLifeMinutes, qint16& remainingMinutes)
{
    acText = QStringLiteral("?");
    levelText = QStringLiteral("?");
    SYSTEM_POWER_STATUS status{};
    if (GetSystemPowerStatus(status) == 0) {
        platform_.MsgBox(QStringLiteral("Battery information couldn't be obtained!"),
                         platform::vbOKOnly + platform::vbCritical, QStringLiteral("Error"));
        return;
    }
    acText = power::AcText(status.ACLineStatus);
    levelText = power::LevelText(status.BatteryFlag);
    chargePercent = status.BatteryLifePercent;
    fullLifeMinutes = MinutesOf(status.BatteryFullLifeTime);
    remainingMinutes = MinutesOf(status.BatteryLifeTime);
}

void frmMain::cmdGP_Click()
{
    // The numbers start at 0: a failed query leaves them as they are.
    QString acText;
    QString levelText;
    qint16 chargePercent = 0;
    qint16 fullLifeMinutes = 0;
    qint16 remainingMinutes = 0;
    GetBatteryInfo(acText, levelText, chargePercent, fullLifeMinutes, remainingMinutes);

    QStringList lines{QStringLiteral("AC Status=") + acText, QStringLiteral("Battery Level=") + levelText};
    if (chargePercent != power::kUnknownByte)
        lines << QStringLiteral("Remaining charge=%1%").arg(chargePercent);
    if (fullLifeMinutes > 0)
        lines << QStringLiteral("Est. Battery Life if fully charged=%1 mins").arg(fullLifeMinutes);
    if (remainingMinutes > 0)
        lines << QStringLiteral("Est. Remaining time=%1 mins").arg(remainingMinutes);
    platform_.MsgBox(lines.join(platform::kCrLf), platform::vbOKOnly);
}
