// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/run_record_location.h"

#include <QDir>
#include <QStandardPaths>

namespace report {

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

}  // namespace report
