#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <limits>

#include "power/linux_power_source.h"
#include "power/simulated_battery.h"
#include "power/system_power_source.h"
#include "support/power_supply_tree.h"
#include "support/window_fixture.h"

namespace {

// Answers every query with one record, or fails; counts the queries.
class ScriptedSource : public power::PowerStatusSource {
public:
    SYSTEM_POWER_STATUS record{1, 1, 100, 0, -1, -1};
    bool fails = false;
    int queries = 0;
    int Query(SYSTEM_POWER_STATUS& status) override
    {
        ++queries;
        if (fails)
            return 0;
        status = record;
        return 1;
    }
};

struct Summary {
    QString acText = QStringLiteral("start");
    QString levelText = QStringLiteral("start");
    qint16 percent = 1111;
    qint16 fullMinutes = 2222;
    qint16 remainingMinutes = 3333;
};

Summary SummaryOf(const SYSTEM_POWER_STATUS& record)
{
    WindowFixture f;
    ScriptedSource source;
    source.record = record;
    f.platform.power = &source;
    Summary s;
    f.form->GetBatteryInfo(s.acText, s.levelText, s.percent, s.fullMinutes, s.remainingMinutes);
    if (source.queries != 1 || !f.platform.boxes.isEmpty())
        qFatal("expected one query and no box");
    return s;
}

SYSTEM_POWER_STATUS Record(int ac, int flag, int percent, qint32 remaining, qint32 full)
{
    return {static_cast<std::uint8_t>(ac), static_cast<std::uint8_t>(flag), static_cast<std::uint8_t>(percent), 0,
            remaining, full};
}

// Clicks the status button and returns the boxes it showed.
QList<FakePlatform::Box> ClickStatus(WindowFixture& f)
{
    f.form->cmdGP->click();
    return f.platform.boxes;
}

QString StatusBoxFor(power::PowerStatusSource& source)
{
    WindowFixture f;
    f.platform.power = &source;
    const auto boxes = ClickStatus(f);
    if (boxes.size() != 1 || boxes[0].style != platform::vbOKOnly || boxes[0].title != QStringLiteral("Dorvik"))
        qFatal("expected one plain box under the application title");
    return boxes[0].text;
}

}  // namespace

Q_DECLARE_METATYPE(SYSTEM_POWER_STATUS)

class BatteryStatusTest : public QObject {
    Q_OBJECT

private slots:
    void acTextFromTheLineStatus_data();
    void acTextFromTheLineStatus();
    void levelTextIgnoresChargingAndNoBatteryBits_data();
    void levelTextIgnoresChargingAndNoBatteryBits();
    void percentIsPassedUnchanged();
    void minutesTruncateTowardZeroAndFitSixteenBits_data();
    void minutesTruncateTowardZeroAndFitSixteenBits();
    void failedQueryShowsTheErrorAndKeepsTheCallersNumbers();
    void statusBoxLines_data();
    void statusBoxLines();
    void failedQueryGivesTheErrorBoxThenThreeLines();
    void everyClickQueriesAfresh();
    void statusBoxOnFixtureTrees_data();
    void statusBoxOnFixtureTrees();
    void statusBoxOnThisMachine();
    void statusBoxFollowsASimulatedBatteryOnTheFakeClock();
};

void BatteryStatusTest::acTextFromTheLineStatus_data()
{
    QTest::addColumn<int>("ac");
    QTest::addColumn<QString>("text");
    QTest::newRow("on AC") << 1 << "AC";
    QTest::newRow("on battery") << 0 << "DC";
    QTest::newRow("unknown") << 255 << "";
    QTest::newRow("undefined 2") << 2 << "?";
    QTest::newRow("undefined 254") << 254 << "?";
}

void BatteryStatusTest::acTextFromTheLineStatus()
{
    QFETCH(int, ac);
    QFETCH(QString, text);
    QCOMPARE(SummaryOf(Record(ac, 1, 50, -1, -1)).acText, text);
}

