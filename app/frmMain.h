#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/platform.h"
#include "power/power_status_source.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The one window. Every piece of the utility's logic is a handler or a
// procedure of this window; their bodies live in the folder of their
// subsystem (app/, power/, calibration/).
namespace calibration {
class CalibrationRun;
}

// The one window. Every piece of the utility's logic is a handler or a
// procedure of this window; their bodies live in the folder of their
// subsystem (app/, power/, calibration/). Handlers are private: every event
// enters through Dispatch, which is where End and untrapped errors stop.
class frmMain : public QWidget {
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
    friend class calibration::CalibrationRun;

    // Start-up, clock, Exit, instructions.
    void Form_Load();
    void MilliSec_Timer();
    void cmdExit_Click();
    void ShowInstructions();
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
    void WriteResultLog(const QString& path, const QString& text);

    void Dispatch(void (frmMain::*handler)());
    void SetStatusText(const QString& text);
    void CreateControls();
    void ConnectHandler(QPushButton* button, void (frmMain::*handler)());

    platform::Platform& platform_;
    power::PowerStatusSource& power_;
    const QString resultLogPath_;
    const QString runRecordDirectory_;
    std::unique_ptr<platform::IntervalTimer> MilliSec;
};
