#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "power/linux_power_source.h"
#include "support/power_supply_tree.h"

namespace tree = power_supply_tree;

namespace {

struct Expected {
    int ac, flag, percent, remaining, full;
};

SYSTEM_POWER_STATUS QueryOrFail(const QString& directory)
{
    power::LinuxPowerSource source(directory);
    SYSTEM_POWER_STATUS status;
    std::memset(&status, 0xA5, sizeof status);
    if (source.Query(status) == 0)
        qFatal("query of %s failed", qPrintable(directory));
    return status;
}

// Every field, so that a stray value anywhere shows.
QString Describe(const SYSTEM_POWER_STATUS& s)
{
    return QStringLiteral("ac %1 flag %2 percent %3 reserved %4 remaining %5 full %6")
        .arg(s.ACLineStatus).arg(s.BatteryFlag).arg(s.BatteryLifePercent).arg(s.Reserved1)
        .arg(s.BatteryLifeTime).arg(s.BatteryFullLifeTime);
}

QString Describe(const Expected& e)
{
    return Describe({static_cast<std::uint8_t>(e.ac), static_cast<std::uint8_t>(e.flag),
                     static_cast<std::uint8_t>(e.percent), 0, e.remaining, e.full});
}

// On battery at 50 %: 30 of 60 Wh at 10 W, so 3 h left of 6 h.
const QStringList kHalfFullOnBattery = {
    "BAT0: type=Battery; status=Discharging; energy_now=30000000; energy_full=60000000; "
    "energy_full_design=80000000; power_now=10000000",
    "AC: type=Mains; online=0"};

}  // namespace

Q_DECLARE_METATYPE(Expected)

class LinuxPowerSourceTest : public QObject {
    Q_OBJECT

private slots:
    void recordFollowsTheSupplies_data();
    void recordFollowsTheSupplies();
    void flagFollowsTheWindowsThresholds_data();
    void flagFollowsTheWindowsThresholds();
    void badAttributeCountsAsMissing_data();
    void badAttributeCountsAsMissing();
    void fifoOrDirectoryAsAttributeNeitherHangsNorCounts();
    void unreadableEntriesAreSkipped();
    void everyQueryReadsAfresh();
    void failsOnlyWhenTheDirectoryCannotBeRead();
};