void BatteryStatusTest::levelTextIgnoresChargingAndNoBatteryBits_data()
{
    QTest::addColumn<int>("flag");
    QTest::addColumn<QString>("text");
    QTest::newRow("1 high") << 1 << "HIGH";
    QTest::newRow("9 high, charging") << 9 << "HIGH";
    QTest::newRow("2 low") << 2 << "LOW";
    QTest::newRow("10 low, charging") << 10 << "LOW";
    QTest::newRow("4 critical") << 4 << "CRITICAL";
    QTest::newRow("12 critical, charging") << 12 << "CRITICAL";
    QTest::newRow("6 low and critical") << 6 << "UNKNOWN";
    QTest::newRow("0 between") << 0 << "UNKNOWN";
    QTest::newRow("8 charging, between") << 8 << "UNKNOWN";
    QTest::newRow("128 no system battery") << 128 << "UNKNOWN";
    QTest::newRow("129 no battery bit with high") << 129 << "HIGH";
    QTest::newRow("255 unknown") << 255 << "UNKNOWN";
}

void BatteryStatusTest::levelTextIgnoresChargingAndNoBatteryBits()
{
    QFETCH(int, flag);
    QFETCH(QString, text);
    QCOMPARE(SummaryOf(Record(1, flag, 50, -1, -1)).levelText, text);
}

void BatteryStatusTest::percentIsPassedUnchanged()
{
    for (int percent : {0, 1, 99, 100, 255})
        QCOMPARE(SummaryOf(Record(1, 1, percent, -1, -1)).percent, percent);
}

void BatteryStatusTest::minutesTruncateTowardZeroAndFitSixteenBits_data()
{
    QTest::addColumn<qint32>("seconds");
    QTest::addColumn<int>("minutes");
    QTest::newRow("-1 unknown") << -1 << 0;
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("59") << 59 << 0;
    QTest::newRow("60") << 60 << 1;
    QTest::newRow("119") << 119 << 1;
    QTest::newRow("7199") << 7199 << 119;
    QTest::newRow("-59 toward zero") << -59 << 0;
    QTest::newRow("-61 toward zero") << -61 << -1;
    QTest::newRow("-120") << -120 << -2;
    QTest::newRow("1966079 largest that fits") << 1966079 << 32767;
    QTest::newRow("1966080 held at the largest") << 1966080 << 32767;
    QTest::newRow("int32 max held at the largest") << std::numeric_limits<qint32>::max() << 32767;
    QTest::newRow("-1966080 smallest that fits") << -1966080 << -32768;
    QTest::newRow("-1966140 held at the smallest") << -1966140 << -32768;
    QTest::newRow("int32 min held at the smallest") << std::numeric_limits<qint32>::min() << -32768;
}

void BatteryStatusTest::minutesTruncateTowardZeroAndFitSixteenBits()
{
    QFETCH(qint32, seconds);
    QFETCH(int, minutes);
    const Summary remaining = SummaryOf(Record(0, 1, 50, seconds, 600));
    QCOMPARE(remaining.remainingMinutes, minutes);
    QCOMPARE(remaining.fullMinutes, 10);
    const Summary full = SummaryOf(Record(0, 1, 50, 600, seconds));
    QCOMPARE(full.fullMinutes, minutes);
    QCOMPARE(full.remainingMinutes, 10);
}

void BatteryStatusTest::failedQueryShowsTheErrorAndKeepsTheCallersNumbers()
{
    WindowFixture f;
    ScriptedSource source;
    source.fails = true;
    f.platform.power = &source;
    Summary s;
    f.form->GetBatteryInfo(s.acText, s.levelText, s.percent, s.fullMinutes, s.remainingMinutes);
    QCOMPARE(source.queries, 1);
    QCOMPARE(s.acText, QStringLiteral("?"));
    QCOMPARE(s.levelText, QStringLiteral("?"));
    QCOMPARE(s.percent, 1111);
    QCOMPARE(s.fullMinutes, 2222);
    QCOMPARE(s.remainingMinutes, 3333);
    QCOMPARE(f.platform.boxes.size(), 1);
    QCOMPARE(f.platform.boxes[0].text, QStringLiteral("Battery information couldn't be obtained!"));
    QCOMPARE(f.platform.boxes[0].title, QStringLiteral("Error"));
    QCOMPARE(f.platform.boxes[0].style, 16);
}

