// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include "app/command_line.h"
#include "app/log_output.h"
#include "app/single_instance.h"
#include "demo/demo_session.h"
#include "platform/focus_ring_style.h"
#include "storage/paths.h"

int main(int argc, char* argv[])
{
    app::LogToStandardError();
    if (const auto exitCode = app::RunCommandLine(argc, argv, app::DemoCommandLine()))
        return *exitCode;
    QApplication application(argc, argv);
    platform::StrengthenFocusRing();
    QApplication::setApplicationName(QStringLiteral("Dorvik"));

    // One demo at a time, as Dorvik: two would run two simulated batteries into one log.
    demo::DemoSession* shown = nullptr;
    const auto raise = [&shown] {
        if (shown) {
            shown->Window().showNormal();
            shown->Window().raise();
            shown->Window().activateWindow();
        }
    };
    const QFileInfo dorvikLock(storage::InstanceLockPath());
    app::SingleInstance instance(QStringLiteral("io.github.dorvik.Dorvik.Demo"),
                                 dorvikLock.dir().filePath(QStringLiteral("dorvik-demo.lock")), raise);
    switch (instance.Claim()) {
    case app::InstanceClaim::First: break;
    case app::InstanceClaim::OtherActivated: return 0;
    case app::InstanceClaim::OtherRunning:
        QMessageBox::warning(nullptr, QStringLiteral("Dorvik"), QStringLiteral("The Dorvik demo is already running."));
        return 0;
    }

    demo::DemoSession session(storage::DemoResultLogPath(), storage::DemoRunRecordDirectory());
    shown = &session;
    session.Start();
    if (session.Platform().HasEnded())
        return 0;
    return QApplication::exec();
}
