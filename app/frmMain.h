#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/platform.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The one window. Every piece of the utility's logic is a handler or a
// procedure of this window; their bodies live in the folder of their
// subsystem (app/, power/, calibration/).
class frmMain : public QWidget {
    Q_OBJECT

public:
    // resultLogPath: the one file the calibration run writes and View
    // Result reads.
    frmMain(platform::Platform& platform, QString resultLogPath);
    ~frmMain() override;

    // Runs a handler the way the window's events do: End unwinds it, and an
    // untrapped error is reported and ends the application.
    void Dispatch(void (frmMain::*handler)());
    void Dispatch(const std::function<void()>& body);

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
    // Calibration run, result log and View Result.
    void Command1_Click();
    void Command2_Click();
    void WriteResultLog(const QString& path, const QString& text);

    // The status box's whole text, lines joined by CR LF.
    void SetStatusText(const QString& text);
    QString StatusText() const;
    QString InstructionText() const;
    const QString& ResultLogPath() const { return resultLogPath_; }
    platform::Platform& Platform() { return platform_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void ConnectHandler(QPushButton* button, void (frmMain::*handler)());

    platform::Platform& platform_;
    const QString resultLogPath_;
    std::unique_ptr<platform::IntervalTimer> MilliSec;
};
