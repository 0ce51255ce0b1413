// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>

#include "app/command_line.h"
#include "app/frmMain.h"
#include "app/log_output.h"
#include "app/single_instance.h"
#include "app/window_display.h"
#include "platform/focus_ring_style.h"
#include "platform/qt_platform.h"
#include "power/system_power_source.h"
#include "storage/paths.h"

int main(int argc, char* argv[])
{
    app::LogToStandardError();
    if (const auto exitCode = app::RunCommandLine(argc, argv))
        return *exitCode;
    if (!app::CheckWindowDisplay(argc, argv))
        return 1;
    QApplication application(argc, argv);
    platform::StrengthenFocusRing();
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
    app::SingleInstance instance(QStringLiteral("io.github.dorvik.Dorvik"), storage::InstanceLockPath(), raise);
    switch (instance.Claim()) {
    case app::InstanceClaim::First: break;
    case app::InstanceClaim::OtherActivated: return 0;
    case app::InstanceClaim::OtherRunning:
        platform.MsgBox(QStringLiteral("Dorvik is already running."), platform::vbOKOnly + platform::vbExclamation);
        return 0;
    }
    platform.OnNoticeActivated(raise);
    frmMain window(platform, *power, storage::ResultLogPath(), storage::RunRecordDirectory());
    shown = &window;
    window.Load();
    if (platform.HasEnded())
        return 0;
    return QApplication::exec();
}
