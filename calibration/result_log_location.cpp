// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/result_log_location.h"

#include <QDir>
#include <QFileInfo>

#include "report/run_record_location.h"

namespace calibration {

QString ResultLogPath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Dorvik.log");
#else
    return QDir(report::StateDirectory()).filePath(QStringLiteral("Dorvik.log"));
#endif
}

QString DemoResultLogPath()
{
    return QFileInfo(ResultLogPath()).dir().filePath(QStringLiteral("Dorvik-demo.log"));
}

}  // namespace calibration
