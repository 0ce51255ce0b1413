#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>

#include "power/linux_power_source.h"
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
        QTest::newRow("F1 energy units, not charging at threshold") << power_supply_tree::EnergyUnitsAtThreshold() << "1 1 95 -1 -1";
        QTest::newRow("F2 charge units, discharging") << power_supply_tree::ChargeUnitsDischarging() << "0 1 98 22490 22876";
        row("F3 charging, no AC entry, vendor noise", {"battery: type=Battery; status=Charging; capacity=77; voltage_now=4268584",
            "bms: type=BMS; capacity=77; current_now=-1543885", "charge_pump_master: type=Nothing attached"}, "1 9 77 -1 -1");
        QTest::newRow("F4 two batteries weighed by energy") << power_supply_tree::TwoBatteriesSecondDrained() << "0 0 53 14400 27114";
        QTest::newRow("F5 peripheral batteries only") << power_supply_tree::PeripheralBatteriesOnly() << kDesktop;
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
        power::LinuxPowerSource source(power_supply_tree::Build(root.path(), supplies));
        QCOMPARE(Describe(source), record);
    }

    void everyQueryReadsAfreshAndOnlyAMissingDirectoryFails()
    {
        QTemporaryDir root;
        power::LinuxPowerSource source(power_supply_tree::Build(root.path(), {"BAT0: type=Battery; status=Discharging; capacity=50"}));
        QCOMPARE(Describe(source), QStringLiteral("0 0 50 -1 -1"));
        QVERIFY(QDir(root.filePath("devices/BAT0")).removeRecursively());  // pulled out: the link dangles
        QCOMPARE(Describe(source), kDesktop);
        power_supply_tree::Build(root.path(), {"BAT0: type=Battery; status=Charging; capacity=30"});
        QCOMPARE(Describe(source), QStringLiteral("1 10 30 -1 -1"));
        power::LinuxPowerSource missing(root.filePath("missing"));
        QCOMPARE(Describe(missing), QStringLiteral("failed 255 255 255 -1 -1"));
    }
};

QTEST_GUILESS_MAIN(PowerSourcesTest)
#include "tst_power_sources.moc"
