// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>

#include "calibration/result_log_location.h"
#include "demo/demo_session.h"
#include "platform/log_output.h"
#include "report/run_record_location.h"

int main(int argc, char* argv[])
{
    platform::LogToStandardError();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dorvik"));

    demo::DemoSession session(calibration::DemoResultLogPath(), report::DemoRunRecordDirectory());
    session.Start();
    if (session.Platform().HasEnded())
        return 0;
    return QApplication::exec();
}
