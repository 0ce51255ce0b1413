#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QThread>
#include <QtTest>

#include "demo/cpu_use.h"
#include "support/find_control.h"
#include "demo/scaled_clock.h"
#include "demo/simulator_window.h"
#include "demo/state_text.h"

namespace {


void Spin(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    volatile double sink = 0;
    while (timer.elapsed() < milliseconds)
        sink = sink + 1.0;
}

}  // namespace

class DemoSimulatorTest : public QObject {
    Q_OBJECT

private slots:
    void scaledClockNeitherJumpsNorGoesBackWhenTheLapseChanges();
    void drawFollowsCpuUseOverTheLastSeconds();
    void processCpuTimeGrowsWhileBusyNotWhileAsleep();
    void stateTextShowsTheFiveValues_data();
    void stateTextShowsTheFiveValues();
    void controlsDriveTheBatteryAndTheWindowFollowsIt();
};

void DemoSimulatorTest::scaledClockNeitherJumpsNorGoesBackWhenTheLapseChanges()
{
    qint64 real = 5000;
    demo::ScaledClock clock([&real] { return real; });
    QCOMPARE(clock.NowMs(), 0);
    real += 1000;
    QCOMPARE(clock.NowMs(), 1000);
    clock.SetFactor(60);
    QCOMPARE(clock.NowMs(), 1000);
    real += 500;
    QCOMPARE(clock.NowMs(), 31'000);
    clock.SetFactor(10);
    QCOMPARE(clock.NowMs(), 31'000);
    real += 100;
    QCOMPARE(clock.NowMs(), 32'000);
    clock.SetFactor(1);
    real += 7;
    QCOMPARE(clock.NowMs(), 32'007);
    clock.SetFactor(60);
    clock.SetFactor(60);  // choosing the same lapse again changes nothing
    real += 1;
    QCOMPARE(clock.NowMs(), 32'067);
}

void DemoSimulatorTest::drawFollowsCpuUseOverTheLastSeconds()
{
    qint64 wall = 0;
    qint64 cpu = 0;
    demo::CpuUse use([&wall] { return wall; }, [&cpu] { return cpu; }, 3000);
    const auto run = [&](int milliseconds, double share) {
        for (int t = 0; t < milliseconds; t += 200) {
            wall += 200;
            cpu += static_cast<qint64>(200 * share);
            use.Sample();
        }
        return demo::DrawForCpuShare(use.Share());
    };
    use.Sample();
    QCOMPARE(demo::DrawForCpuShare(use.Share()), demo::kIdleDrawW);
    QCOMPARE(run(3000, 0.0), 6.0);
    QCOMPARE(run(3000, 1.0), 30.0);  // the idle seconds have left the window
    QCOMPARE(run(3000, 0.5), 18.0);
    QCOMPARE(run(1000, 0.0), 14.0);  // a third of the window idle, the rest at 50 %
    QCOMPARE(run(6000, 0.0), 6.0);
}

void DemoSimulatorTest::processCpuTimeGrowsWhileBusyNotWhileAsleep()
{
    demo::CpuUse busy(demo::MonotonicMs, demo::ProcessCpuMs);
    busy.Sample();
    Spin(500);
    busy.Sample();
    demo::CpuUse asleep(demo::MonotonicMs, demo::ProcessCpuMs);
    asleep.Sample();
    QThread::msleep(500);
    asleep.Sample();
    // Loose bounds, as the machine may be shared; a wrong unit (seconds,
    // microseconds) or the wrong clock misses them by far.
    QVERIFY2(busy.Share() > 0.1, qPrintable(QString::number(busy.Share())));
    QVERIFY2(asleep.Share() < 0.05, qPrintable(QString::number(asleep.Share())));
}

void DemoSimulatorTest::stateTextShowsTheFiveValues_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("record");  // ac, flag, percent, remaining, full
    QTest::addColumn<QString>("expected");
    const auto record = [](std::uint8_t ac, std::uint8_t flag, std::uint8_t percent, std::int32_t remaining,
                           std::int32_t full) {
        const SYSTEM_POWER_STATUS status{ac, flag, percent, 0, remaining, full};
        return QByteArray(reinterpret_cast<const char*>(&status), sizeof status);
    };
    QTest::newRow("on battery") << 1 << record(0, 6, 4, 3725, 18000)
                                << QStringLiteral("ACLineStatus = 0 (offline)\n"
                                                  "BatteryFlag = 6 (low, critical)\n"
                                                  "BatteryLifePercent = 4 (4 %)\n"
                                                  "BatteryLifeTime = 3725 (1 h 2 min)\n"
                                                  "BatteryFullLifeTime = 18000 (5 h 0 min)");
    QTest::newRow("topping up") << 1 << record(1, 9, 100, -1, -1)
                                << QStringLiteral("ACLineStatus = 1 (online)\n"
                                                  "BatteryFlag = 9 (high, charging)\n"
                                                  "BatteryLifePercent = 100 (100 %)\n"
                                                  "BatteryLifeTime = -1 (unknown)\n"
                                                  "BatteryFullLifeTime = -1 (unknown)");
    QTest::newRow("no battery") << 1 << record(1, 128, 255, -1, -1)
                                << QStringLiteral("ACLineStatus = 1 (online)\n"
                                                  "BatteryFlag = 128 (no battery)\n"
                                                  "BatteryLifePercent = 255 (unknown)\n"
                                                  "BatteryLifeTime = -1 (unknown)\n"
                                                  "BatteryFullLifeTime = -1 (unknown)");
    QTest::newRow("failed") << 0 << record(255, 255, 255, -1, -1)
                            << QStringLiteral("The query fails (returns 0).\n"
                                              "ACLineStatus = 255 (unknown)\n"
                                              "BatteryFlag = 255 (unknown)\n"
                                              "BatteryLifePercent = 255 (unknown)\n"
                                              "BatteryLifeTime = -1 (unknown)\n"
                                              "BatteryFullLifeTime = -1 (unknown)");
}

void DemoSimulatorTest::stateTextShowsTheFiveValues()
{
    QFETCH(int, result);
    QFETCH(QByteArray, record);
    QFETCH(QString, expected);
    SYSTEM_POWER_STATUS status{};
    std::memcpy(&status, record.constData(), sizeof status);
    QCOMPARE(demo::SimulatedStateText(result, status), expected);
}

void DemoSimulatorTest::controlsDriveTheBatteryAndTheWindowFollowsIt()
{
    qint64 real = 0;
    demo::ScaledClock clock([&real] { return real; });
    power::SimulatedBattery battery([&clock] { return clock.NowMs(); });
    battery.SetCapacityWh(60);
    battery.SetDrawW(30);  // 50 % an hour
    battery.SetChargeRateW(30);
    demo::BatterySimulatorWindow window(battery, clock);

    auto* ac = FindByAccessibleName<QCheckBox>(window, QStringLiteral("AC adaptor plugged in"));
    auto* charge = FindByAccessibleName<QSlider>(window, QStringLiteral("Charge level"));
    auto* stalls = FindByAccessibleName<QCheckBox>(window, QStringLiteral("Charging stalls"));
    auto* unknown = FindByAccessibleName<QCheckBox>(window, QStringLiteral("Charge reading unknown"));
    auto* fails = FindByAccessibleName<QCheckBox>(window, QStringLiteral("Status query fails"));
    auto* noBattery = FindByAccessibleName<QCheckBox>(window, QStringLiteral("No battery"));
    auto* lapse = FindByAccessibleName<QComboBox>(window, QStringLiteral("Time lapse"));
    auto* state = FindByAccessibleName<QLabel>(window, QStringLiteral("Simulated state"));
    QVERIFY(ac && charge && stalls && unknown && fails && noBattery && lapse && state);
    QCOMPARE(window.windowTitle(), QStringLiteral("Battery simulator"));
    QCOMPARE(charge->minimum(), 0);
    QCOMPARE(charge->maximum(), 100);
    QCOMPARE(lapse->count(), 3);
    QCOMPARE(lapse->itemText(0) + lapse->itemText(1) + lapse->itemText(2), QStringLiteral("1x10x60x"));

    // It opens unplugged at 60 % with the lapse at 60x: 6 real seconds are 6 minutes.
    QCOMPARE(clock.Factor(), 60);
    QCOMPARE(charge->value(), 60);
    real += 6000;
    window.Refresh();
    QCOMPARE(charge->value(), 55);
    QVERIFY(state->text().contains(QStringLiteral("BatteryLifePercent = 55 ")));

    lapse->setCurrentIndex(lapse->findText(QStringLiteral("1x")));
    QCOMPARE(clock.Factor(), 1);
    QCOMPARE(clock.NowMs(), 360'000);

    // A drag sets the charge; the refresh does not pull the slider back mid-drag.
    charge->setSliderDown(true);
    charge->setSliderPosition(80);
    window.Refresh();
    QCOMPARE(charge->value(), 80);
    charge->setSliderDown(false);
    QCOMPARE(battery.ChargePercent(), 80.0);

    ac->click();
    window.Refresh();
    QVERIFY(window.AcPlugged());
    QVERIFY(state->text().startsWith(QStringLiteral("ACLineStatus = 1 (online)\nBatteryFlag = 9 ")));
    stalls->click();
    real += 600'000;
    window.Refresh();
    QCOMPARE(battery.ChargePercent(), 80.0);
    QVERIFY(state->text().contains(QStringLiteral("BatteryFlag = 1 (high)")));

    unknown->click();
    window.Refresh();
    QVERIFY(state->text().contains(QStringLiteral("BatteryLifePercent = 255 (unknown)")));
    fails->click();
    window.Refresh();
    QVERIFY(state->text().startsWith(QStringLiteral("The query fails")));
    fails->click();
    unknown->click();
    noBattery->click();
    window.Refresh();
    QVERIFY(state->text().contains(QStringLiteral("BatteryFlag = 128 (no battery)")));
    noBattery->click();
    window.Refresh();
    QVERIFY(state->text().contains(QStringLiteral("BatteryLifePercent = 80 ")));
}

QTEST_MAIN(DemoSimulatorTest)
#include "tst_demo_simulator.moc"
