// SPDX-License-Identifier: GPL-3.0-or-later
// A demo fast discharge from a full battery to the simulated switch-off,
// with the user's answers played from a timer: prints the real time it
// took, the minutes the run counted on the time lapse and the processors
// the demo kept busy, and how warm the simulated pack got (fast discharge
// holds back past 40 °C). Run it once as it is and once under `taskset -c 0`
// (one processor, so no burn workers) to compare.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
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
    double peakCelsius = 0;
    demo::DemoSession session(logPath, {}, [] {}, [&] {
        const double realS = sinceUnplug.elapsed() / 1000.0;
        const QByteArray minutes = storage::ReadFirstLines(logPath, 1).value_or(QList<QByteArray>{"?"}).value(0);
        std::printf("demo fast discharge from full, %d hardware threads: %.0f s real, %s minutes counted, %.2f processors busy\n",
                    QThread::idealThreadCount(), realS, minutes.constData(),
                    (demo::ProcessCpuMs() - cpuAtUnplug) / 1000.0 / realS);
        std::printf("simulated battery: peak %.1f °C\n", peakCelsius);
        session.Platform().RequestEnd();
    });
    session.Start();
    QCheckBox* ac = session.Simulator().findChild<QCheckBox*>();
    ac->click();
    session.Battery().SetChargePercent(100);
    int answered = 0;  // OK, Yes, and No to discharging on mains, then the plug comes out
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        peakCelsius = std::max(peakCelsius, session.Battery().BatteryCelsius());
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && ++answered) {
            if (box->text().endsWith(QStringLiteral("Discharge on mains?")))
                box->button(QMessageBox::No)->click();
            else
                (box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->button(QMessageBox::Ok))->click();
        } else if (answered == 3 && ac->isChecked()) {
            ac->click();
            sinceUnplug.start();
            cpuAtUnplug = demo::ProcessCpuMs();
        }
    });
    user.start(50);
    session.Window().Command1->click();
    return 0;
}
