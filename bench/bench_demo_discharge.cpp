// SPDX-License-Identifier: GPL-3.0-or-later
// A demo fast discharge from a full battery to the simulated switch-off,
// with the user's answers played from a timer: prints the real time it
// took, the minutes the run counted on the time lapse and the processors
// the demo kept busy. Run it once as it is and once under `taskset -c 0`
// (one processor, so no burn workers) to compare.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

#include "demo/cpu_use.h"
#include "demo/demo_session.h"
#include "storage/text_file.h"

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("Dorvik-demo.log"));
    QElapsedTimer sinceUnplug;
    qint64 cpuAtUnplug = 0;
    demo::DemoSession session(logPath, {}, [] {}, [&] {
        const double realS = sinceUnplug.elapsed() / 1000.0;
        const QByteArray minutes = storage::ReadFirstLines(logPath, 1).value_or(QList<QByteArray>{"?"}).value(0);
        std::printf("demo fast discharge from full, %d hardware threads: %.0f s real, %s minutes counted, %.2f processors busy\n",
                    QThread::idealThreadCount(), realS, minutes.constData(),
                    (demo::ProcessCpuMs() - cpuAtUnplug) / 1000.0 / realS);
        session.Platform().RequestEnd();
    });
    session.Start();
    QCheckBox* ac = session.Simulator().findChild<QCheckBox*>();
    ac->click();
    session.Battery().SetChargePercent(100);
    int answered = 0;  // OK and Yes, then the plug comes out
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && ++answered) {
            (box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->button(QMessageBox::Ok))->click();
        } else if (answered == 2 && ac->isChecked()) {
            ac->click();
            sinceUnplug.start();
            cpuAtUnplug = demo::ProcessCpuMs();
        }
    });
    user.start(50);
    session.Window().Command1->click();
    return 0;
}
