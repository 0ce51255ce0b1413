// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "calibration/calibration_run.h"
#include "platform/platform.h"
#include "power/power_status_source.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The one window. Its handlers and procedures are thin calls into the
// subsystems (power/, calibration/, report/). Handlers are private: every
// event enters through Dispatch, which is where End and untrapped errors stop.
// The calibration run sees the window only as its RunWindow.
class frmMain : public QWidget, private calibration::RunWindow {
    Q_OBJECT

public:
    // power: where GetSystemPowerStatus reads from. resultLogPath: the one
    // file the calibration run writes and View Result reads.
    // runRecordDirectory: where each run's record goes; empty for none.
    frmMain(platform::Platform& platform, power::PowerStatusSource& power, QString resultLogPath,
            QString runRecordDirectory = {});
    ~frmMain() override;

    // Start-up: runs Form_Load as the window's events run their handlers.
    void Load();

    // Controls.
    QPlainTextEdit* TxtStatus;
    QLabel* Label1;
    QPushButton* cmdGP;
    QPushButton* Command2;
    QLabel* Labdish;
    QPushButton* cmdFast;
    QPushButton* Command1;
    QPushButton* Help;
    QPushButton* cmdExit;

    // Window state.
    qint64 Seconds = 0;  // delivered clock ticks; never wraps
    int Fast = 0;        // 1 fast discharge, 0 slow

    // The status box's whole text, lines joined by CR LF.
    QString StatusText() const;
    const QString& ResultLogPath() const { return resultLogPath_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Start-up, clock, Exit, instructions.
    void Form_Load();
    void MilliSec_Timer();
    void cmdExit_Click();
    void ShowInstructions() override;
    // Help box and mode switch.
    void Help_Click();
    void cmdFast_Click();
    // Power status.
    void cmdGP_Click();
    void GetBatteryInfo(QString& acText, QString& levelText, qint16& chargePercent,
                        qint16& fullLifeMinutes, qint16& remainingMinutes);
    int GetSystemPowerStatus(SYSTEM_POWER_STATUS& status) { return power_.Query(status); }
    // Calibration run, result log and View Result.
    void Command1_Click();
    void Command2_Click();

    void Dispatch(void (frmMain::*handler)());
    void CreateControls();
    void ConnectHandler(QPushButton* button, void (frmMain::*handler)());

    // What the calibration run asks of the window.
    void SetStatusText(const QString& text) override;
    void SetBeginEnabled(bool enabled) override;
    qint64 Ticks() const override { return Seconds; }
    void ResetTicks() override { Seconds = 0; }
    bool FastDischarge() const override { return Fast == 1; }

    platform::Platform& platform_;
    power::PowerStatusSource& power_;
    const QString resultLogPath_;
    const QString runRecordDirectory_;
    std::unique_ptr<platform::IntervalTimer> MilliSec;
};