void LinuxPowerSourceTest::recordFollowsTheSupplies_data()
{
    QTest::addColumn<QStringList>("supplies");
    QTest::addColumn<Expected>("expected");
    const Expected desktop{1, 128, 255, -1, -1};

    QTest::newRow("F1 energy units, not charging at threshold") << tree::EnergyUnitsAtThreshold() << Expected{1, 1, 95, -1, -1};
    QTest::newRow("F2 charge units, discharging") << tree::ChargeUnitsDischarging() << Expected{0, 1, 98, 22490, 22876};
    QTest::newRow("F3 charging, no AC entry, vendor noise") << tree::CapacityOnlyWithVendorNoise() << Expected{1, 9, 77, -1, -1};
    QTest::newRow("F4 two batteries weighed by energy") << tree::TwoBatteriesSecondDrained() << Expected{0, 0, 53, 14400, 27114};
    QTest::newRow("F5 peripheral batteries only") << tree::PeripheralBatteriesOnly() << desktop;
    QTest::newRow("F6a desktop with mains") << QStringList{"AC: type=Mains; online=1"} << desktop;
    QTest::newRow("F6b desktop with an idle USB-C port")
        << QStringList{"ucsi-source-psy-USBC000:001: type=USB; online=0; usb_type=[C] PD PD_PPS"} << desktop;
    QTest::newRow("F6c no supplies at all") << QStringList{} << desktop;
    QTest::newRow("F7 USB-C adaptor at threshold") << tree::UsbCAdaptorAtThreshold() << Expected{1, 1, 80, -1, -1};
    QStringList withoutMains = tree::UsbCAdaptorAtThreshold();
    withoutMains.removeAt(2);
    QTest::newRow("F7 without the AC entry") << withoutMains << Expected{1, 1, 80, -1, -1};

    QTest::newRow("quirk: status Unknown at 100 % on AC")
        << QStringList{"BAT0: type=Battery; status=Unknown; voltage_min_design=11100000; voltage_now=12439000; "
                       "current_now=1000; charge_full_design=4000000; charge_full=3328000; charge_now=3328000; capacity=100",
                       "AC: type=Mains; online=1"}
        << Expected{1, 1, 100, -1, -1};
    QTest::newRow("quirk: Full, on battery, no current")
        << QStringList{"BAT0: type=Battery; status=Full; voltage_min_design=11100000; current_now=0; "
                       "charge_full=3328000; charge_now=3328000",
                       "AC: type=Mains; online=0"}
        << Expected{0, 1, 100, -1, -1};
    QTest::newRow("quirk: full above design, no capacity")
        << QStringList{"BAT0: type=Battery; status=Full; energy_full=94860000; energy_full_design=93960000; energy_now=94860000"}
        << Expected{255, 1, 100, -1, -1};
    QTest::newRow("quirk: capacity 110")
        << QStringList{"BAT0: type=Battery; status=Full; capacity=110", "AC: type=Mains; online=1"} << Expected{1, 1, 100, -1, -1};
    QTest::newRow("quirk: capacity -NaN falls back to the energy ratio")
        << QStringList{"BAT0: type=Battery; status=Charging; capacity=-NaN; energy_now=20000000; energy_full=80000000"}
        << Expected{1, 10, 25, -1, -1};

    QTest::newRow("charge units without any voltage: the voltage cancels")
        << QStringList{"BAT0: type=Battery; status=Discharging; charge_now=2000000; charge_full=4000000; current_now=-1000000"}
        << Expected{0, 0, 50, 7200, 14400};
    QTest::newRow("several batteries, one without energies: mean of percents")
        << QStringList{"BAT0: type=Battery; status=Discharging; capacity=90",
                       "BAT1: type=Battery; status=Discharging; energy_now=10000000; energy_full=50000000"}
        << Expected{0, 0, 55, -1, -1};
    QTest::newRow("several batteries, the second charging")
        << QStringList{"BAT0: type=Battery; status=Not charging; capacity=80", "BAT1: type=Battery; status=Charging; capacity=40",
                       "AC: type=Mains; online=0"}
        << Expected{1, 8, 60, -1, -1};
    QTest::newRow("several batteries, no percent known")
        << QStringList{"BAT0: type=Battery; status=Discharging", "BAT1: type=Battery; status=Discharging"}
        << Expected{0, 255, 255, -1, -1};
    QTest::newRow("absent battery, UPS and hidden entry are not system batteries")
        << QStringList{"BAT0: type=Battery; present=0; status=Discharging; capacity=10",
                       "ups: type=UPS; status=Discharging; capacity=10",
                       ".BAT1: type=Battery; status=Discharging; capacity=10"}
        << desktop;
    QTest::newRow("battery not charging, every line supply offline")
        << QStringList{"BAT0: type=Battery; status=Not charging; capacity=50", "USB: type=USB_PD; online=0"}
        << Expected{0, 0, 50, -1, -1};
    QTest::newRow("peripheral status never sets AC")
        << QStringList{"BAT0: type=Battery; status=Unknown; capacity=50",
                       "mouse: type=Battery; scope=Device; status=Charging; capacity=10"}
        << Expected{255, 0, 50, -1, -1};
    QTest::newRow("online 2 is online; status case is ignored")
        << QStringList{"BAT0: type=Battery; status=discharging; capacity=50", "wpc: type=Wireless; online=2"}
        << Expected{1, 0, 50, -1, -1};
    QTest::newRow("rate right after unplug is 0: times unknown")
        << QStringList{"BAT0: type=Battery; status=Discharging; energy_now=30000000; energy_full=60000000; power_now=0"}
        << Expected{0, 0, 50, -1, -1};
    QTest::newRow("rate at or below 0.01 W: times unknown")
        << QStringList{"BAT0: type=Battery; status=Discharging; energy_now=30000000; energy_full=60000000; power_now=10000"}
        << Expected{0, 0, 50, -1, -1};
    QTest::newRow("rate above 300 W: times unknown")
        << QStringList{"BAT0: type=Battery; status=Discharging; energy_now=30000000; energy_full=60000000; power_now=300000001"}
        << Expected{0, 0, 50, -1, -1};
    QTest::newRow("300 W exactly is still a rate")
        << QStringList{"BAT0: type=Battery; status=Discharging; energy_now=30000000; energy_full=60000000; power_now=300000000"}
        << Expected{0, 0, 50, 360, 720};
    QTest::newRow("less than 0.1 Wh left: times unknown")
        << QStringList{"BAT0: type=Battery; status=Discharging; energy_now=99999; energy_full=60000000; power_now=1000000"}
        << Expected{0, 6, 0, -1, -1};
    QTest::newRow("more than 240 hours: times unknown")
        << QStringList{"BAT0: type=Battery; status=Discharging; energy_now=24100000; energy_full=60000000; power_now=100000"}
        << Expected{0, 0, 40, -1, -1};
    QTest::newRow("240 hours exactly is still a time; full beyond it is not")
        << QStringList{"BAT0: type=Battery; status=Discharging; energy_now=24000000; energy_full=60000000; power_now=100000"}
        << Expected{0, 0, 40, 864000, -1};
    QTest::newRow("more energy now than at full: full time raised to the time left")
        << QStringList{"BAT0: type=Battery; status=Discharging; capacity=100; energy_now=62000000; energy_full=60000000; "
                       "power_now=-31000000"}
        << Expected{0, 1, 100, 7200, 7200};
}

