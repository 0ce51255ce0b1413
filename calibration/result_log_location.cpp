#include "calibration/result_log_location.h"

#include <QDir>
#include <QFileInfo>

namespace calibration {
namespace {

QString StateDirectory()
{
    const QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    if (!stateHome.isEmpty() && QDir::isAbsolutePath(stateHome))
        return QDir(stateHome).filePath(QStringLiteral("dorvik"));
    return QDir::home().filePath(QStringLiteral(".local/state/dorvik"));
}

}  // namespace

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

}  // namespace calibration
