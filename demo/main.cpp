#include <QApplication>

#include "calibration/result_log_location.h"
#include "demo/demo_session.h"
#include "report/run_record_location.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dorvik"));

    demo::DemoSession session(calibration::DemoResultLogPath(), report::DemoRunRecordDirectory());
    session.Start();
    if (session.Platform().HasEnded())
        return 0;
    return QApplication::exec();
}
