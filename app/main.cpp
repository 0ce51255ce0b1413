// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QDir>

#include "app/command_line.h"
#include "app/frmMain.h"
#include "calibration/result_log_location.h"
#include "platform/log_output.h"
#include "platform/qt_platform.h"
#include "platform/single_instance.h"
#include "power/system_power_source.h"
#include "report/run_record_location.h"

int main(int argc, char* argv[])
{
    platform::LogToStandardError();
    if (const auto exitCode = app::RunCommandLine(argc, argv))
        return *exitCode;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dorvik"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.dorvik.Dorvik"));

    const auto power = power::CreateSystemPowerSource();
    platform::QtPlatform platform;
    frmMain* shown = nullptr;
    const auto raise = [&shown] {
        if (shown) {
            shown->showNormal();
            shown->raise();
            shown->activateWindow();
        }
    };
    platform::SingleInstance instance(QDir(report::StateDirectory()).filePath(QStringLiteral("dorvik.lock")), raise);
    switch (instance.Claim()) {
    case platform::InstanceClaim::First: break;
    case platform::InstanceClaim::OtherActivated: return 0;
    case platform::InstanceClaim::OtherRunning:
        platform.MsgBox(QStringLiteral("Dorvik is already running."), platform::vbOKOnly + platform::vbExclamation);
        return 0;
    }
    platform.OnNoticeActivated(raise);
    frmMain window(platform, *power, calibration::ResultLogPath(), report::RunRecordDirectory());
    shown = &window;
    window.Load();
    if (platform.HasEnded())
        return 0;
    return QApplication::exec();
}
