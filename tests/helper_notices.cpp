// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a real calibration run on the Qt platform for the notice tests: a
// battery that charges from 97 % to full, is unplugged when the boxes are
// answered and plugged in again at 97 %. Sleeps are short, boxes answer
// themselves; each box prints "box", a raised window "raised". After the
// run it prints "ended" and waits for end of input.
#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <cstdio>

#include <unistd.h>

#include "app/log_output.h"
#include "calibration/calibration_run.h"
#include "platform/qt_platform.h"
#include "support/scripted_power.h"

namespace {

class QuickPlatform : public platform::QtPlatform {
public:
    std::function<void()> onBox;
    void Sleep(int milliseconds) override { QThread::msleep(milliseconds / 10); }
    std::optional<platform::CommandLine> PowerOptionsPanel() override { return std::nullopt; }

protected:
    int ShowMessageBox(const QString&, int style, const QString&, const QString&) override
    {
        std::puts("box");
        QThread::msleep(100);  // a box is open for a while: the urgent notice goes out meanwhile
        DoEvents();
        if (onBox)
            onBox();
        return (style & platform::kButtonSetMask) == platform::vbOKOnly ? platform::vbOK : platform::vbYes;
    }
};

class Window : public calibration::RunWindow {
public:
    void SetStatusText(const QString&) override {}
    void ShowInstructions() override {}
    void SetBeginEnabled(bool) override {}
    qint64 Ticks() const override { return ticks_++; }
    void ResetTicks() override { ticks_ = 0; }
    bool FastDischarge() const override { return true; }
    ScriptedPower power;

private:
    mutable qint64 ticks_ = 0;
};

}  // namespace

int main(int argc, char* argv[])
{
    app::LogToStandardError();
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QWidget shown;
    QuickPlatform platform;
    platform.OnNoticeActivated([&] { std::puts("raised"), shown.raise(); });
    Window window;
    window.power.Set(1, 8, 94);
    bool unplugged = false;
    QElapsedTimer sinceFall;  // the mock answers each notice before the next stage
    window.power.onQuery = [&](SYSTEM_POWER_STATUS& s) {
        auto& b = window.power.status;
        if (!unplugged && b.BatteryLifePercent < 100)
            b.BatteryLifePercent++, b.BatteryFlag = b.BatteryLifePercent == 100 ? 1 : 8;
        else if (unplugged && sinceFall.elapsed() > 300)
            b.BatteryLifePercent > 97 ? (b.BatteryLifePercent--, sinceFall.start()) : void(b.ACLineStatus = 1);
        s = b;
    };
    platform.onBox = [&] {
        if (window.power.status.BatteryLifePercent == 100 && window.power.status.BatteryFlag == 1)
            unplugged = true, window.power.status.ACLineStatus = 0, sinceFall.start();
    };
    const QTemporaryDir logDirectory;
    calibration::CalibrationRun(window, platform, window.power, logDirectory.filePath(QStringLiteral("Dorvik.log")), {})
        .Run();
    std::puts("ended");
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            QCoreApplication::quit();
    });
    return application.exec();
}
