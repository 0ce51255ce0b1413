#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <memory>

#include "app/frmMain.h"
#include "support/fake_platform.h"

// A loaded window on the fake platform, with its result log in a fresh
// temporary directory.
struct WindowFixture {
    // In memory where the machine has it: the log's fsyncs would otherwise
    // dominate runs of simulated hours.
    QTemporaryDir directory{QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/dorvik-test-XXXXXX")
                                                                        : QDir::tempPath() + QStringLiteral("/dorvik-test-XXXXXX")};
    FakePlatform platform;
    std::unique_ptr<frmMain> form;

    WindowFixture()
    {
        form = std::make_unique<frmMain>(platform, directory.filePath(QStringLiteral("state/Dorvik.log")));
        form->Dispatch(&frmMain::Form_Load);
    }
    QString LogPath() const { return form->ResultLogPath(); }
};

// Lines joined by CR LF, as every multi-line text of the window is.
inline QString CrLfJoined(const QStringList& lines)
{
    return lines.join(QStringLiteral("\r\n"));
}
