// SPDX-License-Identifier: GPL-3.0-or-later
// The demo end to end: the real window, real boxes and the simulator's
// adaptor switch, through a fast discharge to the simulated switch-off.
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "demo/demo_platform.h"
#include "demo/demo_session.h"
#include "report/run_record.h"
#include "storage/date_text.h"
#include "storage/text_file.h"

class DemoTest : public QObject {
    Q_OBJECT

private slots:
    // The run's minutes come from the awake clock, its texts from the wall
    // clock: on the lapse both must run at the simulated pace.
    void awakeClockRunsOnTheLapse()
    {
        qint64 real = 0;
        demo::ScaledClock clock([&] { return real; });
        clock.SetFactor(60);
        demo::DemoPlatform platform(clock, [] {});
        const qint64 awake = platform.AwakeMs();
        const QDateTime now = platform.Now();
        real += 2000;
        QCOMPARE(platform.AwakeMs() - awake, 120'000);
        QCOMPARE(now.secsTo(platform.Now()), 120);
    }

    // An earlier launch's lapse ran hours ahead: the next launch's clock goes
    // on after its last sample, so that the runs follow one another.
    void clockGoesOnAfterTheRecordedRuns()
    {
        QTemporaryDir dir;
        const QDateTime now = storage::WholeSeconds(QDateTime::currentDateTime());  // as records keep it
        QCOMPARE(demo::SimulatedStart(dir.path(), now), now);
        const QDateTime last = now.addSecs(5 * 3600);
        for (const QDateTime& start : {now.addSecs(3600), now.addSecs(-3600)}) {  // the newest by start ended first
            auto writer = report::RunRecordWriter::Create(dir.path(), {.start = start});
            QVERIFY(writer && writer->Append({.time = start < now ? last : start.addSecs(60), .awakeSeconds = 60}));
        }
        QCOMPARE(demo::SimulatedStart(dir.path(), now), last.addSecs(60));
        QCOMPARE(demo::SimulatedStart(dir.path(), now.addDays(1)), now.addDays(1));
        demo::DemoSession session(dir.filePath(QStringLiteral("log")), dir.path(), [] {}, [] {});
        QVERIFY(session.Platform().Now() > last);
    }

    void fastDischargeUntilTheSimulatedMachineDies()
    {
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("Dorvik-demo.log"));
        int switchOffs = 0;
        demo::DemoSession session(logPath, logPath + ".runs", [] {}, [&] { ++switchOffs, session.Platform().RequestEnd(); });  // the run unwinds at its next pump
        session.Start();
        QCheckBox* ac = session.Simulator().findChild<QCheckBox*>();
        QVERIFY(ac && ac->accessibleName() == QStringLiteral("AC adaptor plugged in"));
        ac->click();
        session.Battery().SetCapacityWh(2.5);  // even idle it dies within half a minute at 60x
        int answered = 0;  // the user answers OK and Yes, then pulls the plug
        QTimer user;
        connect(&user, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && ++answered)
                (box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->button(QMessageBox::Ok))->click();
            else if (answered == 2 && ac->isChecked())
                ac->click();
        });
        user.start(50);
        QTimer::singleShot(90'000, [&] { session.Platform().RequestEnd(); });
        session.Window().Command1->click();
        QCOMPARE(std::pair(answered, switchOffs), std::pair(2, 1));
        const QList<QByteArray> lines = storage::ReadFirstLines(logPath, 3).value();
        const auto date = [&](int i) { return storage::ParseDateText(QString::fromLocal8Bit(lines[i])).value(); };
        // The minutes come from a clock read just before the one of line 3.
        const qint64 minutes = storage::MinutesBetween(date(1), date(2));
        QVERIFY2(lines[0] == QByteArray::number(minutes) || lines[0] == QByteArray::number(minutes - 1), lines[0]);
        // On the time lapse the run record holds a sample a simulated minute, with the battery's energy.
        const QList<report::RunSample> samples = report::ReadRunRecords(logPath + ".runs").runs.value(0).samples;
        QVERIFY(samples.size() >= 3 && samples.first().energyWh > samples.last().energyWh);
        // The simulator's drifted gauge still reads 8 % when the battery dies, and tells a time left.
        QVERIFY2(samples.last().percent >= 8 && samples.last().remainingSeconds > 0,
                 qPrintable(QString::number(samples.last().percent)));
    }
};

QTEST_MAIN(DemoTest)
#include "tst_demo.moc"
