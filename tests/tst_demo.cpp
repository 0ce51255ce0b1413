// SPDX-License-Identifier: GPL-3.0-or-later
// The demo end to end: the real window, real boxes and the simulator's
// adaptor switch, through a fast discharge to the simulated switch-off.
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "demo/cpu_use.h"
#include "demo/demo_charge_control.h"
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

    // The demo's helper holds charging off after a charge or a discharge at
    // full draw, hot past the 40 °C of the hold-back: the trickle at full
    // stops, the voltage relaxes until it moves less than 2.4 mV in 10
    // minutes, within the hour at full and more slowly at empty, and at the
    // held-back draw the pack cools under 37 °C. Put back, the charger runs.
    void batteryRestsWithChargingHeldOff_data()
    {
        QTest::addColumn<bool>("plugged");
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("settledFrom");
        QTest::addColumn<int>("settledBy");
        QTest::newRow("at full, after charging") << true << "Full 1.2 W" << 10 << 60;
        QTest::newRow("at empty, after a discharge") << false << "Discharging 54 W" << 90 << 180;
    }
    void batteryRestsWithChargingHeldOff()
    {
        QFETCH(bool, plugged);
        QFETCH(int, settledFrom);
        QFETCH(int, settledBy);
        qint64 ms = 0;
        power::SimulatedBattery battery([&] { return ms; });
        demo::DemoChargeControl helper(battery);
        battery.SetChargePercent(60);
        battery.SetAcPlugged(plugged);
        battery.SetChargeRateW(45);
        battery.SetDrawW(demo::DrawForCpuUse(2, 2));
        ms += 33 * 60'000;  // to 100 %, or to 0.6 %
        QTEST(QStringLiteral("%1 %2 W").arg(battery.Details().status).arg(*battery.Details().powerW), "before");
        QCOMPARE_GT(*battery.ReadTemperatures().batteryCelsius, 40);
        helper.InhibitCharge(QStringLiteral("BAT0"), false, [](bool, const QString&) {});
        QTRY_COMPARE(battery.ChargeBehaviour(), QStringLiteral("inhibit-charge"));
        battery.SetAcPlugged(true);
        battery.SetDrawW(demo::DrawForCpuUse(1, 2));
        const double stopped = battery.VoltageV();
        QList<double> volts;
        while (volts.size() <= 10 || std::abs(volts.last() - volts[volts.size() - 11]) >= 0.0024) {
            QVERIFY(volts.size() < 240);
            ms += 60'000;
            volts << battery.VoltageV();
            QCOMPARE(battery.Details().powerW, 0.0);
        }
        QVERIFY2(volts.size() >= settledFrom && volts.size() <= settledBy, qPrintable(QString::number(volts.size())));
        QCOMPARE_GT((volts.last() - stopped) * (plugged ? -1 : 1), 0.03);  // down after a charge, up after a discharge
        QCOMPARE_LT(*battery.ReadTemperatures().batteryCelsius, 37);
        helper.RestoreSetting(QStringLiteral("BAT0"), platform::ChargeControl::kInhibitCharge, [](bool, const QString&) {});
        QTRY_COMPARE(battery.ChargeBehaviour(), QStringLiteral("auto"));
        QCOMPARE(battery.Details().status, plugged ? QStringLiteral("Full") : QStringLiteral("Charging"));
    }

    // Unplugged, the simulated machine dies; on mains, with its charge limit
    // lifted for the run, the demo's helper drains the battery with the
    // adaptor in, its firmware returns to auto at empty, and the report opens
    // after the recharge, with the limit back.
    void fastDischargeOnTheSimulator_data()
    {
        QTest::addColumn<bool>("onMains");
        QTest::newRow("unplugged until the machine dies") << false;
        QTest::newRow("on mains, limit lifted, to the report") << true;
    }

    void fastDischargeOnTheSimulator()
    {
        QFETCH(bool, onMains);
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("Dorvik-demo.log"));
        int switchOffs = 0;
        demo::DemoSession session(logPath, logPath + ".runs", [] {}, [&] { ++switchOffs, session.Platform().RequestEnd(); });  // the run unwinds at its next pump
        session.Start();
        QCheckBox* ac = session.Simulator().findChild<QCheckBox*>();
        QVERIFY(ac && ac->accessibleName() == QStringLiteral("AC adaptor plugged in"));
        ac->click();
        session.Battery().SetCapacityWh(2.5);  // even idle it dies within half a minute at 60x
        auto* limit = session.Simulator().findChild<QSpinBox*>();
        QVERIFY(limit && limit->accessibleName() == QStringLiteral("Charge limit"));
        limit->setValue(onMains ? 80 : 100);
        int answered = 0;  // the user lifts the limit, answers OK and Yes (No on mains unplugged), pulls the plug
        QTimer user;
        connect(&user, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box && ++answered) {
                QAbstractButton* answer = box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->button(QMessageBox::Ok);
                for (QAbstractButton* button : box->buttons())
                    answer = button->text() == QLatin1String("&Lift it for this run") ? button : answer;
                if (!onMains && box->text().endsWith(QStringLiteral("Discharge on mains?")))
                    answer = box->button(QMessageBox::No);
                answer->click();
            } else if (!onMains && answered == 3 && ac->isChecked()) {
                ac->click();
            }
            for (QWidget* window : QApplication::topLevelWidgets()) {  // the rests would take hours
                for (auto* skip : window->findChildren<QPushButton*>())
                    if (skip->isVisible() && skip->text() == QStringLiteral("Skip the rest"))
                        skip->click();
            }
        });
        user.start(50);
        QTimer::singleShot(90'000, [&] { session.Platform().RequestEnd(); });
        session.Window().Command1->click();
        QCOMPARE(std::pair(answered, switchOffs), std::pair(onMains ? 4 : 3, onMains ? 0 : 1));
        if (onMains) {
            const report::RunRecord run = report::ReadRunRecords(logPath + ".runs").runs.value(0);
            QCOMPARE(run.ending, report::RunEnding::RanOutOnMains);
            QVERIFY(!run.recharge.isEmpty() && run.recharge.last().percent == 100);
            QCOMPARE(run.rests.spans.size(), 2);
            QCOMPARE(run.rests.spans.last().outcome, report::RestOutcome::Skipped);
            QTRY_COMPARE(session.Battery().ChargeLimit(), 80);  // put back as the run went
            QVERIFY(!session.Battery().ForceDischarge());
            const QWidgetList shown = QApplication::topLevelWidgets();
            QVERIFY(std::any_of(shown.begin(), shown.end(),
                                [](QWidget* w) { return w->isVisible() && w->windowTitle() == "Dorvik Run Report"; }));
            return;
        }
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