void BatteryStatusTest::statusBoxLines_data()
{
    QTest::addColumn<SYSTEM_POWER_STATUS>("record");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("on battery, low, both times")
        << Record(0, 2, 25, 2700, 11520)
        << QStringList{"AC Status=DC", "Battery Level=LOW", "Remaining charge=25%",
                       "Est. Battery Life if fully charged=192 mins", "Est. Remaining time=45 mins"};
    QTest::newRow("on AC, charging high, remaining unknown")
        << Record(1, 9, 97, -1, 11520)
        << QStringList{"AC Status=AC", "Battery Level=HIGH", "Remaining charge=97%",
                       "Est. Battery Life if fully charged=192 mins"};
    QTest::newRow("full time unknown, remaining shown")
        << Record(0, 0, 50, 3600, -1)
        << QStringList{"AC Status=DC", "Battery Level=UNKNOWN", "Remaining charge=50%", "Est. Remaining time=60 mins"};
    QTest::newRow("under a minute and negative times leave their lines out")
        << Record(0, 0, 50, 59, -120) << QStringList{"AC Status=DC", "Battery Level=UNKNOWN", "Remaining charge=50%"};
    QTest::newRow("percent 255 leaves its line out; AC unknown is empty")
        << Record(255, 255, 255, -1, -1) << QStringList{"AC Status=", "Battery Level=UNKNOWN"};
    QTest::newRow("percent 0 is shown")
        << Record(0, 6, 0, 60, 60)
        << QStringList{"AC Status=DC", "Battery Level=UNKNOWN", "Remaining charge=0%",
                       "Est. Battery Life if fully charged=1 mins", "Est. Remaining time=1 mins"};
    QTest::newRow("charging between low and high, undefined AC")
        << Record(7, 8, 50, -1, -1) << QStringList{"AC Status=?", "Battery Level=UNKNOWN", "Remaining charge=50%"};
    QTest::newRow("largest minutes, no grouping")
        << Record(0, 4, 3, 1966079, std::numeric_limits<qint32>::max())
        << QStringList{"AC Status=DC", "Battery Level=CRITICAL", "Remaining charge=3%",
                       "Est. Battery Life if fully charged=32767 mins", "Est. Remaining time=32767 mins"};
}

void BatteryStatusTest::statusBoxLines()
{
    QFETCH(SYSTEM_POWER_STATUS, record);
    QFETCH(QStringList, lines);
    ScriptedSource source;
    source.record = record;
    QCOMPARE(StatusBoxFor(source), CrLfJoined(lines));
    QCOMPARE(source.queries, 1);
}

void BatteryStatusTest::failedQueryGivesTheErrorBoxThenThreeLines()
{
    WindowFixture f;
    ScriptedSource source;
    source.fails = true;
    f.platform.power = &source;
    const QString statusBefore = f.form->StatusText();
    const auto boxes = ClickStatus(f);
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0].text, QStringLiteral("Battery information couldn't be obtained!"));
    QCOMPARE(boxes[0].title, QStringLiteral("Error"));
    QCOMPARE(boxes[0].style, 16);
    QCOMPARE(boxes[1].text, CrLfJoined({"AC Status=?", "Battery Level=?", "Remaining charge=0%"}));
    QCOMPARE(boxes[1].title, QStringLiteral("Dorvik"));
    QCOMPARE(boxes[1].style, 0);
    QCOMPARE(f.form->StatusText(), statusBefore);
    QVERIFY(!f.platform.endCalled);
}

