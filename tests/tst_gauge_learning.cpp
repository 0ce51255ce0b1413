// SPDX-License-Identifier: GPL-3.0-or-later
// What a run needs for the gauge to relearn: the heat's hold on the
// discharge and the rested voltage reading; and when to calibrate again.
#include <QLocale>
#include <QTest>
#include <cmath>

#include "calibration/battery_rest.h"
#include "calibration/heat_hold_back.h"
#include "report/next_calibration.h"

using namespace calibration;

Q_DECLARE_METATYPE(QList<calibration::RestReading>)

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
