// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>

#include "app/frmMain.h"
#include "calibration/result_log_location.h"
#include "platform/qt_platform.h"
#include "platform/log_output.h"
#include "power/system_power_source.h"
#include "report/run_record_location.h"

int main(int argc, char* argv[])
{
    platform::LogToStandardError();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dorvik"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.dorvik.Dorvik"));

    const auto power = power::CreateSystemPowerSource();
    platform::QtPlatform platform;
    frmMain window(platform, *power, calibration::ResultLogPath(), report::RunRecordDirectory());
    window.Load();
    if (platform.HasEnded())
        return 0;
    return QApplication::exec();
}
