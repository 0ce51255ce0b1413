// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <memory>

#include "app/frmMain.h"
#include "support/fake_platform.h"
#include "support/scripted_power.h"

// A loaded window on the fake platform, with its result log in a fresh
// temporary directory.
struct WindowFixture {
    // In memory where the machine has it: the log's fsyncs would otherwise
    // dominate runs of simulated hours.
    QTemporaryDir directory{QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/dorvik-test-XXXXXX")
                                                                        : QDir::tempPath() + QStringLiteral("/dorvik-test-XXXXXX")};
    FakePlatform platform;
    ScriptedPower scripted;
    std::unique_ptr<frmMain> form;

    // The window reads the given source, or the scripted one.
    explicit WindowFixture(power::PowerStatusSource* source = nullptr)
    {
        form = std::make_unique<frmMain>(platform, source ? *source : scripted,
                                         directory.filePath(QStringLiteral("state/Dorvik.log")),
                                         directory.filePath(QStringLiteral("state/runs")));
        form->Load();
    }
    QString LogPath() const { return form->ResultLogPath(); }
};

// Lines joined by CR LF, as every multi-line text of the window is.
inline QString CrLfJoined(const QStringList& lines)
{
    return lines.join(QStringLiteral("\r\n"));
}
