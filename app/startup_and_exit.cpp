// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, the one-second clock, Exit and the instruction text.
#include <QLabel>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QStringList>

#include "app/frmMain.h"

void frmMain::Form_Load()
{
    MilliSec->SetInterval(1000);
    Seconds = 0;
    ShowInstructions();
    SetStatusText(QString());
    show();
    cmdExit->setFocus();
    Fast = 0;
    cmdFast_Click();
}

void frmMain::MilliSec_Timer()
{
    Seconds = Seconds + 1;
}

void frmMain::cmdExit_Click()
{
    hide();
    platform_.End();
}

void frmMain::ShowInstructions()
{
    // The runs of blanks decide where each wrapped item's second line starts.
    const QStringList lines = {
        QStringLiteral("Battery Calibration"),
        QStringLiteral("----------------------------"),
        QStringLiteral("1. Connect the AC Adaptor and click on the Begin Calibration         button to start the calibration procedure."),
        QStringLiteral("2. Calibration is complete when the system switches itself off           (or automatically enters Standby Mode)."),
        QStringLiteral("3. Reconnect the AC Adaptor and fully charge the battery."),
        QStringLiteral("4. You can run this utility again and use the View Result button      to see how long the battery lasted."),
        QStringLiteral("Note: Use a Slow Discharge setting if you wish to use the                    system while this application is running."),
    };
    Label1->setText(lines.join(QLatin1Char('\n')));
}