void LinuxPowerSourceTest::recordFollowsTheSupplies()
{
    QFETCH(QStringList, supplies);
    QFETCH(Expected, expected);
    QTemporaryDir root;
    QCOMPARE(Describe(QueryOrFail(tree::Build(root.path(), supplies))), Describe(expected));
}

void LinuxPowerSourceTest::flagFollowsTheWindowsThresholds_data()
{
    QTest::addColumn<QString>("capacity");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("flag");
    QTest::newRow("100 full") << "100" << "Full" << 1;
    QTest::newRow("67 high") << "67" << "Discharging" << 1;
    QTest::newRow("67 high, charging") << "67" << "Charging" << 9;
    QTest::newRow("66.5 rounds up to high") << "66.5" << "Discharging" << 1;
    QTest::newRow("66 between") << "66" << "Discharging" << 0;
    QTest::newRow("66 between, charging") << "66" << "Charging" << 8;
    QTest::newRow("33 between") << "33" << "Not charging" << 0;
    QTest::newRow("32 low") << "32" << "Discharging" << 2;
    QTest::newRow("32 low, charging") << "32" << "Charging" << 10;
    QTest::newRow("5 low") << "5" << "Discharging" << 2;
    QTest::newRow("4 low and critical") << "4" << "Discharging" << 6;
    QTest::newRow("4 low and critical, charging") << "4" << "Charging" << 14;
    QTest::newRow("0 low and critical") << "0" << "Discharging" << 6;
}

void LinuxPowerSourceTest::flagFollowsTheWindowsThresholds()
{
    QFETCH(QString, capacity);
    QFETCH(QString, status);
    QFETCH(int, flag);
    QTemporaryDir root;
    const auto record = QueryOrFail(tree::Build(
        root.path(), {QStringLiteral("BAT0: type=Battery; status=%1; capacity=%2").arg(status, capacity)}));
    QCOMPARE(int(record.BatteryFlag), flag);
}

void LinuxPowerSourceTest::badAttributeCountsAsMissing_data()
{
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Expected>("expected");
    const Expected fromEnergies{0, 0, 50, 10800, 21600};

    QTest::newRow("capacity valid") << "capacity" << QByteArray("98\n") << Expected{0, 1, 98, 10800, 21600};
    QTest::newRow("capacity without newline, blanks around") << "capacity" << QByteArray(" \t98 ") << Expected{0, 1, 98, 10800, 21600};
    QTest::newRow("capacity garbage") << "capacity" << QByteArray("garbage\n") << fromEnergies;
    QTest::newRow("capacity empty") << "capacity" << QByteArray() << fromEnergies;
    QTest::newRow("capacity blank") << "capacity" << QByteArray(" \n") << fromEnergies;
    QTest::newRow("capacity trailing junk") << "capacity" << QByteArray("98abc\n") << fromEnergies;
    QTest::newRow("capacity hex") << "capacity" << QByteArray("0x62\n") << fromEnergies;
    QTest::newRow("capacity nan") << "capacity" << QByteArray("nan\n") << fromEnergies;
    QTest::newRow("capacity -NaN") << "capacity" << QByteArray("-NaN\n") << fromEnergies;
    QTest::newRow("capacity inf") << "capacity" << QByteArray("inf\n") << fromEnergies;
    QTest::newRow("capacity overflowing") << "capacity" << QByteArray("1e999\n") << fromEnergies;
    QTest::newRow("capacity negative") << "capacity" << QByteArray("-5\n") << fromEnergies;
    QTest::newRow("capacity two values") << "capacity" << QByteArray("98\n97\n") << fromEnergies;
    QTest::newRow("capacity a huge file of digits") << "capacity" << QByteArray(1 << 20, '9') << fromEnergies;
    QTest::newRow("capacity NUL bytes") << "capacity" << QByteArray(8, '\0') << fromEnergies;
    QTest::newRow("energy_now negative") << "energy_now" << QByteArray("-1\n") << Expected{0, 255, 255, -1, -1};
    QTest::newRow("energy_full zero: design value") << "energy_full" << QByteArray("0\n") << Expected{0, 0, 38, 10800, 28800};
    QTest::newRow("energy_full garbage: design value") << "energy_full" << QByteArray("x\n") << Expected{0, 0, 38, 10800, 28800};
    QTest::newRow("power_now NaN") << "power_now" << QByteArray("NaN\n") << Expected{0, 0, 50, -1, -1};
    QTest::newRow("power_now negative is a rate") << "power_now" << QByteArray("-10000000\n") << fromEnergies;
    QTest::newRow("status garbage") << "status" << QByteArray("\xff\xfe\n") << fromEnergies;
    QTest::newRow("present garbage: present") << "present" << QByteArray("yes\n") << fromEnergies;
    QTest::newRow("type garbage: not a supply") << "type" << QByteArray("Battery!\n") << Expected{1, 128, 255, -1, -1};
    QTest::newRow("type huge") << "type" << QByteArray("Battery\n").repeated(100000) << Expected{1, 128, 255, -1, -1};
}

