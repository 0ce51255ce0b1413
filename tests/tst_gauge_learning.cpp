// SPDX-License-Identifier: GPL-3.0-or-later
// What a run needs for the gauge to relearn: the heat's hold on the
// discharge and the rested voltage reading; and when to calibrate again.
#include <QLocale>
#include <QTest>
#include <cmath>

#include "calibration/battery_rest.h"
#include "calibration/heat_hold_back.h"
#include "report/next_calibration.h"
#include "report/report_facts.h"
#include "support/run_builder.h"

using namespace calibration;

Q_DECLARE_METATYPE(QList<calibration::RestReading>)
Q_DECLARE_METATYPE(report::RunRecord)

namespace {

constexpr qint64 kMinute = 60'000;

// "b41" a battery at 41 °C, "z4" a zone 4 °C below its passive trip,
// "b30,z2" both, "-" nothing known.
power::Temperatures Reading(const QString& token)
{
    power::Temperatures t;
    for (const QString& part : token.split(QLatin1Char(','))) {
        if (part.startsWith(QLatin1Char('b')))
            t.batteryCelsius = part.mid(1).toDouble();
        else if (part.startsWith(QLatin1Char('z')))
            t.passiveMarginCelsius = part.mid(1).toDouble();
    }
    return t;
}

// A voltage recovering towards its rest value by `mv` with time constant
// `tauMinutes`, one reading a minute from minute 0, at `ma` (nothing: not told).
QList<RestReading> Relaxing(int minutes, double mv, double tauMinutes, std::optional<double> ma = std::nullopt)
{
    QList<RestReading> readings;
    for (int m = 0; m <= minutes; ++m)
        readings.append({m * kMinute, (11'000 - mv * std::exp(-m / tauMinutes)) * 1000,
                         ma ? std::optional<double>(*ma * 1000) : std::nullopt, std::nullopt});
    return readings;
}

const QDateTime kStart(QDate(2026, 12, 6), QTime(10, 0));

// A run of 60 Wh design from 50 to 5 Wh, a sample each 10 min, the battery
// at 25 to 35 °C beside a hotter zone; on mains with settled rests at both ends.
report::RunRecord Learnable(bool onMains, report::RunEnding ending = report::RunEnding::SwitchedOff)
{
    using report::RestSpan;
    report::RunRecord run = testsupport::BuildRun(kStart, {}, onMains ? report::RunEnding::RanOutOnMains : ending);
    run.facts.onMains = onMains;
    for (int i = 0; i <= 9; ++i)
        run.samples.append({.time = kStart.addSecs(i * 600), .awakeSeconds = i * 600, .acLineStatus = onMains,
                            .percent = 100 - 10 * i, .energyWh = 50 - 5.0 * i, .dischargeOnMains = onMains,
                            .batteryCelsius = 25.0 + i, .zoneCelsius = 70, .zoneType = QStringLiteral("x86_pkg_temp")});
    const QDateTime end = run.samples.last().time;
    run.rests.spans = {RestSpan{report::RestSpot::Full, kStart.addSecs(-2100), kStart, report::RestOutcome::Rested, 1.9}};
    if (onMains)
        run.rests.spans.append({report::RestSpot::Empty, end, end.addSecs(5400), report::RestOutcome::Rested, 2.2});
    return run;
}

}  // namespace

class GaugeLearningTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        qputenv("TZ", "Europe/Berlin");  // summer time from 29 March to 25 October 2026
    }

    // One reading a minute; the workers after each, of 8, and the minutes held.
    void holdBackHasSlack_data()
    {
        QTest::addColumn<QString>("readings");
        QTest::addColumn<QString>("workers");
        QTest::addColumn<int>("heldMinutes");
        QTest::newRow("past 40, back under 37") << "b39 b40.5 b39 b37 b36.9 b38" << "8 4 4 4 8 8" << 3;
        QTest::newRow("40 itself is not past it") << "b40 b40" << "8 8" << 0;
        QTest::newRow("two holds summed") << "b41 b36 b41 b41" << "4 8 4 4" << 2;
        QTest::newRow("zone within 5 of its trip, free at 8") << "z6 z5 z7 z7.9 z8" << "8 4 4 4 8" << 3;
        QTest::newRow("a battery sensor outranks the zones") << "b30,z2 b41,z20 b38,z0" << "8 4 4" << 1;
        QTest::newRow("nothing known keeps the state") << "b41 - - b36" << "4 4 4 8" << 3;
    }
    void holdBackHasSlack()
    {
        QFETCH(QString, readings);
        HeatHoldBack holdBack(8);
        QStringList workers;
        qint64 ms = 0;
        for (const QString& token : readings.split(QLatin1Char(' '))) {
            workers << QString::number(holdBack.Feed(Reading(token), ms));
            ms += kMinute;
        }
        QTEST(workers.join(QLatin1Char(' ')), "workers");
        QTEST(int(holdBack.HeldBackMs(ms - kMinute) / kMinute), "heldMinutes");
    }

    void restNeedsQuietAndSettledVoltage_data()
    {
        QTest::addColumn<bool>("atFull");
        QTest::addColumn<QList<RestReading>>("readings");
        QTest::addColumn<int>("skipAt");  // the minute of a skip; -1 none
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("status");  // after the last reading fed
        const auto row = [](const char* name, bool full, QList<RestReading> readings, int skipAt, RestState state,
                            const char* status) {
            QTest::newRow(name) << full << readings << skipAt << int(state)
                                << QStringLiteral("Resting at %1 so that the gauge can take a reading: %2")
                                       .arg(full ? "full" : "empty", QString::fromUtf8(status));
        };
        // 51.1 e^(-t/5) mV changes in the ten minutes before t: under 2.4 from 15.3 on.
        row("settles at full", true, Relaxing(90, 8, 5), -1, RestState::Rested, "16 min, voltage settled, 2.1 mV in 10 min");
        row("settles slowly at empty", false, Relaxing(240, 40, 40, 20), -1, RestState::Rested,
            "63 min, voltage settled, 2.4 mV in 10 min");
        row("the cap at full", true, Relaxing(90, 60, 60), -1, RestState::Capped, "60 min, voltage settling, 4.0 mV in 10 min");
        row("the longer cap at empty", false, Relaxing(240, 200, 200), -1, RestState::Capped,
            "180 min, voltage settling, 4.2 mV in 10 min");
        row("a current that does not fall", true, Relaxing(90, 0, 1, 300), -1, RestState::Capped,
            "60 min, waiting for the current to stop (300 mA)");
        row("a skip", false, Relaxing(240, 40, 40), 3, RestState::Skipped, "3 min, voltage settling, 2.9 mV in 3 min");
        row("no voltage reading", true, {{0, std::nullopt, 0, std::nullopt}, {kMinute, 11e6, 0, std::nullopt}}, -1,
            RestState::NoVoltage, "0 min, voltage settling");
        QList<RestReading> trickle = Relaxing(30, 0, 1);
        for (int m = 0; m < 5; ++m)
            trickle[m].powerUw = 2.5e6;  // told by power alone, until the charge is held off
        row("quiet from the fifth minute", true, trickle, -1, RestState::Rested, "15 min, voltage settled, 0.0 mV in 10 min");
    }
    void restNeedsQuietAndSettledVoltage()
    {
        QFETCH(bool, atFull);
        QFETCH(QList<RestReading>, readings);
        QFETCH(int, skipAt);
        BatteryRest rest(atFull ? RestPlace::Full : RestPlace::Empty, 0);
        for (const RestReading& reading : readings) {
            rest.Feed(reading);
            if (rest.Minutes() == skipAt)
                rest.Skip();
            if (rest.Ended())
                break;
        }
        QTEST(int(rest.State()), "state");
        QTEST(RestStatusText(rest), "status");
    }

    // The conclusion, and one line of the block that leads to it.
    void learningConditionsFromTheRecord_data()
    {
        using namespace report;
        QTest::addColumn<RunRecord>("run");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("conclusion");
        QTest::newRow("unplug run that ran out") << Learnable(false) << "restAtEmpty" << "not known: the machine was off"
            << "The gauge had what it needs to relearn its capacity if the machine stayed off for an hour before the adaptor went back in.";
        QTest::newRow("on mains, both rests settled") << Learnable(true) << "restAtFull"
            << "35 min, voltage settled (1.9 mV in 10 min)" << "The gauge had what it needs to relearn its capacity.";
        RunRecord skipped = Learnable(true);
        skipped.rests.spans.last().outcome = RestOutcome::Skipped;
        QTest::newRow("skipped rest") << skipped << "restAtEmpty" << "90 min, skipped before the voltage settled"
                                      << "The rest at empty was skipped.";
        RunRecord noInhibit = Learnable(true);
        noInhibit.rests.spans.clear();
        noInhibit.rests.missed = {{RestSpot::Full, NoRestReason::NoInhibitCharge}, {RestSpot::Empty, NoRestReason::NoInhibitCharge}};
        QTest::newRow("no inhibit-charge") << noInhibit << "restAtEmpty" << "none: the battery cannot hold charging off"
                                           << "There was no rest at full: the battery cannot hold charging off.";
        RunRecord hot = Learnable(true);
        hot.samples[4].batteryCelsius = 44;  // held back on the way: no reading is taken then
        hot.recharge = {{.time = hot.rests.spans.last().start.addSecs(60), .percent = 0, .batteryCelsius = 40.4}};
        QTest::newRow("too hot at a reading") << hot << "temperature"
            << "25–44 °C by the battery's sensor; at the readings 25–40.4 °C, outside 10–40 °C"
            << "The battery was at 40.4 °C where the gauge takes its reading: it takes none above 40 °C.";
        hot.recharge.clear();
        QTest::newRow("hot only on the way") << hot << "temperature"
            << "25–44 °C by the battery's sensor; at the readings 25–34 °C, within 10–40 °C"
            << "The gauge had what it needs to relearn its capacity.";
        RunRecord zoneOnly = Learnable(true);
        for (RunSample& sample : zoneOnly.samples)
            sample.batteryCelsius.reset();
        zoneOnly.samples[4].zoneType = QStringLiteral("acpitz");
        zoneOnly.samples[4].zoneCelsius = 71;
        QTest::newRow("a hot zone, shown but not judged") << zoneOnly << "temperature"
            << "70–71 °C by the hottest thermal zone, acpitz; the battery's own is not known"
            << "The gauge had what it needs to relearn its capacity.";
        RunRecord broken = Learnable(false);
        broken.samples[6].acLineStatus = power::kAcOnline;
        QTest::newRow("broken discharge") << broken << "unbroken" << "broken: charging 60 min into the run"
                                          << "The discharge was broken by charging 60 min into the run.";
        RunRecord gap = Learnable(true);
        gap.recharge = {gap.samples.takeAt(3)};  // charged, then discharged on
        gap.recharge.first().dischargeOnMains = false;
        QTest::newRow("a gap on mains") << gap << "unbroken" << "broken: charging 30 min into the run"
                                        << "The discharge was broken by charging 30 min into the run.";
        RunRecord little = Learnable(true);
        little.samples.resize(5);  // 50 to 30 Wh of 60
        QTest::newRow("too little charge passed") << little << "chargePassed"
            << "33 % of design (20.0 of 60.0 Wh); more than 37 % is needed"
            << "Too little charge passed between full and empty: 33 % of design.";
        QTest::newRow("replugged") << Learnable(false, RunEnding::Replugged) << "restAtEmpty"
            << "none: the discharge did not reach empty" << "The discharge did not reach empty: the gauge had nothing to relearn from.";
    }
    void learningConditionsFromTheRecord()
    {
        QFETCH(report::RunRecord, run);
        QFETCH(QString, line);
        const report::LearningConditions found = report::JudgeLearning(run);
        const auto named = std::find_if(found.lines.cbegin(), found.lines.cend(),
                                        [&](const report::FactLine& fact) { return fact.name == line; });
        QVERIFY(named != found.lines.cend());
        QTEST(named->value, "value");
        QTEST(found.conclusion, "conclusion");
        QCOMPARE(found.emptyRestUnknown, found.lines[1].value == QStringLiteral("not known: the machine was off"));
    }

    // Against the newest earlier run on the same battery that ran out.
    void comparesWithTheEarlierCalibration()
    {
        using namespace report;
        const auto run = [](int daysBefore, const char* serial, double fullWh, RunEnding ending, QList<testsupport::Step> steps) {
            RunRecord made = testsupport::BuildRun(kStart.addDays(-daysBefore), steps, ending);
            made.facts.batterySerial = QString::fromLatin1(serial);
            made.facts.fullWh = fullWh;
            return made;
        };
        const QList<testsupport::Step> drifted{{0, 50, 10.0}, {60, 45, 10.0}, {120, 8, 10.0}};
        const QList<RunRecord> runs{run(4, "A", 50, RunEnding::SwitchedOff, drifted),
                                    run(3, "A", 60, RunEnding::SwitchedOff, drifted),  // an earlier one
                                    run(2, "B", 40, RunEnding::SwitchedOff, drifted),  // another battery
                                    run(1, "A", 48, RunEnding::Replugged, drifted),
                                    run(0, "A", 47, RunEnding::SwitchedOff, {{0, 100, 10.0}, {60, 50, 10.0}, {120, 0, 10.0}})};
        const power::BatteryDetails now{.serial = QStringLiteral("A")};
        const ReportFacts facts = BuildReportFacts(runs, 4, now, kStart);
        QVERIFY(facts.since);
        QCOMPARE(SinceText(*facts.since, kStart.date()),
                 QStringLiteral("Since the calibration of 3 Dec: largest error 20 → 0 points, full capacity 60.0 → 47.0 Wh"));
        QVERIFY(FactsLines(facts).contains(QStringLiteral("  ") + SinceText(*facts.since, kStart.date())));
        QVERIFY(!BuildReportFacts(runs, 3, now, kStart).since);  // it did not run out
        QVERIFY(!BuildReportFacts(runs, 0, now, kStart).since);  // none before it
    }

    // Local time is Berlin's; the reminder's words after "the last one was".
    void dueAfterThreeMonthsOrThirtyCycles_data()
    {
        QTest::addColumn<QString>("ran");
        QTest::addColumn<int>("cyclesThen");  // -1: not counted
        QTest::addColumn<QString>("now");
        QTest::addColumn<int>("cyclesNow");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* ran, int then, const char* now, int cycles, const char* expected) {
            QTest::newRow(name) << QString(ran) << then << QString(now) << cycles << QString(expected);
        };
        // 91 days of 24 hours, but 92 calendar days.
        row("across the spring change", "2026-03-28T23:30+01:00", -1, "2026-06-28T00:30+02:00", -1, "due 2026-06-28: 92 days ago.");
        row("a minute short", "2026-03-28T23:30+01:00", -1, "2026-06-27T23:59+02:00", -1, "not due 2026-06-28: 91 days ago.");
        row("across the autumn change", "2026-10-24T00:10+02:00", -1, "2027-01-23T23:50+01:00", -1, "not due 2027-01-24: 91 days ago.");
        row("with cycles", "2026-09-03T10:00+02:00", 100, "2026-12-06T09:00+01:00", 141, "due 2026-12-03: 94 days ago (41 cycles since).");
        row("30 cycles first", "2026-12-01T10:00+01:00", 120, "2026-12-20T10:00+01:00", 150, "due 2027-03-01: 19 days ago (30 cycles since).");
        row("29 cycles", "2026-12-01T10:00+01:00", 120, "2026-12-20T10:00+01:00", 149, "not due 2027-03-01: 19 days ago (29 cycles since).");
        row("a new battery counts from 0", "2026-12-01T10:00+01:00", 300, "2026-12-02T10:00+01:00", 31, "not due 2027-03-01: 1 day ago.");
        row("cycles not counted now", "2026-11-30T10:00+01:00", 12, "2027-02-28T08:00+01:00", -1, "due 2027-02-28: 90 days ago.");
    }
    void dueAfterThreeMonthsOrThirtyCycles()
    {
        QFETCH(QString, ran);
        QFETCH(int, cyclesThen);
        QFETCH(QString, now);
        QFETCH(int, cyclesNow);
        const auto counted = [](int cycles) { return cycles < 0 ? std::nullopt : std::optional<int>(cycles); };
        const report::NextCalibration next = report::NextCalibrationAfter(
            {QDateTime::fromString(ran, Qt::ISODate), counted(cyclesThen)}, counted(cyclesNow), QDateTime::fromString(now, Qt::ISODate));
        const QString text = report::ReminderText(next);
        QVERIFY(text.startsWith(QStringLiteral("Battery calibration due: the last one was ")));
        QTEST(QStringLiteral("%1 %2: %3").arg(next.due ? "due" : "not due", next.date.toString(Qt::ISODate), text.mid(42)), "expected");
    }
};

QTEST_GUILESS_MAIN(GaugeLearningTest)
#include "tst_gauge_learning.moc"
