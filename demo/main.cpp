// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>

#include "app/log_output.h"
#include "demo/demo_session.h"
#include "storage/paths.h"
#include "storage/paths.h"

int main(int argc, char* argv[])
{
    app::LogToStandardError();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dorvik"));

    demo::DemoSession session(storage::DemoResultLogPath(), storage::DemoRunRecordDirectory());
    session.Start();
    if (session.Platform().HasEnded())
        return 0;
    return QApplication::exec();
}
