// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>

#include "power/linux_power_source.h"
#include "power/linux_temperatures.h"
#include "support/power_supply_tree.h"

namespace {

// Every field but the reserved byte, "failed" first if the query failed.
QString Describe(power::LinuxPowerSource& source)
{
    SYSTEM_POWER_STATUS s;
    std::memset(&s, 0xA5, sizeof s);
    const bool ok = source.Query(s) != 0;
    return QStringLiteral("%1%2 %3 %4 %5 %6").arg(ok ? QString() : QStringLiteral("failed "))
        .arg(s.ACLineStatus).arg(s.BatteryFlag).arg(s.BatteryLifePercent).arg(s.BatteryLifeTime).arg(s.BatteryFullLifeTime);
}

const QString kDesktop = QStringLiteral("1 128 255 -1 -1");

namespace tree = power_supply_tree;

// Every field, to the hundredth, so that a wrong unit or a stray sum shows.
QString Describe(const power::BatteryDetails& d)
{
    const auto Value = [](std::optional<double> v) { return v ? QString::number(*v, 'f', 2) : QStringLiteral("-"); };
    return QStringLiteral("now %1 full %2 design %3 power %4 volts %5 cycles %6 model '%7' technology '%8' status '%9'")
        .arg(Value(d.energyNowWh), Value(d.energyFullWh), Value(d.energyDesignWh), Value(d.powerW), Value(d.voltageV),
             d.cycleCount ? QString::number(*d.cycleCount) : QStringLiteral("-"), d.model, d.technology, d.status)
        + (d.timeToFullMinutes ? QStringLiteral(" to full %1 min").arg(*d.timeToFullMinutes) : QString())
        + (d.manufacturer.isEmpty() && d.serial.isEmpty() ? QString()
                                                          : QStringLiteral(" by '%1' serial '%2'").arg(d.manufacturer, d.serial));
}

}  // namespace

class PowerSourcesTest : public QObject {
    Q_OBJECT

private slots:
    // Attribute sets of real machines (public bug reports, UPower's own tests)
    // and the quirks seen on them.
    void recordFollowsTheSupplies_data()
    {
        QTest::addColumn<QStringList>("supplies");
        QTest::addColumn<QString>("record");
        const auto row = [](const char* name, QStringList supplies, QString record) { QTest::newRow(name) << supplies << record; };
        QTest::newRow("F1 energy units, not charging at threshold") << tree::EnergyUnitsAtThreshold() << "1 1 95 -1 -1";
        QTest::newRow("F2 charge units, discharging") << tree::ChargeUnitsDischarging() << "0 1 98 22490 22876";
        row("F3 charging, no AC entry, vendor noise", {"battery: type=Battery; status=Charging; capacity=77; voltage_now=4268584",
            "bms: type=BMS; capacity=77; current_now=-1543885", "charge_pump_master: type=Nothing attached"}, "1 9 77 -1 -1");
        QTest::newRow("F4 two batteries weighed by energy") << tree::TwoBatteriesSecondDrained() << "0 0 53 14400 27114";
        QTest::newRow("F5 peripheral batteries only") << tree::PeripheralBatteriesOnly() << kDesktop;
        row("F6 no supplies at all", {}, kDesktop);
        row("F7 USB-C adaptor at threshold, no AC entry", {"ucsi-source-psy-USBC000:001: type=USB; online=1; scope=System",
            "ucsi-source-psy-USBC000:002: type=USB; online=0", "BAT0: type=Battery; status=Not charging; capacity=80"}, "1 1 80 -1 -1");
        row("status Unknown at 100 % on AC", {"BAT0: type=Battery; status=Unknown; capacity=100", "AC: type=Mains; online=1"}, "1 1 100 -1 -1");
        row("Full on battery, no current", {"BAT0: type=Battery; status=Full; current_now=0; charge_full=3328000; charge_now=3328000",
            "AC: type=Mains; online=0"}, "0 1 100 -1 -1");
        row("full above design, no capacity", {"BAT0: type=Battery; status=Full; energy_full=94860000; energy_now=94860000"}, "255 1 100 -1 -1");
        row("capacity 110", {"BAT0: type=Battery; status=Full; capacity=110"}, "255 1 100 -1 -1");
        row("capacity -NaN: energy ratio", {"BAT0: type=Battery; status=Charging; capacity=-NaN; energy_now=20000000; energy_full=80000000"},
            "1 10 25 -1 -1");
        row("66.5 % rounds up to high", {"BAT0: type=Battery; status=Discharging; capacity=66.5"}, "0 1 67 -1 -1");
        row("66 % charging is between", {"BAT0: type=Battery; status=Charging; capacity=66"}, "1 8 66 -1 -1");
        row("4 % is low and critical", {"BAT0: type=Battery; status=Discharging; capacity=4"}, "0 6 4 -1 -1");
        row("absent battery, UPS and hidden entry", {"BAT0: type=Battery; present=0; capacity=10",
            "ups: type=UPS; status=Discharging; capacity=10", ".BAT1: type=Battery; status=Discharging; capacity=10"}, kDesktop);
        row("no rate right after unplugging", {"BAT0: type=Battery; status=Discharging; energy_now=30000000; energy_full=60000000; "
            "power_now=0"}, "0 0 50 -1 -1");
    }