void BatteryStatusTest::everyClickQueriesAfresh()
{
    WindowFixture f;
    ScriptedSource source;
    f.platform.power = &source;
    source.record = Record(1, 9, 80, -1, -1);
    f.form->cmdGP->click();
    source.record = Record(0, 1, 79, 600, 3000);
    f.form->cmdGP->click();
    QCOMPARE(source.queries, 2);
    QCOMPARE(f.platform.boxes.size(), 2);
    QCOMPARE(f.platform.boxes[0].text.split("\r\n").first(), QStringLiteral("AC Status=AC"));
    QCOMPARE(f.platform.boxes[1].text, CrLfJoined({"AC Status=DC", "Battery Level=HIGH", "Remaining charge=79%",
                                                    "Est. Battery Life if fully charged=50 mins",
                                                    "Est. Remaining time=10 mins"}));
}

void BatteryStatusTest::statusBoxOnFixtureTrees_data()
{
    namespace tree = power_supply_tree;
    QTest::addColumn<QStringList>("supplies");
    QTest::addColumn<QStringList>("lines");
    const QStringList desktop{"AC Status=AC", "Battery Level=UNKNOWN"};
    QTest::newRow("F1") << tree::EnergyUnitsAtThreshold()
                        << QStringList{"AC Status=AC", "Battery Level=HIGH", "Remaining charge=95%"};
    QTest::newRow("F2") << tree::ChargeUnitsDischarging()
                        << QStringList{"AC Status=DC", "Battery Level=HIGH", "Remaining charge=98%",
                                       "Est. Battery Life if fully charged=381 mins", "Est. Remaining time=374 mins"};
    QTest::newRow("F3") << tree::CapacityOnlyWithVendorNoise()
                        << QStringList{"AC Status=AC", "Battery Level=HIGH", "Remaining charge=77%"};
    QTest::newRow("F4") << tree::TwoBatteriesSecondDrained()
                        << QStringList{"AC Status=DC", "Battery Level=UNKNOWN", "Remaining charge=53%",
                                       "Est. Battery Life if fully charged=451 mins", "Est. Remaining time=240 mins"};
    QTest::newRow("F5") << tree::PeripheralBatteriesOnly() << desktop;
    QTest::newRow("F6") << QStringList{} << desktop;
    QTest::newRow("F7") << tree::UsbCAdaptorAtThreshold()
                        << QStringList{"AC Status=AC", "Battery Level=HIGH", "Remaining charge=80%"};
}

void BatteryStatusTest::statusBoxOnFixtureTrees()
{
    QFETCH(QStringList, supplies);
    QFETCH(QStringList, lines);
    QTemporaryDir root;
    power::LinuxPowerSource source(power_supply_tree::Build(root.path(), supplies));
    QCOMPARE(StatusBoxFor(source), CrLfJoined(lines));
}

void BatteryStatusTest::statusBoxOnThisMachine()
{
    const QDir supplies(QStringLiteral("/sys/class/power_supply"));
    if (!supplies.exists() || !supplies.isEmpty())
        QSKIP("this machine has power supplies; the fixture trees cover those");
    const auto source = power::CreateSystemPowerSource();
    QCOMPARE(StatusBoxFor(*source), CrLfJoined({"AC Status=AC", "Battery Level=UNKNOWN"}));
}

void BatteryStatusTest::statusBoxFollowsASimulatedBatteryOnTheFakeClock()
{
    WindowFixture f;
    power::SimulatedBattery battery([&f] { return f.platform.ElapsedMs(); });
    battery.SetCapacityWh(60);
    battery.SetDrawW(12);
    battery.SetAcPlugged(false);
    f.platform.power = &battery;
    f.platform.RunIdle(60 * 60'000);
    f.form->cmdGP->click();
    QCOMPARE(f.platform.boxes.last().text,
             CrLfJoined({"AC Status=DC", "Battery Level=HIGH", "Remaining charge=80%",
                         "Est. Battery Life if fully charged=300 mins", "Est. Remaining time=240 mins"}));
}

QTEST_MAIN(BatteryStatusTest)
#include "tst_battery_status.moc"
