#include <QTemporaryDir>
#include <QtTest>

#include "power/linux_power_source.h"
#include "power/simulated_battery.h"
#include "support/power_supply_tree.h"

namespace tree = power_supply_tree;

// Every field, to the hundredth, so that a wrong unit or a stray sum shows.
static QString Describe(const power::BatteryDetails& d)
{
    const auto Value = [](std::optional<double> v) { return v ? QString::number(*v, 'f', 2) : QStringLiteral("-"); };
    return QStringLiteral("now %1 full %2 design %3 power %4 volts %5 cycles %6 model '%7' technology '%8' status '%9'")
        .arg(Value(d.energyNowWh), Value(d.energyFullWh), Value(d.energyDesignWh), Value(d.powerW), Value(d.voltageV),
             d.cycleCount ? QString::number(*d.cycleCount) : QStringLiteral("-"), d.model, d.technology, d.status);
}

class BatteryDetailsTest : public QObject {
    Q_OBJECT

private slots:
    void detailsSumTheSystemBatteries_data()
    {
        QTest::addColumn<QStringList>("supplies");
        QTest::addColumn<QString>("expected");
        QTest::newRow("F1 energy units") << tree::EnergyUnitsAtThreshold()
            << "now 65.44 full 69.24 design 80.40 power 0.00 volts - cycles 326 model '' technology '' status 'Not charging'";
        // 11.4 V from voltage_min_design, not the 12.6 V of voltage_now.
        QTest::newRow("F2 charge units times the design voltage") << tree::ChargeUnitsDischarging()
            << "now 53.84 full 54.77 design 56.00 power 8.62 volts 12.60 cycles - model '' technology 'Li-poly' status 'Discharging'";
        QStringList named = tree::TwoBatteriesSecondDrained();
        named[0] += "; model_name=5B10W13975; cycle_count=-1; status=discharging";
        named[1] += "; model_name=01AV430; cycle_count=40; technology=Li-ion";
        QTest::newRow("F4 two batteries summed, models joined, the first one's cycle count") << named
            << "now 48.00 full 90.38 design 111.32 power 12.00 volts 11.27 cycles - model '5B10W13975, 01AV430' "
               "technology 'Li-ion' status 'Discharging'";
        QTest::newRow("F5 peripherals only") << tree::PeripheralBatteriesOnly()
            << "now - full - design - power - volts - cycles - model '' technology '' status ''";
        QTest::newRow("zero full reported as is, no draw known")
            << QStringList{"BAT0: type=Battery; status=full; energy_now=40000000; energy_full=0; energy_full_design=50000000"}
            << "now 40.00 full 0.00 design 50.00 power - volts - cycles - model '' technology '' status 'Full'";
    }
    void detailsSumTheSystemBatteries()
    {
        QFETCH(QStringList, supplies);
        QTemporaryDir root;
        power::LinuxPowerSource source(tree::Build(root.path(), supplies), root.filePath("no-platform"));
        QTEST(Describe(source.Details()), "expected");
    }

    void blockersNameWhatStopsAFullCharge_data()
    {
        QTest::addColumn<QString>("battery");
        QTest::addColumn<QString>("conservationMode");  // empty: no IdeaPad
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("named");
        const auto row = [](const char* name, const QString& battery, const char* mode, int count, QStringList named) {
            QTest::newRow(name) << battery << QString(mode) << count << named;
        };
        const QString limit80 = QStringLiteral("; charge_control_end_threshold=80");
        row("limit 80", "status=Charging; capacity=50" + limit80, "", 1, {"BAT0", "80"});
        row("limit 100, full", "status=Full; capacity=100; charge_control_end_threshold=100", "", 0, {});
        row("conservation mode explains not charging", "status=Not charging; capacity=60", "1", 1, {"60"});
        row("inhibit", "status=Not charging; capacity=100; charge_behaviour=auto [inhibit-charge]", "", 1, {"inhibit"});
        row("not charging at 60, no limit", "status=Not charging; capacity=60", "", 1, {"BAT0", "60"});
        row("not charging at 97, no limit", "status=Not charging; capacity=97", "", 0, {});
        row("not charging at 79, limit 80", "status=Not charging; capacity=79" + limit80, "", 1, {"80"});
        row("not charging at 60, limit 80", "status=Not charging; capacity=60" + limit80, "", 2, {"80", "60"});
    }
    void blockersNameWhatStopsAFullCharge()
    {
        QFETCH(QString, battery);
        QFETCH(QString, conservationMode);
        QFETCH(QStringList, named);
        QTemporaryDir root;
        const QString platform = conservationMode.isEmpty() ? root.filePath("no-platform")
            : tree::Build(root.filePath("ideapad"), {"VPC2004:00: conservation_mode=" + conservationMode});
        power::LinuxPowerSource source(
            tree::Build(root.path(), {"BAT0: type=Battery; " + battery, "AC: type=Mains; online=1"}), platform);
        const QStringList blockers = source.ChargeBlockers();
        QTEST(int(blockers.size()), "count");
        for (const QString& text : named)
            QVERIFY2(blockers.join(' ').contains(text), qPrintable(text + " missing from: " + blockers.join(' ')));
    }

    void simulatedDetailsFollowTheChargeAndTheDraw()
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
};

QTEST_GUILESS_MAIN(BatteryDetailsTest)
#include "tst_battery_details.moc"
