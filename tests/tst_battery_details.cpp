#include <QTemporaryDir>
#include <QtTest>

#include "power/linux_power_source.h"
#include "power/simulated_battery.h"
#include "support/power_supply_tree.h"

namespace tree = power_supply_tree;

namespace {

QString Value(std::optional<double> value)
{
    return value ? QString::number(*value, 'f', 2) : QStringLiteral("-");
}

// Every field, to the hundredth, so that a wrong unit or a stray sum shows.
QString Describe(const power::BatteryDetails& d)
{
    return QStringLiteral("now %1 full %2 design %3 power %4 volts %5 cycles %6 model '%7' technology '%8' status '%9'")
        .arg(Value(d.energyNowWh), Value(d.energyFullWh), Value(d.energyDesignWh), Value(d.powerW), Value(d.voltageV),
             d.cycleCount ? QString::number(*d.cycleCount) : QStringLiteral("-"), d.model, d.technology, d.status);
}

}  // namespace

class BatteryDetailsTest : public QObject {
    Q_OBJECT

private slots:
    void detailsSumTheSystemBatteries_data();
    void detailsSumTheSystemBatteries();
    void blockersNameWhatStopsAFullCharge_data();
    void blockersNameWhatStopsAFullCharge();
    void simulatedDetailsFollowTheChargeAndTheDraw();
};

void BatteryDetailsTest::detailsSumTheSystemBatteries_data()
{
    QTest::addColumn<QStringList>("supplies");
    QTest::addColumn<QString>("expected");
    QTest::newRow("F1 energy units") << tree::EnergyUnitsAtThreshold()
        << "now 65.44 full 69.24 design 80.40 power 0.00 volts - cycles 326 model '' technology '' status 'Not charging'";
    // 11.4 V from voltage_min_design, not the 12.6 V of voltage_now.
    QTest::newRow("F2 charge units times the design voltage") << tree::ChargeUnitsDischarging()
        << "now 53.84 full 54.77 design 56.00 power 8.62 volts 12.60 cycles - model '' technology 'Li-poly' status 'Discharging'";
    QTest::newRow("F4 two batteries summed") << tree::TwoBatteriesSecondDrained()
        << "now 48.00 full 90.38 design 111.32 power 12.00 volts 11.27 cycles - model '' technology '' status 'Discharging'";
    QStringList named = tree::TwoBatteriesSecondDrained();
    named[0] += "; model_name=5B10W13975; cycle_count=-1; status=discharging";
    named[1] += "; model_name=01AV430; cycle_count=40; technology=Li-ion";
    QTest::newRow("F4 models joined, only the first battery's cycle count") << named
        << "now 48.00 full 90.38 design 111.32 power 12.00 volts 11.27 cycles - model '5B10W13975, 01AV430' "
           "technology 'Li-ion' status 'Discharging'";
    QTest::newRow("F5 peripherals only") << tree::PeripheralBatteriesOnly()
        << "now - full - design - power - volts - cycles - model '' technology '' status ''";
    QTest::newRow("zero full reported as is, no draw known")
        << QStringList{"BAT0: type=Battery; status=full; energy_now=40000000; energy_full=0; energy_full_design=50000000"}
        << "now 40.00 full 0.00 design 50.00 power - volts - cycles - model '' technology '' status 'Full'";
}

void BatteryDetailsTest::detailsSumTheSystemBatteries()
{
    QFETCH(QStringList, supplies);
    QFETCH(QString, expected);
    QTemporaryDir root;
    power::LinuxPowerSource source(tree::Build(root.path(), supplies), root.filePath("no-platform"));
    QCOMPARE(Describe(source.Details()), expected);
}