void LinuxPowerSourceTest::badAttributeCountsAsMissing()
{
    QFETCH(QString, attribute);
    QFETCH(QByteArray, content);
    QFETCH(Expected, expected);
    QTemporaryDir root;
    const QString directory = tree::Build(root.path(), kHalfFullOnBattery);
    QFile file(directory + "/BAT0/" + attribute);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
    file.close();
    QCOMPARE(Describe(QueryOrFail(directory)), Describe(expected));
}

void LinuxPowerSourceTest::fifoOrDirectoryAsAttributeNeitherHangsNorCounts()
{
    QTemporaryDir root;
    const QString directory = tree::Build(root.path(), kHalfFullOnBattery);
    QVERIFY(::mkfifo(QFile::encodeName(directory + "/BAT0/capacity").constData(), 0600) == 0);
    QVERIFY(QFile::remove(directory + "/BAT0/power_now"));
    QVERIFY(QDir(directory + "/BAT0").mkdir("power_now"));
    QVERIFY(QFile::remove(directory + "/AC/type"));
    QVERIFY(::mkfifo(QFile::encodeName(directory + "/AC/type").constData(), 0600) == 0);
    // With the AC entry unreadable and no rate, the battery alone decides.
    QCOMPARE(Describe(QueryOrFail(directory)), Describe(Expected{0, 0, 50, -1, -1}));
}

void LinuxPowerSourceTest::unreadableEntriesAreSkipped()
{
    QTemporaryDir root;
    const QString directory = tree::Build(root.path(), {"AC: type=Mains; online=0"});
    QVERIFY(QFile::link(root.filePath("devices/BAT0"), directory + "/BAT0"));  // dangling
    QFile plainFile(directory + "/BAT1");
    QVERIFY(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    QVERIFY(::mkfifo(QFile::encodeName(directory + "/BAT2").constData(), 0600) == 0);
    QCOMPARE(Describe(QueryOrFail(directory)), Describe(Expected{1, 128, 255, -1, -1}));
}

void LinuxPowerSourceTest::everyQueryReadsAfresh()
{
    QTemporaryDir root;
    const QString directory = tree::Build(root.path(), tree::ChargeUnitsDischarging());
    power::LinuxPowerSource source(directory);
    SYSTEM_POWER_STATUS status{};
    QVERIFY(source.Query(status) != 0);
    QCOMPARE(Describe(status), Describe(Expected{0, 1, 98, 22490, 22876}));

    // The battery is pulled out: its link now dangles.
    QVERIFY(QDir(root.filePath("devices/BAT0")).removeRecursively());
    QVERIFY(source.Query(status) != 0);
    QCOMPARE(Describe(status), Describe(Expected{1, 128, 255, -1, -1}));

    tree::Build(root.path(), {"BAT0: type=Battery; status=Charging; capacity=30"});
    QVERIFY(source.Query(status) != 0);
    QCOMPARE(Describe(status), Describe(Expected{1, 10, 30, -1, -1}));
}

void LinuxPowerSourceTest::failsOnlyWhenTheDirectoryCannotBeRead()
{
    QTemporaryDir root;
    QFile plainFile(root.filePath("power_supply"));
    QVERIFY(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    for (const QString& path : {root.filePath("power_supply"), root.filePath("missing"), QString()}) {
        power::LinuxPowerSource source(path);
        SYSTEM_POWER_STATUS status{};
        QCOMPARE(source.Query(status), 0);
        QCOMPARE(Describe(status), Describe(Expected{255, 255, 255, -1, -1}));
    }
    QVERIFY(QDir(root.path()).mkdir("empty"));
    QCOMPARE(Describe(QueryOrFail(root.filePath("empty"))), Describe(Expected{1, 128, 255, -1, -1}));
}

QTEST_GUILESS_MAIN(LinuxPowerSourceTest)
#include "tst_linux_power_source.moc"
