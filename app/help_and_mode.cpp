// SPDX-License-Identifier: GPL-3.0-or-later
// The help box and the discharge-mode switch.
#include <QLabel>
#include <QPushButton>
#include <QStringList>

#include "app/frmMain.h"

void frmMain::Help_Click()
{
    const QStringList lines = {
        QStringLiteral("This utility is designed to help you calibrate your Notebook or Tablet PC Smart battery"),
        QString(),
        QStringLiteral("After you have used your system for a few months, the Smart battery may become uncalibrated"),
        QStringLiteral("and you may find that the system thinks the battery has no charge left when it actually does (i.e. "),
        QStringLiteral("the battery does not seem to last as long as it used to)."),
        QStringLiteral("This utility will guide you through the steps you need to take to calibrate the battery"),
        QStringLiteral("and thus ensure that the battery charge status is accurate."),
        QString(),
        QStringLiteral("For fastest calibration, use the Fast Discharge setting. If you wish to use the system during "),
        QStringLiteral("calibration, use the Slow Discharge setting to make the battery last longer. For example"),
        QStringLiteral("the battery may last for 3 hrs battery on Slow Discharge but only 90 minutes on Fast Discharge."),
        QString(),
        QStringLiteral("Note: You should fully charge the battery after the calibration run has completed."),
    };
    platform_.MsgBox(lines.join(platform::kCrLf), platform::vbOKOnly);
}

void frmMain::cmdFast_Click()
{
    if (Fast == 0) {
        Fast = 1;
        cmdFast->setText(QStringLiteral("Set Slow &Discharge"));
        Labdish->setText(QStringLiteral("Fast Discharge"));
    } else {
        Fast = 0;
        cmdFast->setText(QStringLiteral("Set Fast &Discharge"));
        Labdish->setText(QStringLiteral("Slow Discharge"));
    }
}
