#include <QtTest>

#include "power/simulated_battery.h"

namespace {

constexpr qint64 kMinute = 60'000;

QString Describe(const SYSTEM_POWER_STATUS& s)
{
    return QStringLiteral("ac %1 flag %2 percent %3 reserved %4 remaining %5 full %6")
        .arg(s.ACLineStatus).arg(s.BatteryFlag).arg(s.BatteryLifePercent).arg(s.Reserved1)
        .arg(s.BatteryLifeTime).arg(s.BatteryFullLifeTime);
}

QString Describe(int ac, int flag, int percent, int remaining, int full)
{
    return Describe({static_cast<std::uint8_t>(ac), static_cast<std::uint8_t>(flag),
                     static_cast<std::uint8_t>(percent), 0, remaining, full});
}

// A 50 Wh battery that charges at 25 W (50 % an hour) and draws 10 W.
struct Bench {
    qint64 now = 0;
    power::SimulatedBattery battery{[this] { return now; }};
    Bench()
    {
        battery.SetCapacityWh(50);
        battery.SetChargeRateW(25);
        battery.SetDrawW(10);
    }
    QString Query()
    {
        SYSTEM_POWER_STATUS status{};
        if (battery.Query(status) == 0)
            return QStringLiteral("failed: ") + Describe(status);
        return Describe(status);
    }
};

}  // namespace

class SimulatedBatteryTest : public QObject {
    Q_OBJECT

private slots:
    void chargesOnAcThenTopsUpBeforeReadingFull();
    void stalledChargingKeepsTheCharge();
    void drainsOnBatteryByTheDraw();
    void drawHookIsAskedAsTimeGoesOn();
    void switchesOffWhenEmpty();
    void unknownReadingFailingQueryAndNoBattery();
    void percentSetDirectlyRoundsIntoTheFlag();
};

void SimulatedBatteryTest::chargesOnAcThenTopsUpBeforeReadingFull()
{
    Bench b;
    b.battery.SetChargePercent(90);
    QCOMPARE(b.Query(), Describe(1, 9, 90, -1, -1));
    b.now = 6 * kMinute;
    QCOMPARE(b.Query(), Describe(1, 9, 95, -1, -1));
    b.now = 12 * kMinute;  // full right now
    QCOMPARE(b.Query(), Describe(1, 9, 100, -1, -1));
    b.now = 40 * kMinute;  // one late look still sees when it became full
    QCOMPARE(b.Query(), Describe(1, 1, 100, -1, -1));

    Bench late;
    late.battery.SetChargePercent(90);
    late.now = 12 * kMinute + power::SimulatedBattery::kTrickleMs - 1;
    QCOMPARE(late.Query(), Describe(1, 9, 100, -1, -1));
    late.now += 1;
    QCOMPARE(late.Query(), Describe(1, 1, 100, -1, -1));
    QVERIFY(!late.battery.Charging());
}

void SimulatedBatteryTest::stalledChargingKeepsTheCharge()
{
    Bench b;
    b.battery.SetChargePercent(50);
    b.battery.SetChargingStalled(true);
    b.now = 60 * kMinute;
    QCOMPARE(b.Query(), Describe(1, 0, 50, -1, -1));
    b.battery.SetChargingStalled(false);
    b.now += 30 * kMinute;
    QCOMPARE(b.Query(), Describe(1, 9, 75, -1, -1));
}

void SimulatedBatteryTest::drainsOnBatteryByTheDraw()
{
    Bench b;
    b.battery.SetAcPlugged(false);
    QCOMPARE(b.Query(), Describe(0, 1, 100, 18000, 18000));
    b.now = 60 * kMinute;
    QCOMPARE(b.Query(), Describe(0, 1, 80, 14400, 18000));
    b.battery.SetDrawW(20);
    b.now += 30 * kMinute;
    QCOMPARE(b.Query(), Describe(0, 0, 60, 5400, 9000));
    b.battery.SetAcPlugged(true);
    b.now += 6 * kMinute;
    QCOMPARE(b.Query(), Describe(1, 8, 65, -1, -1));
}

void SimulatedBatteryTest::drawHookIsAskedAsTimeGoesOn()
{
    Bench b;
    double draw = 5;
    b.battery.SetDrawHook([&draw] { return draw; });
    b.battery.SetAcPlugged(false);
    b.now = 60 * kMinute;
    QCOMPARE(b.battery.ChargePercent(), 90.0);
    draw = 25;
    b.now += 60 * kMinute;
    QCOMPARE(b.battery.ChargePercent(), 40.0);
    QCOMPARE(b.Query(), Describe(0, 0, 40, 2880, 7200));
}

void SimulatedBatteryTest::switchesOffWhenEmpty()
{
    Bench b;
    b.battery.SetChargePercent(10);
    b.battery.SetAcPlugged(false);
    b.now = 29 * kMinute;  // 5 Wh at 10 W last 30 minutes
    QCOMPARE(b.Query(), Describe(0, 6, 0, 60, 18000));
    b.now += kMinute / 2;
    QCOMPARE(b.Query(), Describe(0, 6, 0, -1, -1));  // under 0.1 Wh: no time
    QVERIFY(!b.battery.SwitchedOff());
    b.now = 5 * 60 * kMinute;
    QVERIFY(b.battery.SwitchedOff());
    QCOMPARE(b.battery.ChargePercent(), 0.0);
    b.battery.SetAcPlugged(true);
    b.now += 60 * kMinute;
    QVERIFY(b.battery.SwitchedOff());
    QCOMPARE(b.Query(), Describe(1, 8, 50, -1, -1));
}

void SimulatedBatteryTest::unknownReadingFailingQueryAndNoBattery()
{
    Bench b;
    b.battery.SetChargePercent(50);
    b.battery.SetAcPlugged(false);
    b.battery.SetReadingUnknown(true);
    QCOMPARE(b.Query(), Describe(0, 255, 255, -1, -1));
    b.battery.SetReadingUnknown(false);
    b.battery.SetQueryFails(true);
    QCOMPARE(b.Query(), QStringLiteral("failed: ") + Describe(255, 255, 255, -1, -1));
    b.battery.SetQueryFails(false);
    b.battery.SetBatteryPresent(false);
    b.now = 60 * kMinute;
    QCOMPARE(b.Query(), Describe(1, 128, 255, -1, -1));
    b.battery.SetBatteryPresent(true);
    QCOMPARE(b.battery.ChargePercent(), 50.0);  // nothing drained while it was out
}

void SimulatedBatteryTest::percentSetDirectlyRoundsIntoTheFlag()
{
    Bench b;
    b.battery.SetChargingStalled(true);
    const QList<QPair<double, QString>> cases = {
        {66.5, Describe(1, 1, 67, -1, -1)}, {66.4, Describe(1, 0, 66, -1, -1)}, {32.5, Describe(1, 0, 33, -1, -1)},
        {32.4, Describe(1, 2, 32, -1, -1)}, {4.5, Describe(1, 2, 5, -1, -1)},   {4.4, Describe(1, 6, 4, -1, -1)},
        {-3, Describe(1, 6, 0, -1, -1)},    {120, Describe(1, 1, 100, -1, -1)}};
    for (const auto& [percent, expected] : cases) {
        b.battery.SetChargePercent(percent);
        QCOMPARE(b.Query(), expected);
    }
}

QTEST_GUILESS_MAIN(SimulatedBatteryTest)
#include "tst_simulated_battery.moc"
