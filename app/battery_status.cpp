// SPDX-License-Identifier: GPL-3.0-or-later
// The power summary and the battery status box.
#include "app/frmMain.h"
#include "power/power_summary.h"

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
    const power::PowerSummary summary = power::SummaryOf(status);
    acText = summary.acText;
    levelText = summary.levelText;
    chargePercent = summary.chargePercent;
    fullLifeMinutes = summary.fullLifeMinutes;
    remainingMinutes = summary.remainingMinutes;
}

void frmMain::cmdGP_Click()
{
    // The numbers start at 0: a failed query leaves them as they are.
    power::PowerSummary summary;
    GetBatteryInfo(summary.acText, summary.levelText, summary.chargePercent, summary.fullLifeMinutes,
                   summary.remainingMinutes);
    platform_.MsgBox(power::StatusBoxLines(summary).join(platform::kCrLf), platform::vbOKOnly);
}