    void recordFollowsTheSupplies()
    {
        QFETCH(QStringList, supplies);
        QFETCH(QString, record);
        QTemporaryDir root;
        power::LinuxPowerSource source(tree::Build(root.path(), supplies));
        QCOMPARE(Describe(source), record);
    }

    void everyQueryReadsAfreshAndOnlyAMissingDirectoryFails()
    {
        QTemporaryDir root;
        power::LinuxPowerSource source(tree::Build(root.path(), {"BAT0: type=Battery; status=Discharging; capacity=50"}));
        QCOMPARE(Describe(source), QStringLiteral("0 0 50 -1 -1"));
        QVERIFY(QDir(root.filePath("devices/BAT0")).removeRecursively());  // pulled out: the link dangles
        QCOMPARE(Describe(source), kDesktop);
        tree::Build(root.path(), {"BAT0: type=Battery; status=Charging; capacity=30"});
        QCOMPARE(Describe(source), QStringLiteral("1 10 30 -1 -1"));
        power::LinuxPowerSource missing(root.filePath("missing"));
        QCOMPARE(Describe(missing), QStringLiteral("failed 255 255 255 -1 -1"));
    }

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
        named[0] += "; model_name=5B10W13975; cycle_count=-1; status=discharging; manufacturer=SMP; serial_number=1234";
        named[1] += "; model_name=01AV430; cycle_count=40; technology=Li-ion; time_to_full_now=5400; serial_number=987";
        QTest::newRow("F4 two batteries summed, models joined, the first one's cycle count") << named
            << "now 48.00 full 90.38 design 111.32 power 12.00 volts 11.27 cycles - model '5B10W13975, 01AV430' "
               "technology 'Li-ion' status 'Discharging' to full 90 min by 'SMP' serial '1234, 987'";
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
        // No limit below 100, whether the file says 100 or is not there: one cut-off at 97.
        row("not charging at 97, limit 100", "status=Not charging; capacity=97; charge_control_end_threshold=100", "", 0, {});
        row("not charging at 96, limit 100", "status=Not charging; capacity=96; charge_control_end_threshold=100", "", 1, {"96"});
        row("not charging at 96, no limit", "status=Not charging; capacity=96", "", 1, {"96"});
        // Older ThinkPad kernels: the same limits without "control" in their names.
        row("older stop limit 80", "status=Charging; capacity=50; charge_stop_threshold=80", "", 1, {"BAT0", "80"});
        row("older stop limit 100, full", "status=Full; capacity=100; charge_stop_threshold=100", "", 0, {});
        row("newer limit wins over older", "status=Charging; capacity=50; charge_stop_threshold=80; charge_control_end_threshold=100", "", 0, {});
        row("waiting above the start limit", "status=Not charging; capacity=85; charge_control_start_threshold=75", "", 1, {"75", "85", "start limit"});
        row("waiting above the older start limit", "status=Not charging; capacity=85; charge_start_threshold=75; charge_stop_threshold=100", "", 1, {"75", "start limit"});
        row("below the start limit, still not charging", "status=Not charging; capacity=60; charge_start_threshold=75", "", 1, {"60", "charge limit or battery care"});
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

    // Trees as real machines lay them out: the zones' unset or later passive
    // trips, a mouse's sensor, a zone without a reading.
    void temperaturesOfBatteryAndZones_data()
    {
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no battery sensor") << "thinkpad" << "battery - zone x86_pkg_temp 67.0 trip - margin 47.0";
        QTest::newRow("battery sensor") << "battery-sensor" << "battery 31.2 zone acpitz 38.0 trip - margin -";
        QTest::newRow("passive trip") << "passive-trip" << "battery - zone x86_pkg_temp 58.0 trip - margin 5.0";
        QTest::newRow("no tree") << "missing" << "battery - zone - margin -";
    }
    void temperaturesOfBatteryAndZones()
    {
        QFETCH(QString, machine);
        const QString root = QStringLiteral(TEST_DATA_DIR "/sysfs/") + machine;
        const power::Temperatures t = power::LinuxTemperatures(root + "/power_supply", root + "/thermal").Read();
        const auto Value = [](std::optional<double> v) { return v ? QString::number(*v, 'f', 1) : QStringLiteral("-"); };
        const QString zone = t.hottestZone ? QStringLiteral("%1 %2 trip %3").arg(t.hottestZone->type, Value(t.hottestZone->celsius),
                                                                                 Value(t.hottestZone->passiveTripCelsius))
                                           : QStringLiteral("-");
        QTEST(QStringLiteral("battery %1 zone %2 margin %3").arg(Value(t.batteryCelsius), zone, Value(t.passiveMarginCelsius)),
              "expected");
    }
};

QTEST_GUILESS_MAIN(PowerSourcesTest)
#include "tst_power_sources.moc"