void BatteryDetailsTest::blockersNameWhatStopsAFullCharge_data()
{
    QTest::addColumn<QString>("battery");
    QTest::addColumn<QString>("conservationMode");  // empty: no IdeaPad
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("named");
    QTest::newRow("limit 80") << "status=Charging; capacity=50; charge_control_end_threshold=80" << "" << 1
                              << QStringList{"BAT0", "80"};
    QTest::newRow("limit 100, full") << "status=Full; capacity=100; charge_control_end_threshold=100" << "" << 0
                                     << QStringList{};
    QTest::newRow("plain full battery") << "status=Full; capacity=100" << "" << 0 << QStringList{};
    QTest::newRow("conservation mode explains not charging") << "status=Not charging; capacity=60" << "1" << 1
                                                             << QStringList{"60"};
    QTest::newRow("conservation mode off") << "status=Charging; capacity=60" << "0" << 0 << QStringList{};
    QTest::newRow("inhibit-charge") << "status=Not charging; capacity=100; charge_behaviour=auto [inhibit-charge] "
                                       "force-discharge" << "" << 1 << QStringList{"BAT0", "inhibit-charge"};
    QTest::newRow("force-discharge") << "status=Discharging; capacity=90; charge_behaviour=auto inhibit-charge "
                                        "[force-discharge]" << "" << 1 << QStringList{"BAT0", "force-discharge"};
    QTest::newRow("behaviour auto") << "status=Charging; capacity=90; charge_behaviour=[auto] inhibit-charge" << ""
                                    << 0 << QStringList{};
    QTest::newRow("not charging at 60, no limit") << "status=Not charging; capacity=60" << "" << 1
                                                  << QStringList{"BAT0", "60"};
    QTest::newRow("not charging at 96.4, no limit") << "status=Not charging; capacity=96.4" << "" << 1
                                                    << QStringList{"96"};
    QTest::newRow("not charging at 97, no limit") << "status=Not charging; capacity=97" << "" << 0 << QStringList{};
    QTest::newRow("not charging at 79, limit 80") << "status=Not charging; capacity=79; charge_control_end_threshold=80"
                                                  << "" << 1 << QStringList{"80"};
    QTest::newRow("not charging at 60, limit 80") << "status=Not charging; capacity=60; charge_control_end_threshold=80"
                                                  << "" << 2 << QStringList{"80", "60"};
    QTest::newRow("a mouse's limit") << "scope=Device; status=Charging; capacity=5; charge_control_end_threshold=80"
                                     << "" << 0 << QStringList{};
}

void BatteryDetailsTest::blockersNameWhatStopsAFullCharge()
{
    QFETCH(QString, battery);
    QFETCH(QString, conservationMode);
    QFETCH(int, count);
    QFETCH(QStringList, named);
    QTemporaryDir root;
    const QString platform = conservationMode.isEmpty()
                                 ? root.filePath("no-platform")
                                 : tree::Build(root.filePath("ideapad"), {"VPC2004:00: conservation_mode=" + conservationMode});
    power::LinuxPowerSource source(
        tree::Build(root.path(), {"BAT0: type=Battery; " + battery, "AC: type=Mains; online=1"}), platform);
    const QStringList blockers = source.ChargeBlockers();
    QCOMPARE(blockers.size(), count);
    for (const QString& text : named)
        QVERIFY2(blockers.join(' ').contains(text), qPrintable(text + " missing from: " + blockers.join(' ')));
}

void BatteryDetailsTest::simulatedDetailsFollowTheChargeAndTheDraw()
{
    qint64 now = 0;
    power::SimulatedBattery battery([&now] { return now; });
    battery.SetCapacityWh(50);
    battery.SetDrawW(10);
    battery.SetAcPlugged(false);
    battery.SetChargePercent(40);
    now = 3'600'000;  // an hour at 10 W: 20 Wh down to 10 Wh
    QCOMPARE(Describe(battery.Details()),
             "now 10.00 full 50.00 design 52.50 power 10.00 volts 11.40 cycles 312 model 'Simulated battery' "
             "technology 'Li-ion' status 'Discharging'");
}

QTEST_GUILESS_MAIN(BatteryDetailsTest)
#include "tst_battery_details.moc"
