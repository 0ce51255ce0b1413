// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace storage {

QString StateDirectory()
{
#ifdef Q_OS_WIN
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
#else
    const QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    if (!stateHome.isEmpty() && QDir::isAbsolutePath(stateHome))
        return QDir(stateHome).filePath(QStringLiteral("dorvik"));
    return QDir::home().filePath(QStringLiteral(".local/state/dorvik"));
#endif
}

QString RunRecordDirectory()
{
    return QDir(StateDirectory()).filePath(QStringLiteral("runs"));
}

QString DemoRunRecordDirectory()
{
    return QDir(StateDirectory()).filePath(QStringLiteral("demo-runs"));
}

QString ResultLogPath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Dorvik.log");
#else
    return QDir(StateDirectory()).filePath(QStringLiteral("Dorvik.log"));
#endif
}

QString DemoResultLogPath()
{
    return QFileInfo(ResultLogPath()).dir().filePath(QStringLiteral("Dorvik-demo.log"));
}

QString InstanceLockPath()
{
    return QDir(StateDirectory()).filePath(QStringLiteral("dorvik.lock"));
}

}  // namespace storage
