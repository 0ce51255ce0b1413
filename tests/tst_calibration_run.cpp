// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/inotify.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QtTest>

#include <QLabel>

#include "calibration/mains_discharge.h"
#include "calibration/rest_keeping.h"
#include "calibration/stage_notices.h"
#include "report/report_facts.h"
#include "report/run_record.h"
#include "storage/date_text.h"
#include "storage/lock_lines.h"
#include "storage/run_liveness.h"
#include "support/scripted_power.h"
#include "support/window_fixture.h"

namespace {

using platform::vbCancel;
using platform::vbNo;
using platform::vbOK;
using platform::vbYes;

constexpr qint64 kMinute = 60 * 1000;
const QString S1 = QStringLiteral("Please connect the AC Adaptor to begin the calibration run!");
const QString S5 = QStringLiteral("Calibration run now Started");

// A window on the fake platform with a scripted battery; every status text
// the run sets is recorded with the time it was set.
struct Run {
    ScriptedPower battery;
    WindowFixture f{&battery};
    FakePlatform& platform = f.platform;
    frmMain& form = *f.form;
    QStringList texts;
    QList<qint64> textTimes;

    Run()
    {
        QObject::connect(form.TxtStatus, &QPlainTextEdit::textChanged, [this] {
            texts.append(form.StatusText());
            textTimes.append(platform.ElapsedMs());
        });
    }
    void Click() { form.Command1->click(); }
    // The battery changes at a moment of simulated time, whatever the run
    // is doing then; the next read sees it.
    void At(qint64 ms, std::function<void(SYSTEM_POWER_STATUS&)> change)
    {
        changes.insert(ms, std::move(change));
        battery.onQuery = [this](SYSTEM_POWER_STATUS& s) {
            while (!changes.isEmpty() && changes.firstKey() <= platform.ElapsedMs())
                changes.take(changes.firstKey())(battery.status);
            s = battery.status;
        };
    }
    QMultiMap<qint64, std::function<void(SYSTEM_POWER_STATUS&)>> changes;
    // Plugged in, full, high and not charging; OK to M4 and `m5` to M5;
    // when asked to, unplugged as soon as the unplug wait asks for it.
    void ReadyOnMains(int m5 = vbYes, bool unplug = false)
    {
        battery.Set(1, 1, 100);
        platform.Answer(vbOK);
        platform.Answer(m5);
        QObject::connect(form.TxtStatus, &QPlainTextEdit::textChanged, [this, unplug] {
            if (unplug && form.StatusText().startsWith(QStringLiteral("Please REMOVE THE AC ADAPTER")))
                battery.status.ACLineStatus = 0;
        });
    }
    // Firmware discharging on mains, as the helper's calls set it: it says
    // "Discharging" lagMs after the write (never when negative) and loses a
    // point every 6 s; at autoAt % it goes back to auto by itself and stays
    // there. Once the discharge is put back it charges a point every 6 s and
    // relearns a full capacity of 42 Wh. The adaptor is out from unplugAt
    // to plugAt (none when negative).
    void FirmwareOnMains(qint64 lagMs, int autoAt, qint64 unplugAt = -1, qint64 plugAt = -1)
    {
        battery.onQuery = [=, this](SYSTEM_POWER_STATUS& s) {
            const qint64 t = platform.ElapsedMs();
            const QString last = platform.charging.calls.value(platform.charging.calls.size() - 1);
            if (forcedAt < 0 && last.startsWith(QStringLiteral("DischargeOnMains")))
                forcedAt = t;
            if (forcedAt >= 0 && chargedAt < 0 && (last.startsWith(QStringLiteral("Restore")) || helperGone))
                chargedAt = t;
            const bool out = unplugAt >= 0 && t >= unplugAt && (plugAt < 0 || t < plugAt);
            int percent = 100;
            QString word = QStringLiteral("Full");
            if (chargedAt >= 0) {
                percent = int(std::min<qint64>(100, chargedFrom + (t - chargedAt) / 6000));
                word = percent < 100 ? QStringLiteral("Charging") : word;
            } else if (forcedAt >= 0 && (lagMs < 0 || t < forcedAt + lagMs)) {
                word = QStringLiteral("Not charging");
            } else if (forcedAt >= 0) {
                percent = int(std::max<qint64>(std::max(autoAt, 0), 100 - (t - forcedAt - lagMs) / 6000));
                word = percent == autoAt ? QStringLiteral("Not charging") : QStringLiteral("Discharging");
            }
            // Held off, the battery rests and its voltage relaxes.
            const bool inhibited = last.startsWith(QStringLiteral("InhibitCharge"));
            inhibitedAt = !inhibited ? -1 : inhibitedAt < 0 ? t : inhibitedAt;
            emptyAt = emptyAt < 0 && forcedAt >= 0 && percent == 0 ? t : emptyAt;
            word = inhibited ? QStringLiteral("Not charging") : out ? QStringLiteral("Discharging") : word;
            if (voltage)
                battery.details.voltageV = 12.0 + (inhibited ? 0.3 * (1 - std::exp(-double(t - inhibitedAt) / relaxMs)) : 0);
            s.ACLineStatus = out ? 0 : 1;
            s.BatteryFlag = word == QLatin1String("Charging") ? 8 : percent > 33 ? 1 : 2;
            s.BatteryLifePercent = std::uint8_t(percent);
            chargedFrom = chargedAt >= 0 ? chargedFrom : percent;
            battery.details.status = word;
            battery.details.energyNowWh = 0.45 * percent;
            battery.details.energyFullWh = chargedAt >= 0 && percent == 100 ? 42.0 : 45.0;
            battery.temperatures.batteryCelsius = emptyAt < 0 ? 35.0 : 30.0;  // it cools once the draw stops
        };
    }
    qint64 forcedAt = -1, chargedAt = -1, inhibitedAt = -1, emptyAt = -1;
    int chargedFrom = 0;
    bool voltage = false;
    double relaxMs = 5 * kMinute;
    bool helperGone = false;
    QString Runs() const { return QFileInfo(f.LogPath()).path() + QStringLiteral("/runs"); }
    QStringList Log() const
    {
        QFile file(f.LogPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n"))
                                              : QStringList();
    }
    QStringList BoxTexts() const
    {
        QStringList result;
        for (const auto& box : platform.boxes)
            result.append(box.text.section(QStringLiteral("\r\n"), 0, 0));
        return result;
    }
};

int EventCount(int inotifyDescriptor)
{
    alignas(inotify_event) char buffer[4096];
    const ssize_t size = read(inotifyDescriptor, buffer, sizeof buffer);
    int count = 0;
    for (ssize_t at = 0; at < size;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        count += event->len > 0 && qstrcmp(event->name, "Dorvik.log") == 0;
        at += sizeof(inotify_event) + event->len;
    }
    return count;
}

}  // namespace

class CalibrationRunTest : public QObject {
    Q_OBJECT

private slots:
    void failedFirstReadEndsAfterM1()
    {
        Run r;
        r.battery.result = 0;
        r.Click();
        QVERIFY(r.platform.endCalled);
        QCOMPARE(r.BoxTexts(), QStringList({QStringLiteral("Error returning battery status (no battery?)")}));
        QCOMPARE(r.platform.boxes[0].style, 16);
        QCOMPARE(r.platform.pumps, 0);
    }

    void chargeWaitAsksOnlyWhenUnmovedAndGoesOnOnlyWhenHigh()
    {
        Run r;
        r.battery.Set(1, 9, 79);  // high and charging
        r.At(15 * kMinute, [](SYSTEM_POWER_STATUS& s) { s.BatteryLifePercent = 80; });  // moved: no question
        QList<qint64> askedAt;
        for (int answer : {vbNo, vbYes, vbYes}) {
            r.platform.Answer([&, answer](const FakePlatform::Box&) {
                askedAt.append(r.platform.ElapsedMs() + r.form.Seconds);  // Seconds is reset before asking
                return answer;
            });
        }
        r.At(70 * kMinute, [](SYSTEM_POWER_STATUS& s) { s.BatteryFlag = 1; });
        r.platform.Answer(vbOK);
        r.platform.Answer(vbCancel);
        r.Click();
        // Asked after the second, third and fourth windows; the last Yes found
        // the battery high and not charging and went on to the set-up.
        const QString m3 = QStringLiteral("The battery does not seem to be charging!");
        QCOMPARE(r.BoxTexts().mid(0, 3), QStringList({m3, m3, m3}));
        QCOMPARE(r.platform.unexpectedBoxes, 0);
        QCOMPARE(r.platform.boxes[3].text.left(24), QStringLiteral("Please set up the Power "));
        for (int i = 0; i < 3; ++i)
            QVERIFY(askedAt[i] > (i + 2) * 20 * kMinute && askedAt[i] < (i + 2) * 21 * kMinute);
    }

    void chargeWaitUnknownReadings_data()
    {
        QTest::addColumn<bool>("twice");
        QTest::newRow("one unknown reading is forgiven") << false;
        QTest::newRow("two unknown readings end the run") << true;
    }

    void chargeWaitUnknownReadings()
    {
        QFETCH(bool, twice);
        Run r;
        r.battery.Set(1, 8, 40);
        r.At(1800, [](SYSTEM_POWER_STATUS& s) { s.BatteryLifePercent = 255; });
        r.At(twice ? 9000 : 2500, [](SYSTEM_POWER_STATUS& s) { s.BatteryLifePercent = 41; });
        r.platform.At(6000, [&] { r.form.cmdExit->click(); });
        r.Click();
        QVERIFY(r.platform.sleeps.contains(2000));
        if (twice) {
            QCOMPARE(r.BoxTexts(), QStringList({QStringLiteral("Unknown battery charge level, cannot continue!")}));
            QCOMPARE(r.platform.boxes[0].style, 48);
            QCOMPARE(r.platform.sleeps.last(), 2000);
        } else {
            QVERIFY(r.platform.boxes.isEmpty());
            // The pass of the second look (at 4 s) sets no text: 41 shows a pass later.
            QVERIFY(r.texts.last().contains(QStringLiteral("41%")));
            QVERIFY(r.textTimes.last() >= 4500);
        }
    }

    void adaptorWaitLeadsToANewChargeWindow()
    {
        Run r;
        r.battery.Set(0, 0, 70);
        r.At(4200, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; s.BatteryFlag = 8; });
        r.At(10 * kMinute, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 0; });
        r.At(10 * kMinute + 3000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; });
        qint64 secondsAfterReplug = -1;
        r.platform.At(10 * kMinute + 6000, [&] {
            secondsAfterReplug = r.form.Seconds;
            r.form.cmdExit->click();
        });
        r.Click();
        // S1 once a second until plugged in; pulled during the charge wait, S1
        // again, and the replug starts a new window.
        QCOMPARE(r.texts.first(), S1);
        QCOMPARE(r.platform.sleeps.mid(0, 6), QList<int>({1000, 1000, 1000, 1000, 1000, 500}));
        QCOMPARE(r.texts.count(S1), 2);
        QVERIFY(r.texts.last().contains(QStringLiteral("70%")));
        QVERIFY(secondsAfterReplug >= 0 && secondsAfterReplug < 5);
    }

    void chargeWaitAtFullButChargingCyclesWithoutSleeping()
    {
        Run r;
        r.battery.Set(1, 9, 99);
        r.At(3000, [](SYSTEM_POWER_STATUS& s) { s.BatteryLifePercent = 100; });
        r.At(4000, [](SYSTEM_POWER_STATUS& s) { s.BatteryFlag = 1; });
        r.platform.Answer(vbOK);
        r.platform.Answer(vbCancel);
        r.Click();
        // Between 3 s and 4 s the run pumped and read about a thousand times
        // without sleeping.
        QVERIFY(r.platform.sleeps.size() <= 7);
        QVERIFY(r.battery.queries > 900);
        QVERIFY(r.texts[r.texts.size() - 2].contains(QStringLiteral("100%")));
    }

    void setupRepeatsOnNoAndEndsOnCancel()
    {
        Run r;
        r.ReadyOnMains(vbNo);
        r.platform.Answer(vbOK);
        r.platform.Answer(vbCancel);
        r.Click();
        // A full battery goes straight to the set-up: no charge-wait text, no sleep.
        QCOMPARE(r.texts.size(), 1);
        QVERIFY(r.texts[0].startsWith(QStringLiteral("Dorvik keeps the screen from locking")));
        QCOMPARE(r.platform.launches.size(), 2);
        QCOMPARE(r.platform.launches[0].program, QStringLiteral("power-panel"));
        QCOMPARE(r.platform.boxes.size(), 4);
        QVERIFY(r.platform.sleeps.isEmpty());
        QVERIFY(r.platform.endCalled);
    }

    // What the locks took, once their answers are in (at most 2 s after the
    // click), is what the window and the notice say at the settings step.
    void powerSettingsStepSaysWhatHolds_data()
    {
        QTest::addColumn<QStringList>("locks");
        QTest::addColumn<qint64>("answeredAtMs");  // the locks are taken then; 0 before the click, -1 never
        QTest::addColumn<QStringList>("advice");
        const QString critical = QStringLiteral(
            "Only you can set what happens when the battery is nearly empty: where the power settings offer it, set "
            "the critical battery level as low as it goes. Shutting down, hibernating or suspending there all end "
            "the run well.");
        const QString suspendOff = QStringLiteral("In the desktop's power settings, turn automatic suspend on battery "
                                                  "off (\"Automatic Suspend\" or \"Suspend when inactive\").");
        const QString both = QStringLiteral("Dorvik keeps the machine from suspending and the screen from locking while the run lasts.");
        QTest::newRow("suspend and screen") << QStringList{"logind idle: taken", "logind sleep: taken, answered late",
                                                          "GNOME session manager: not present"}
                                            << qint64(0) << QStringList{both, critical};
        QTest::newRow("screen only") << QStringList{"screen saver: taken again after screen saver restarted",
                                                   "logind sleep: refused (org.freedesktop.DBus.Error.AccessDenied: no)",
                                                   "logind handle-lid-switch: kept through a restart of logind"}
                                     << qint64(0)
                                     << QStringList{"Dorvik keeps the screen from locking and a closed lid from suspending "
                                                    "it while the run lasts.", suspendOff, critical};
        QTest::newRow("nothing taken") << QStringList{"logind sleep: not present", "nothing was taken: the machine may sleep during the run"}
                                       << qint64(0)
                                       << QStringList{"Dorvik could not keep this machine awake by itself.", suspendOff, critical};
        QTest::newRow("answers come late") << QStringList{"logind sleep: waiting for an answer", "logind idle: waiting for an answer"}
                                           << qint64(1500) << QStringList{both, critical};
        QTest::newRow("no answer") << QStringList{"logind sleep: no answer within 2 s, still waiting"} << qint64(-1)
                                   << QStringList{"Dorvik could not keep this machine awake by itself.", suspendOff, critical};
    }
    void powerSettingsStepSaysWhatHolds()
    {
        QFETCH(QStringList, locks);
        QFETCH(qint64, answeredAtMs);
        QFETCH(QStringList, advice);
        Run r;
        r.ReadyOnMains(vbCancel);
        r.platform.awakeLocks = storage::ParseLockLines(locks);
        if (answeredAtMs > 0)
            r.platform.At(answeredAtMs, [&] {
                r.platform.awakeLocks = storage::ParseLockLines({"logind sleep: taken", "logind idle: taken"});
            });
        r.Click();
        QCOMPARE(r.texts.size(), 1);
        QCOMPARE(r.texts[0], QStringList(advice + QStringList{"Then close the power settings and click on OK."}).join("\r\n"));
        QVERIFY(r.textTimes[0] >= answeredAtMs && r.textTimes[0] <= 2100);
        // The notice, and its urgent copies while M4 and M5 wait, say the same.
        QCOMPARE(r.platform.notices.size(), 3);
        for (const auto& notice : r.platform.notices)
            QCOMPARE(notice.body, "The battery is full. " + advice.join(' ') + " Then answer OK and Yes in Dorvik's window.");
    }

    void chargeBlockersAskBeforeTheRun_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("liftRefusal");  // empty: no lift offered
        QTest::addColumn<QStringList>("changes");   // the helper's calls after Offers
        const QString lift = QStringLiteral("LiftChargeLimit BAT0 asking"), restore = QStringLiteral("Restore BAT0");
        QTest::newRow("No keeps the window as it was") << int(vbNo) << QString() << QStringList();
        QTest::newRow("Yes runs as ever") << int(vbYes) << QString() << QStringList();
        QTest::newRow("lifted for the run, put back at its end")
            << int(platform::kExtraButtonAnswer) << QStringLiteral("-") << QStringList{lift, restore};
        QTest::newRow("a refused lift asks again, saying why")
            << int(platform::kExtraButtonAnswer) << QStringLiteral("not authorised") << QStringList{lift, restore};
    }

    void chargeBlockersAskBeforeTheRun()
    {
        QFETCH(int, answer);
        QFETCH(QString, liftRefusal);
        Run r;
        r.battery.Set(0, 0, 80);
        r.battery.blockers = QStringList{QStringLiteral("BAT0 stops charging at 80 %.")};
        if (!liftRefusal.isEmpty())
            r.platform.charging.offers = QStringList{platform::ChargeControl::kLiftChargeLimit};
        r.platform.Answer([&](const FakePlatform::Box&) {
            r.platform.charging.refusal = liftRefusal == QLatin1String("-") ? QString() : liftRefusal;
            return answer;
        });
        const bool refused = liftRefusal.size() > 1;
        if (refused)
            r.platform.Answer(vbNo);
        r.platform.At(3000, [&] { r.form.cmdExit->click(); });
        r.Click();
        const QString question = r.battery.blockers[0] + QStringLiteral("\r\n\r\nStart the calibration anyway?");
        QCOMPARE(r.platform.boxes.size(), refused ? 2 : 1);
        QCOMPARE(r.platform.boxes[0].style, 4 + 48);
        QCOMPARE(r.platform.boxes[0].text, question);
        QCOMPARE(r.platform.boxes[0].extraButton, liftRefusal.isEmpty() ? QString() : QStringLiteral("Lift it for this run"));
        if (refused)
            QCOMPARE(r.platform.boxes[1].text, "The charge limit was not lifted: not authorised.\r\n\r\n" + question);
        QTEST(r.platform.charging.calls.mid(1), "changes");
        const bool runs = answer == vbYes || liftRefusal == QLatin1String("-");
        QCOMPARE(r.form.Command1->isEnabled(), !runs);
        QCOMPARE(r.texts.isEmpty(), !runs);
        QCOMPARE(r.platform.endCalled, runs);
        QVERIFY(!r.platform.awakeHeld);
    }

    // The log is rewritten on each pass of its minute, the record notes one
    // write a minute, beside the sample.
    void dischargeLogsTwiceAtTheStartThenEveryMinute()
    {
        Run r;
        r.form.Command2->click();  // no run record yet: the box as it ever was
        r.ReadyOnMains(vbYes, true);
        r.form.cmdFast->click();  // slow: one pass a second
        QVERIFY(QDir().mkpath(QFileInfo(r.f.LogPath()).path()));
        const int watch = inotify_init1(IN_NONBLOCK);
        QVERIFY(inotify_add_watch(watch, qPrintable(QFileInfo(r.f.LogPath()).path()), IN_CREATE | IN_MOVED_TO) >= 0);
        int writesBeforeFirstPump = -1;
        QList<QStringList> minuteLogs;
        qint64 lastSeconds = -1;
        r.platform.onPump = [&] {
            if (!r.texts.contains(S5))
                return;
            QVERIFY(r.platform.awakeHeld);
            if (writesBeforeFirstPump < 0)
                writesBeforeFirstPump = EventCount(watch);
            if (r.form.Seconds % 60 == 1 && lastSeconds % 60 == 0)
                minuteLogs.append(r.Log());
            lastSeconds = r.form.Seconds;
        };
        r.platform.At(10 * kMinute + 30 * 1000, [&] { r.battery.status.ACLineStatus = 1; });
        r.Click();
        close(watch);
        // A sample at the start and one a minute, and View Result offers the report.
        const report::RunRecords records = report::ReadRunRecords(QFileInfo(r.f.LogPath()).path() + "/runs");
        QCOMPARE(records.runs.size(), 1);
        QVERIFY(records.runs[0].samples.size() >= 10 && records.runs[0].samples.size() <= 12);
        QFile record(records.runs[0].path);
        QVERIFY(record.open(QIODevice::ReadOnly));
        QCOMPARE(record.readAll().count("\nlog,"), records.runs[0].samples.size());
        r.form.Command2->click();
        QCOMPARE(r.platform.boxes.first().extraButton, QString());
        QCOMPARE(r.platform.boxes.last().extraButton, QStringLiteral("Show &Report\u2026"));
        // The discharge start writes the log, and so does the first pass.
        QCOMPARE(writesBeforeFirstPump, 2);
        QVERIFY(minuteLogs.size() >= 9);
        const QDateTime start = *storage::ParseDateText(minuteLogs[0][1]);
        for (const QStringList& log : minuteLogs) {
            QCOMPARE(log.size(), 4);  // three lines, each ending in CR LF
            QCOMPARE(log[1], minuteLogs[0][1]);
            QCOMPARE(log[0].toLongLong(), storage::MinutesBetween(start, *storage::ParseDateText(log[2])));
        }
        // The log keeps the write at the last multiple of 60 ticks, not the replug.
        const QDateTime lastWrite = *storage::ParseDateText(r.Log()[2]);
        QVERIFY(lastWrite.secsTo(r.platform.StartTime().addSecs(10 * 60 + 30)) < 62);
        QVERIFY(!r.platform.awakeHeld);
        QCOMPARE(r.platform.awakeHolds, 1);
    }

    void dischargeFollowsTheModeAndEndsOnlyOnAConfirmedReplug()
    {
        Run r;
        r.ReadyOnMains();
        r.At(2000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 255; });  // keeps the unplug wait waiting
        r.At(5000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 0; s.BatteryLifePercent = 97; });
        QString fastText;
        int sleepsWhenSwitched = -1;
        r.platform.At(30 * 1000, [&] {
            fastText = r.form.StatusText();
            r.form.cmdFast->click();
            sleepsWhenSwitched = r.platform.sleeps.size();
        });
        // A blip: one reading online, offline again 500 ms later.
        r.At(90 * 1000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; });
        r.At(90 * 1000 + 100, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 0; });
        r.At(200 * 1000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; });
        r.Click();
        QVERIFY(r.textTimes[r.texts.indexOf(S5)] >= 5000 && r.textTimes[r.texts.indexOf(S5)] < 5600);
        const QStringList lines = fastText.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 11);
        QCOMPARE(lines[2], QStringLiteral("Elapsed time=0 min.  (97% charged)"));
        QCOMPARE(lines[4], QStringLiteral("CALIBRATION STARTED  (Fast Discharge)"));
        QVERIFY(r.texts[r.texts.size() - 2].contains(QStringLiteral("(Slow Discharge)")));  // the last before the end
        QVERIFY(!r.platform.sleeps.mid(0, sleepsWhenSwitched).contains(1000));
        QVERIFY(r.platform.sleeps.mid(sleepsWhenSwitched).count(1000) >= 100);
        QVERIFY(r.platform.ElapsedMs() >= 200 * 1000 && r.platform.ElapsedMs() < 203 * 1000);
        QVERIFY(r.platform.boxes.last().text.startsWith(QStringLiteral("The AC Adaptor has been connected!")));
        QVERIFY(!r.platform.endCalled);
        QVERIFY(!r.form.Command1->isEnabled());
    }

    // Each start and stop of the burn workers against the moment it was due:
    // none before the discharge, none in slow mode, and none after a replug.
    void workersBurnOnlyInAFastDischargeAndFollowTheMode()
    {
        Run r;
        r.battery.Set(0, 0, 90);
        r.At(3000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; s.BatteryFlag = 9; });
        r.At(8000, [](SYSTEM_POWER_STATUS& s) { s.BatteryLifePercent = 100; s.BatteryFlag = 1; });
        r.platform.Answer(vbOK);
        r.platform.Answer(vbYes);
        r.At(12000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 0; });
        r.platform.At(20000, [&] { r.form.cmdFast->click(); });
        r.platform.At(40000, [&] { r.form.cmdFast->click(); });
        r.At(50000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; });  // a blip
        r.At(50100, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 0; });
        r.At(70000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; });
        r.Click();
        QVERIFY(r.texts.contains(QStringLiteral("Waiting for battery to finish charging...\r\nTotal battery power remaining: 90%\r\n"
                                                "(Hint: To allow faster charging, shutdown the system.)")));
        const qint64 started = r.textTimes[r.texts.indexOf(S5)];
        const QList<qint64> due{started, 20000, 40000, 50000, 50500, 70000};
        const auto& changes = r.platform.workers.changes;
        QCOMPARE(changes.size(), due.size());
        for (int i = 0; i < due.size(); ++i) {
            QCOMPARE(changes[i].burning, i % 2 == 0);
            QVERIFY2(changes[i].ms >= due[i] && changes[i].ms <= due[i] + 100, qPrintable(QString::number(changes[i].ms)));
        }
        QVERIFY(r.platform.boxes.last().text.startsWith(QStringLiteral("The AC Adaptor has been connected!")));
    }

    // The battery (or, without its sensor, the zone nearest its passive trip
    // point) warms at 20 s and changes again at 90 s: the workers held back
    // to half and restored with 3 °C of slack, said in the status box and in
    // notices, and the record keeps the readings and the time held back.
    void fastDischargeHoldsBackForTheHeat_data()
    {
        QTest::addColumn<bool>("zone");  // the readings are a zone's margins below its trip point
        QTest::addColumn<QList<double>>("readings");  // at 0, 20 and 90 s
        QTest::addColumn<QList<int>>("counts");       // the workers from the start, at 20 s and at 90 s
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("heldSeconds");  // at the last sample, two minutes in
        const QString battery = QStringLiteral("Fast discharge held back: the battery is at 41 °C.");
        QTest::newRow("warms past 40, cools under 37") << false << QList{30.0, 40.6, 36.9} << QList{4, 2, 4} << battery << 70;
        QTest::newRow("at 40 holds nothing") << false << QList{30.0, 40.0, 36.9} << QList{4, 4, 4} << QString() << 0;
        QTest::newRow("cools to 37 only: holds on") << false << QList{30.0, 40.6, 37.0} << QList{4, 2, 2} << battery << 100;
        QTest::newRow("zone within 5 of its trip") << true << QList{20.0, 5.0, 8.0} << QList{4, 2, 4}
                                                   << QStringLiteral("Fast discharge held back: the hottest zone (acpitz) is at 85 °C.") << 70;
    }

    void fastDischargeHoldsBackForTheHeat()
    {
        QFETCH(bool, zone);
        QFETCH(QList<double>, readings);
        QFETCH(QList<int>, counts);
        QFETCH(QString, line);
        Run r;
        const auto heat = [&](double value) {
            r.battery.temperatures = zone ? power::Temperatures{.hottestZone = power::ThermalZoneReading{QStringLiteral("acpitz"), 90 - value, 90.0},
                                                                .passiveMarginCelsius = value}
                                          : power::Temperatures{.batteryCelsius = value};
        };
        heat(readings[0]);
        r.platform.At(20000, [&] { heat(readings[1]); });
        r.platform.At(90000, [&] { heat(readings[2]); });
        r.ReadyOnMains(vbYes, true);
        r.At(130000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; });
        r.Click();
        QFETCH(int, heldSeconds);
        QList<int> seen, expected = counts;
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        expected.append(0);  // stopped at the replug
        for (const auto& change : std::as_const(r.platform.workers.changes)) {
            const qint64 due = change.count == 0 ? 130000 : seen.isEmpty() ? 0 : change.count == 2 ? 20000 : 90000;
            QVERIFY2(change.ms >= due && change.ms <= due + 1600, qPrintable(QString::number(change.ms)));
            seen.append(change.count);
        }
        QCOMPARE(seen, expected);
        QString heldLine;
        for (const QString& text : std::as_const(r.texts))
            heldLine = text.contains(QStringLiteral("held back")) && heldLine.isEmpty() ? text.split(QStringLiteral("\r\n")).last() : heldLine;
        QCOMPARE(heldLine, line);
        const bool restored = std::any_of(r.platform.notices.begin(), r.platform.notices.end(), [](const auto& n) {
            return n.body.startsWith(QStringLiteral("Fast discharge back to full strength"));
        });
        QCOMPARE(restored, counts == QList<int>({4, 2, 4}));
        const QList<report::RunRecord> runs = report::ReadRunRecords(r.Runs()).runs;
        const report::RunSample last = runs.last().samples.last();
        const QStringList facts = report::FactsLines(report::BuildReportFacts(runs, runs.size() - 1, {}, QDateTime()));
        QCOMPARE(facts.contains(QStringLiteral("Fast discharge held back for %1 min").arg((heldSeconds + 30) / 60)), heldSeconds > 0);
        QVERIFY2(std::abs(last.heldBackSeconds - heldSeconds) <= 3, qPrintable(QString::number(last.heldBackSeconds)));
        QCOMPARE(zone ? last.zoneCelsius : last.batteryCelsius, zone ? 90 - readings[2] : readings[2]);
        QCOMPARE(last.zoneType, zone ? QStringLiteral("acpitz") : QString());
    }

    void workersStopWhenTheRunEnds_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Exit") << 0;
        QTest::newRow("close") << 1;
        QTest::newRow("fatal error") << 2;
    }

    void workersStopWhenTheRunEnds()
    {
        QFETCH(int, how);
        Run r;
        r.ReadyOnMains(vbYes, true);
        if (how == 2)
            r.At(30000, [](SYSTEM_POWER_STATUS&) { throw platform::UntrappedError(QStringLiteral("broken"), {}); });
        else
            r.platform.At(30000, [&] { how ? void(r.form.close()) : r.form.cmdExit->click(); });
        r.Click();
        QVERIFY(r.platform.endCalled);
        const auto& changes = r.platform.workers.changes;
        QCOMPARE(changes.size(), 2);
        QVERIFY(!changes[1].burning && changes[1].ms >= 30000 && changes[1].ms <= 30100);
    }

    void dischargeCountsOnlyAwakeTime_data()
    {
        QTest::addColumn<bool>("fromTheStart");  // armed at the discharge start, else ten minutes in
        QTest::addColumn<int>("read");           // the clock read (1 the first after arming) that sleeps before it reads
        QTest::addColumn<qint64>("sleepMs");
        QTest::addColumn<qint64>("wallShiftMs");
        QTest::addColumn<int>("minutes");        // awake minutes at the replug
        QTest::newRow("suspended two hours") << false << 0 << 120 * kMinute << qint64(0) << 30;
        // A suspend between any two clock reads, the discharge start's own included.
        for (const bool fromTheStart : {true, false}) {
            for (int read = 1; read <= 6; ++read)
                QTest::addRow("suspended before read %d %s", read, fromTheStart ? "at the start" : "ten minutes in")
                    << fromTheStart << read << 120 * kMinute << qint64(0) << 30;
        }
        QTest::newRow("wall clock set back an hour") << false << 1 << qint64(0) << -60 * kMinute << 150;
        QTest::newRow("wall clock set forward an hour") << false << 1 << qint64(0) << 60 * kMinute << 150;
    }
    void dischargeCountsOnlyAwakeTime()
    {
        QFETCH(bool, fromTheStart);
        QFETCH(int, read);
        QFETCH(qint64, sleepMs);
        QFETCH(qint64, wallShiftMs);
        QFETCH(int, minutes);
        Run r;
        r.ReadyOnMains(vbYes, true);
        r.platform.pumpCostMs = 1000;  // a pass a second keeps hours of simulated time quick
        int reads = -1;  // counting once armed
        const auto arm = [&] {
            if (reads < 0)
                reads = 0;
        };
        if (fromTheStart)
            QObject::connect(r.form.TxtStatus, &QPlainTextEdit::textChanged, [&] {
                if (r.form.StatusText() == S5)
                    arm();
            });
        else
            r.platform.At(10 * kMinute, arm);
        r.platform.onClockRead = [&] {
            if (reads < 0 || ++reads != std::max(read, 1))
                return;
            r.platform.SystemSleep(sleepMs);
            r.platform.wallShiftMs = wallShiftMs;
        };
        r.At(150 * kMinute + 30 * 1000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; });
        r.Click();
        QVERIFY(reads > 0);
        const QStringList log = r.Log();
        // The texts keep the wall clock, sleep and step included.
        const QDateTime written = *storage::ParseDateText(log[2]);
        QVERIFY(qAbs(written.secsTo(r.platform.Now())) <= 62);
        QVERIFY2(log[0].toInt() >= minutes - 1 && log[0].toInt() <= minutes, qPrintable(log[0]));
        QVERIFY2(r.texts[r.texts.size() - 2].contains(QStringLiteral("Elapsed time=%1 min.").arg(minutes)),
                 qPrintable(r.texts[r.texts.size() - 2]));
        // Not for one pass either: the minutes shown never go back nor jump.
        const QRegularExpression elapsed(QStringLiteral("Elapsed time=(-?\\d+) min\\."));
        int shown = 0;
        for (const QString& text : r.texts) {
            if (const auto match = elapsed.match(text); match.hasMatch()) {
                const int now = match.captured(1).toInt();
                QVERIFY2(now >= shown && now <= shown + 1, qPrintable(text));
                shown = now;
            }
        }
        const auto samples = report::ReadRunRecords(QFileInfo(r.f.LogPath()).path() + "/runs").runs.value(0).samples;
        QVERIFY(samples.size() >= minutes);  // none dropped as negative
        for (qsizetype i = 1; i < samples.size(); ++i)
            QVERIFY(samples[i].awakeSeconds >= samples[i - 1].awakeSeconds && samples[i].awakeSeconds - samples[i - 1].awakeSeconds <= 90);
        QVERIFY(samples.first().awakeSeconds >= 0 && samples.last().awakeSeconds <= minutes * 60 + 31);
    }

    // A box left open (View Result's, which tells of the run under way) does
    // not stop the minute: the log and the record move on meanwhile, with the
    // battery as it is now, until a replug behind the box ends the run there.
    void boxLeftOpenKeepsLogAndRecordGoing_data()
    {
        QTest::addColumn<qint64>("replugAt");  // -1: after the box
        QTest::newRow("battery throughout") << qint64(-1);
        QTest::newRow("replugged behind the box") << 4 * kMinute + 10 * 1000;
    }
    void boxLeftOpenKeepsLogAndRecordGoing()
    {
        QFETCH(qint64, replugAt);
        Run r;
        r.ReadyOnMains(vbYes, true);
        r.platform.pumpCostMs = 50;
        const QString runs = QFileInfo(r.f.LogPath()).path() + "/runs";
        const auto sampleCount = [&] { return report::ReadRunRecords(runs).runs.value(0).samples.size(); };
        QStringList logBefore, logAfterOne, logAfterTwo;
        QString firstLine;
        qsizetype samplesBefore = 0, samplesDuring = 0;
        std::uint8_t lastPercent = 0;
        r.At(4 * kMinute, [](SYSTEM_POWER_STATUS& s) { s.BatteryLifePercent = 80; });
        r.platform.At(3 * kMinute, [&] {
            r.platform.Answer([&](const FakePlatform::Box& box) {
                firstLine = box.text.section(QStringLiteral("\r\n"), 0, 0);
                logBefore = r.Log();
                samplesBefore = sampleCount();
                r.platform.RunIdle(kMinute + 5000);
                logAfterOne = r.Log();
                r.platform.RunIdle(kMinute);
                logAfterTwo = r.Log();
                const auto samples = report::ReadRunRecords(runs).runs.value(0).samples;
                samplesDuring = samples.size();
                lastPercent = samples.isEmpty() ? 0 : samples.last().percent;
                return int(vbOK);
            });
            r.form.Command2->click();
        });
        r.At(replugAt < 0 ? 7 * kMinute : replugAt, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; });
        r.Click();
        QVERIFY(r.BoxTexts().size() >= 2 && logBefore.size() == 4 && logAfterTwo.size() == 4);
        QCOMPARE(firstLine, QStringLiteral("The run under way has lasted ") + logBefore[0] + QStringLiteral(" minutes so far."));
        const auto writtenAt = [](const QStringList& log) { return *storage::ParseDateText(log[2]); };
        if (replugAt >= 0) {  // ended at the minute after the replug, in the log, the record and the notice
            const report::RunRecord run = report::ReadRunRecords(runs).runs.value(0);
            QCOMPARE(r.Log(), logAfterTwo);
            QCOMPARE(run.ending, report::RunEnding::Replugged);
            QCOMPARE(run.lastLog->minutes, logAfterTwo[0].toLongLong());
            QVERIFY(writtenAt(logAfterTwo).secsTo(r.platform.StartTime().addMSecs(replugAt)) > -60);
            QVERIFY(r.platform.notices.last().body.endsWith(QStringLiteral("after %1 min.").arg(logAfterTwo[0])));
            QVERIFY(r.BoxTexts().last().startsWith(QStringLiteral("The AC Adaptor has been connected!")));
            return;
        }
        QVERIFY2(writtenAt(logAfterOne) > writtenAt(logBefore), qPrintable(logAfterOne.join('|')));
        QVERIFY2(writtenAt(logAfterTwo) > writtenAt(logAfterOne), qPrintable(logAfterTwo.join('|')));
        QVERIFY(logAfterTwo[0].toInt() > logBefore[0].toInt());
        // The last write is at most a minute behind the box's end.
        QVERIFY(writtenAt(logAfterTwo).secsTo(r.platform.StartTime().addSecs(5 * 60 + 5)) <= 60);
        QVERIFY2(samplesDuring >= samplesBefore + 2, qPrintable(QStringLiteral("%1 %2").arg(samplesBefore).arg(samplesDuring)));
        QCOMPARE(int(lastPercent), 80);
    }

    void dischargeLastsTenHours()
    {
        Run r;
        r.ReadyOnMains(vbYes, true);
        r.platform.pumpCostMs = 1000;  // a heavily loaded machine: a pass a second
        r.At(600 * kMinute, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; });
        r.Click();
        QVERIFY(r.form.Seconds > 32767);
        const int minutes = r.Log()[0].toInt();
        QVERIFY(minutes >= 598 && minutes <= 600);
    }

    void exitOrCloseDuringAWaitEndsTheRun_data()
    {
        QTest::addColumn<int>("phase");
        QTest::addColumn<bool>("close");
        const char* phases[] = {"adaptor wait", "unplug wait", "fast discharge"};
        for (int phase = 0; phase < 3; ++phase) {
            QTest::newRow(qPrintable(QStringLiteral("Exit, %1").arg(phases[phase]))) << phase << false;
            QTest::newRow(qPrintable(QStringLiteral("close, %1").arg(phases[phase]))) << phase << true;
        }
    }

    void exitOrCloseDuringAWaitEndsTheRun()
    {
        QFETCH(int, phase);
        QFETCH(bool, close);
        Run r;
        if (phase == 0)
            r.battery.Set(0, 0, 50);
        else
            r.ReadyOnMains(vbYes, phase == 2);
        r.platform.pumpCostMs = 10;
        int textsAtEnd = -1;
        QStringList logAtEnd;
        r.platform.At(65 * 1000, [&] {
            textsAtEnd = r.texts.size();
            logAtEnd = r.Log();
            close ? void(r.form.close()) : r.form.cmdExit->click();
        });
        r.Click();
        QVERIFY(r.platform.endCalled);
        QVERIFY(!r.form.isVisible());
        QVERIFY(!r.platform.awakeHeld);
        QCOMPARE(r.platform.noticesWithdrawn, phase == 0 ? 0 : 1);  // the adaptor wait shows none
        QCOMPARE(r.texts.size(), textsAtEnd);
        QCOMPARE(r.Log(), logAtEnd);
        QVERIFY(r.platform.ElapsedMs() < 67 * 1000);
    }

    // The ending in the record, judged by its reader: a standby ran out only
    // near empty. A write refused for a while stops the record there but not
    // the run, which keeps its hold.
    void recordTellsHowTheRunEnded_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<report::RunEnding>("ending");
        QTest::newRow("adaptor back") << 0 << report::RunEnding::Replugged;
        QTest::newRow("slept at 100 %, woke on mains") << 1 << report::RunEnding::StandbyWithCharge;
        QTest::newRow("slept at 8 %, woke on mains") << 6 << report::RunEnding::Standby;
        QTest::newRow("slept, woke on battery, adaptor back later") << 2 << report::RunEnding::Replugged;
        QTest::newRow("slept, woke on battery, adaptor back before the next sample") << 5 << report::RunEnding::Replugged;
        QTest::newRow("Exit") << 3 << report::RunEnding::Exited;
        QTest::newRow("window closed") << 4 << report::RunEnding::Exited;
        QTest::newRow("a write refused") << 7 << report::RunEnding::Replugged;
    }

    void recordTellsHowTheRunEnded()
    {
        QFETCH(int, way);
        QFETCH(report::RunEnding, ending);
        Run r;
        r.ReadyOnMains(vbYes, true);
        r.platform.pumpCostMs = 1000;
        const QString runs = QFileInfo(r.f.LogPath()).path() + QStringLiteral("/runs");
        report::RunEnding whileLive{};
        if (way == 6)
            r.At(3 * kMinute, [](SYSTEM_POWER_STATUS& s) { s.BatteryLifePercent = 8; });
        QString path;
        if (way == 7) {  // the record's file gone for a minute
            r.platform.At(2 * kMinute + 30 * 1000, [&] {
                path = report::ReadRunRecords(runs).runs.value(0).path;
                QVERIFY(QFile::rename(path, path + ".away"));
            });
            r.platform.At(3 * kMinute + 30 * 1000, [&] { QVERIFY(QFile::rename(path + ".away", path)); });
        }
        r.platform.At(5 * kMinute, [&] {
            whileLive = report::ReadRunRecords(runs).runs.value(0).ending;
            if (way == 1 || way == 2 || way == 5 || way == 6)
                r.platform.SystemSleep(60 * kMinute);
            r.battery.status.ACLineStatus = way == 1 || way == 6 ? 1 : 0;
            if (way == 3)
                r.form.cmdExit->click();
            if (way == 4)
                r.form.close();
        });
        const qint64 replug = way == 0 || way == 7 ? 6 * kMinute : way == 5 ? 65 * kMinute + 3 * 1000 : 70 * kMinute;
        r.platform.At(replug, [&] { r.battery.status.ACLineStatus = 1; });
        r.Click();
        QCOMPARE(whileLive, report::RunEnding::Running);
        const report::RunRecord record = report::ReadRunRecords(runs).runs.value(0);
        QCOMPARE(record.ending, ending);
        QCOMPARE(record.facts.bootId, storage::BootId());
        QCOMPARE(record.stop.has_value(), way == 7);
        if (way == 7)
            QVERIFY(record.stop->minutes == 2 && record.stop->reason == "no such file or directory");
    }

    // Readings "ms word percent [Wh]; ...", with a draw of 10 W; the last
    // one's answer: the state and where it stopped, or over or going.
    void mainsAndRechargeWatches_data()
    {
        QTest::addColumn<QString>("watch");
        QTest::addColumn<QString>("readings");
        QTest::addColumn<QString>("answer");
        const auto row = [](const char* name, const char* watch, const char* readings, const char* answer) {
            QTest::newRow(name) << watch << readings << answer;
        };
        row("nothing yet at 59.9 s", "mains", "0 Not_charging 100; 59999 Not_charging 100", "Starting");
        row("nothing by 60 s", "mains", "0 Not_charging 100; 60000 Not_charging 100", "NotStarted");
        row("a stop of 14 s is a blip", "mains", "0 Discharging 90; 1000 Not_charging 90; 15000 Not_charging 90", "Discharging");
        row("a stop of 15 s ends it", "mains", "0 Discharging 90; 1000 Not_charging 90; 16000 Not_charging 90", "Stopped 90");
        row("back to auto at 60 %", "mains", "0 Discharging 61; 5000 Discharging 60; 6000 Charging 60; 21000 Charging 61", "Stopped 60");
        row("back to auto at 4 %", "mains", "0 Discharging 5; 5000 Discharging 4; 6000 Charging 4; 21000 Charging 5", "RanOut");
        row("90 s of draw left at 20 %", "mains", "0 Discharging 20 0.25; 1000 Not_charging 20 0.25; 16000 Not_charging 20", "RanOut");
        row("\"Unknown\" and falling", "mains", "0 Unknown 100; 6000 Unknown 99", "Discharging");
        row("\"Unknown\" and not falling", "mains", "0 Unknown 100; 60000 Unknown 100", "NotStarted");
        row("unknown percent", "mains", "0 Discharging 255; 1000 Not_charging 255; 16000 Not_charging 255", "Stopped -");
        row("recharged to full", "recharge", "0 Charging 90; 60000 Full 100", "over");
        row("a recharge's blip of 14 s", "recharge", "0 Charging 50; 1000 Not_charging 50; 15000 Not_charging 50", "going");
        row("unplugged in the recharge", "recharge", "0 Charging 50; 1000 Discharging 50; 16000 Discharging 49", "over");
        row("no charging by 60 s", "recharge", "0 Not_charging 5; 60000 Not_charging 5", "over");
    }

    void mainsAndRechargeWatches()
    {
        QFETCH(QString, watch);
        QFETCH(QString, readings);
        calibration::MainsWatch mains(0, 100);
        calibration::RechargeWatch recharge(0);
        QString answer;
        for (const QString& reading : readings.split(QStringLiteral("; "))) {
            const QStringList part = reading.split(u' ');
            const QString word = QString(part[1]).replace(u'_', u' ');
            const SYSTEM_POWER_STATUS status{.ACLineStatus = 1, .BatteryFlag = std::uint8_t(word == "Charging" ? 8 : 1),
                                             .BatteryLifePercent = std::uint8_t(part[2].toInt())};
            const auto energy = part.size() > 3 ? std::optional(part[3].toDouble()) : std::nullopt;
            const qint64 ms = part[0].toLongLong();
            answer = recharge.Over(status, word, ms) ? QStringLiteral("over") : QStringLiteral("going");
            if (watch == QLatin1String("recharge"))
                continue;
            const auto state = mains.Look(status, {.energyNowWh = energy, .powerW = 10, .status = word}, ms);
            const char* names[] = {"Starting", "Discharging", "NotStarted", "RanOut", "Stopped"};
            answer = QLatin1String(names[int(state)]);
            if (state == calibration::MainsWatch::State::Stopped)
                answer += u' ' + (mains.StoppedAt() ? QString::number(*mains.StoppedAt()) : QStringLiteral("-"));
        }
        QTEST(answer, "answer");
    }

    // A run on mains asks once: the discharge put back at empty, the lift
    // held through the recharge. It ends as ran out only at empty; a stop
    // above it, a helper restarted or firmware that never discharges leave
    // the unplug wait to go on with, saying why. The recharge relearns only
    // when it reaches full, and the finished notice outlives the run.
    void dischargeOnMains_data()
    {
        QTest::addColumn<int>("autoAt");     // -1: it discharges to 0 %
        QTest::addColumn<qint64>("eventAt"); // the minute of the event below
        QTest::addColumn<QString>("event");  // unplug, never (discharging), lose (the helper), exit, box (View Result open 4 min)
        QTest::addColumn<QString>("endings");  // stored words, run by run
        QTest::addColumn<QString>("unplugLine");  // {last}: the first run's last percent
        QTest::addColumn<QString>("relearned");   // {recharge}: its recharge's last percent
        const QString stopped = QStringLiteral("The firmware stopped the discharge at {last} %.");
        const QString none = QStringLiteral("No relearned capacity: the recharge stopped at {recharge} %");
        const QString full = QStringLiteral(
            "Full capacity relearned: -3.0 Wh (-6.7 %), from 45.0 to 42.0 Wh by the recharge after the run");
        QTest::newRow("to 0 %, recharged to full") << -1 << qint64(-1) << "" << "ran-out-on-mains" << "" << full;
        QTest::newRow("back to auto at 4 %") << 4 << qint64(-1) << "" << "ran-out-on-mains" << "" << full;
        QTest::newRow("back to auto at 60 %") << 60 << qint64(6) << "unplug" << "firmware-stopped replugged" << stopped << "";
        QTest::newRow("never discharging") << -1 << qint64(3) << "never" << "replugged" << calibration::kNotStartedLine << "";
        QTest::newRow("helper restarted mid-run") << -1 << qint64(2) << "lose" << "firmware-stopped replugged" << stopped << "";
        QTest::newRow("Exit mid-run") << -1 << qint64(3) << "exit" << "exited" << "" << "";
        QTest::newRow("Exit in the recharge") << -1 << qint64(14) << "exit" << "ran-out-on-mains" << "" << none;
        QTest::newRow("unplugged in the recharge") << -1 << qint64(14) << "unplug" << "ran-out-on-mains" << "" << none;
        QTest::newRow("View Result open at empty") << -1 << qint64(8) << "box" << "ran-out-on-mains" << "" << full;
    }

    void dischargeOnMains()
    {
        QFETCH(int, autoAt);
        QFETCH(qint64, eventAt);
        QFETCH(QString, event);
        QFETCH(QString, endings);
        QFETCH(QString, unplugLine);
        QFETCH(QString, relearned);
        Run r;
        r.ReadyOnMains();
        if (event == QLatin1String("box"))
            r.platform.At(eventAt * kMinute, [&] {
                r.platform.Answer([&](const FakePlatform::Box&) { return r.platform.RunIdle(4 * kMinute), int(vbOK); });
                r.form.Command2->click();
            });
        r.platform.Answer(vbYes);
        r.platform.charging.offers = QStringList{platform::ChargeControl::kDischargeOnMains};
        const bool ranOut = endings == QLatin1String("ran-out-on-mains");
        const bool never = event == QLatin1String("never");
        const qint64 unplugAt = event == QLatin1String("unplug") || never ? eventAt * kMinute
                                : event == QLatin1String("lose") ? (eventAt + 2) * kMinute : -1;
        r.FirmwareOnMains(never ? -1 : 3000, autoAt, unplugAt, ranOut ? -1 : unplugAt + 2 * kMinute);
        r.form.cmdFast->click();  // slow: one pass a second
        if (event == QLatin1String("exit"))
            r.platform.At(eventAt * kMinute, [&] { r.form.cmdExit->click(); });
        if (event == QLatin1String("lose"))
            r.platform.At(eventAt * kMinute, [&] { r.helperGone = true, r.platform.charging.Lose(); });
        r.Click();
        QCOMPARE(r.platform.boxes[2].text, calibration::kAskDischargeOnMains);
        QCOMPARE(r.platform.unexpectedBoxes, 0);
        // One password only; the discharge put back at its end, the rest as the run goes.
        const QStringList& calls = r.platform.charging.calls;
        QCOMPARE(calls.filter(QStringLiteral("asking")), QStringList{QStringLiteral("DischargeOnMains BAT0 asking")});
        QCOMPARE(calls.mid(2).join(u','), event == QLatin1String("lose") ? QString()
                                          : endings == QLatin1String("exited") ? QStringLiteral("Restore BAT0")
                                          : QStringLiteral("RestoreSetting BAT0 discharge-on-mains,Restore BAT0"));
        const report::RunRecords records = report::ReadRunRecords(r.Runs());
        QStringList ended;
        for (const report::RunRecord& run : records.runs)
            ended << report::EndingStoredWord(run.ending);
        QCOMPARE(ended.join(u' '), endings);
        const report::RunRecord& run = records.runs.value(0);
        QCOMPARE(run.facts.onMains, !never);
        unplugLine.replace(QStringLiteral("{last}"), QString::number(run.samples.last().percent));
        QCOMPARE(r.texts.filter(QStringLiteral("Please REMOVE")),
                 unplugLine.isEmpty() ? QStringList() : QStringList{"Please REMOVE THE AC ADAPTER to begin the calibration...\r\n" + unplugLine});
        if (!ranOut)
            return;
        QVERIFY(std::all_of(run.samples.begin(), run.samples.end(), [](const auto& s) { return s.dischargeOnMains; }));
        // A box holds the loop, not the end: the discharge's samples stop at empty.
        QVERIFY(std::count_if(run.samples.begin(), run.samples.end(), [](const auto& s) { return s.percent == 0; }) <= 1);
        QVERIFY(run.samples.last().percent <= std::max(autoAt, 0) + 1);
        const report::ReportFacts facts = report::BuildReportFacts(records.runs, 0, {}, r.platform.Now());
        relearned.replace(QStringLiteral("{recharge}"), QString::number(run.recharge.last().percent));
        QVERIFY2(report::FactsLines(facts).contains(relearned), qPrintable(report::FactsLines(facts).join(u'|')));
        if (event == QLatin1String("exit"))
            return;
        const bool toFull = relearned.startsWith(QStringLiteral("Full capacity relearned"));
        QCOMPARE(r.texts.last(), calibration::MainsRunOverText(toFull, run.recharge.last().percent));
        QStringList recharging;
        for (const auto& notice : r.platform.notices)
            recharging << notice.body;
        recharging = recharging.filter(QStringLiteral("Recharging to full"));
        QCOMPARE(recharging.first(), calibration::RechargeNoticeText(run.samples.last().percent));
        QCOMPARE(recharging.size(), std::min(run.recharge.last().percent, 99) / 10 + 1 - run.samples.last().percent / 10);
        // The finished notice stays after the run; a click on it opens the report again.
        QVERIFY(r.platform.notices.last().lasting && r.platform.notices.last().body == calibration::kFinishedNotice);
        QCOMPARE(r.platform.noticesWithdrawn, 0);
        QVERIFY(!r.platform.awakeHeld);
        for (int shown = 0; shown < 2; ++shown) {
            const QWidgetList windows = QApplication::topLevelWidgets();
            const auto report = std::find_if(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible() && w->windowTitle() == "Dorvik Run Report"; });
            QVERIFY(report != windows.end());
            delete *report;
            QVERIFY(shown == 1 || r.platform.ClickNotice());
        }
    }

    // Where the battery holds charging off and gives a voltage, a run on
    // mains rests at full before the discharge and at empty after it, the
    // inhibit made before the charger runs and put back after the rest.
    // Otherwise it goes on as ever, and the record says why not.
    void restsOnMains_data()
    {
        QTest::addColumn<bool>("inhibit");    // offered
        QTest::addColumn<bool>("voltage");    // read
        QTest::addColumn<int>("relaxMin");    // the voltage's time constant at rest
        QTest::addColumn<QString>("event");   // skip (at 5 min), exit (at 60 min), refuse (from 40 min)
        QTest::addColumn<QString>("rests");   // as the record keeps them
        QTest::addColumn<QString>("calls");   // to the helper, after the query
        const QString both = QStringLiteral("InhibitCharge BAT0 asking,DischargeOnMains BAT0 asking,InhibitCharge BAT0,"
                                            "RestoreSetting BAT0 inhibit-charge,Restore BAT0");
        QTest::newRow("rested at both") << true << true << 5 << "" << "full rested,empty rested" << both;
        QTest::newRow("capped at full") << true << true << 30 << "" << "full capped,empty rested" << both;
        QTest::newRow("skipped at full") << true << true << 5 << "skip" << "full skipped,empty rested" << both;
        QTest::newRow("exit at empty") << true << true << 5 << "exit" << "full rested,empty broken"
                                       << "InhibitCharge BAT0 asking,DischargeOnMains BAT0 asking,InhibitCharge BAT0,Restore BAT0";
        QTest::newRow("refused at empty") << true << true << 5 << "refuse" << "full rested,no_rest empty refused"
                                          << "InhibitCharge BAT0 asking,DischargeOnMains BAT0 asking,InhibitCharge BAT0,"
                                             "RestoreSetting BAT0 discharge-on-mains,Restore BAT0";
        QTest::newRow("no inhibit-charge") << false << true << 5 << ""
                                           << "no_rest full no-inhibit-charge,no_rest empty no-inhibit-charge"
                                           << "DischargeOnMains BAT0 asking,RestoreSetting BAT0 discharge-on-mains,Restore BAT0";
        QTest::newRow("no voltage") << true << false << 5 << "" << "no_rest full no-voltage,no_rest empty no-voltage"
                                    << "DischargeOnMains BAT0 asking,RestoreSetting BAT0 discharge-on-mains,Restore BAT0";
    }

    void restsOnMains()
    {
        QFETCH(bool, inhibit);
        QFETCH(bool, voltage);
        QFETCH(int, relaxMin);
        QFETCH(QString, event);
        QFETCH(QString, rests);
        QFETCH(QString, calls);
        Run r;
        r.ReadyOnMains();
        r.platform.Answer(vbYes);
        r.platform.charging.offers = QStringList{platform::ChargeControl::kDischargeOnMains};
        if (inhibit)
            r.platform.charging.offers << platform::ChargeControl::kInhibitCharge;
        r.voltage = voltage;
        r.relaxMs = relaxMin * kMinute;
        r.FirmwareOnMains(3000, -1);
        r.form.cmdFast->click();
        if (event == QLatin1String("skip"))
            r.platform.At(5 * kMinute, [&] { QVERIFY(r.platform.PressChoice()); });
        if (event == QLatin1String("exit"))
            r.platform.At(60 * kMinute, [&] { r.form.cmdExit->click(); });
        if (event == QLatin1String("refuse"))
            r.platform.At(40 * kMinute, [&] { r.platform.charging.refusal = QStringLiteral("not authorised"); });
        r.Click();
        QCOMPARE(r.platform.charging.calls.mid(1).join(u','), calls);
        QCOMPARE(r.platform.unexpectedBoxes, 0);
        const report::RunRecord run = report::ReadRunRecords(r.Runs()).runs.value(0);
        QStringList kept;
        for (const report::RestSpan& span : run.rests.spans)
            kept << report::RestSpotWord(span.spot) + u' ' + report::RestOutcomeWord(span.outcome);
        for (const report::NoRest& missed : run.rests.missed)
            kept << "no_rest " + report::RestSpotWord(missed.spot) + u' ' + report::NoRestReasonWord(missed.reason);
        QCOMPARE(kept.join(u','), rests);
        QCOMPARE(run.ending, report::RunEnding::RanOutOnMains);
        const int held = int(rests.split(u',').size() - rests.count(QStringLiteral("no_rest")));
        QCOMPARE(r.platform.choicesOffered.size(), held);
        QCOMPARE(r.texts.filter("Resting").isEmpty(), held == 0);
        if (held == 2) {
            // Charging held off within a second of the end, and the box to skip gone with each rest.
            QVERIFY2(r.inhibitedAt - r.emptyAt <= 1000, qPrintable(QString::number(r.inhibitedAt - r.emptyAt)));
            QVERIFY(!r.platform.PressChoice());
            const report::RestSpan& full = run.rests.spans[0];
            // Temperatures read afresh from the first sample to the last, rest and recharge too.
            QCOMPARE(std::pair(run.samples.first().batteryCelsius, run.recharge.last().batteryCelsius),
                     std::pair(std::optional(35.0), std::optional(30.0)));
            QCOMPARE(run.rests.voltages.size(), full.Minutes() + 1);
            QVERIFY(full.end <= run.facts.start);
            QVERIFY(std::none_of(run.recharge.begin(), run.recharge.end(), [&](const report::RunSample& sample) {
                return sample.time < run.rests.spans[1].end && sample.batteryStatus == QLatin1String("Charging");
            }));
            QVERIFY(!r.texts.filter(QRegularExpression("^Resting at empty so that the gauge can take a reading: "
                                                       "\\d+ min, voltage settling, \\d+\\.\\d mV in 10 min$")).isEmpty());
            QStringList bodies;
            for (const auto& notice : r.platform.notices)
                bodies << notice.body;
            QCOMPARE(bodies.filter("Charging is held off").size(), 2);
            QCOMPARE(bodies.filter(QRegularExpression("^The rest at (full|empty) is over")).size(), event == "exit" ? 1 : 2);
        }
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->windowTitle() == "Dorvik Run Report")
                delete window;
    }

    // The unplug path keeps its rest at full from full to the unplug, with
    // no wait, box or text of its own, and advises the rest at empty once.
    void unplugPathKeepsItsRestAtFull_data()
    {
        QTest::addColumn<double>("driftMv");  // a minute
        QTest::addColumn<QString>("outcome");
        QTest::newRow("settled") << 0.1 << "rested";
        QTest::newRow("still settling") << 1.0 << "unplugged";
    }

    void unplugPathKeepsItsRestAtFull()
    {
        QFETCH(double, driftMv);
        QFETCH(QString, outcome);
        Run r;
        r.battery.Set(1, 1, 100);
        r.platform.Answer(vbOK);
        r.platform.Answer(vbYes);
        r.form.cmdFast->click();
        r.platform.onPump = [&] { r.battery.details.voltageV = 12.6 - driftMv * r.platform.ElapsedMs() / kMinute / 1000; };
        const std::pair<qint64, int> percents[] = {{31, 50}, {32, 10}, {33, 9}, {34, 5}};
        r.platform.At(30 * kMinute, [&] { r.battery.status.ACLineStatus = 0; });
        for (const auto& [minute, percent] : percents)
            r.platform.At(minute * kMinute, [&, to = std::uint8_t(percent)] { r.battery.status.BatteryLifePercent = to; });
        r.platform.At(35 * kMinute, [&] { r.battery.status.ACLineStatus = 1; });
        r.Click();
        QCOMPARE(r.BoxTexts(), QStringList({"Please set up the Power Scheme according to the instructions",
                                            "Ready to run the calibration now?", "The AC Adaptor has been connected!"}));
        QVERIFY(r.platform.choicesOffered.isEmpty() && r.texts.filter("Resting").isEmpty());
        const report::RunRecord run = report::ReadRunRecords(r.Runs()).runs.value(0);
        QCOMPARE(run.rests.spans.size(), 1);
        const report::RestSpan& rest = run.rests.spans[0];
        QCOMPARE(report::RestOutcomeWord(rest.outcome), outcome);
        QCOMPARE(rest.Minutes(), 30);
        QCOMPARE(rest.end, run.facts.start);
        QVERIFY(run.rests.voltages.size() >= 30 && run.rests.voltages.size() <= 31);  // one a minute
        QVERIFY(run.rests.missed.isEmpty());
        int advised = 0;
        for (const auto& notice : r.platform.notices)
            advised += notice.body == calibration::kLeaveOffNotice;
        QCOMPARE(advised, 1);
    }

    void unplugWaitSaysWhyOnlyAfterAnOffer_data()
    {
        QTest::addColumn<QStringList>("offers");
        QTest::addColumn<QString>("queryRefusal");
        QTest::addColumn<int>("answer");  // to the question; 0: not asked
        QTest::addColumn<QString>("refusal");  // the helper's answer to Yes
        QTest::addColumn<QString>("line");  // under the unplug wait's text
        const QStringList offered{platform::ChargeControl::kDischargeOnMains};
        QTest::newRow("No") << offered << QString() << int(vbNo) << QString() << "you answered No";
        QTest::newRow("refused") << offered << QString() << int(vbYes) << "not authorised" << "not authorised";
        // The hold at full comes under the discharge's grant: refused, the discharge is not asked for again.
        QTest::newRow("refused, rest first") << (offered + QStringList{platform::ChargeControl::kInhibitCharge})
                                             << QString() << int(vbYes) << "not authorised" << "not authorised";
        QTest::newRow("no offer") << QStringList() << QString() << 0 << QString() << QString();
        QTest::newRow("no helper") << offered << "the power helper is not installed" << 0 << QString() << QString();
    }

    void unplugWaitSaysWhyOnlyAfterAnOffer()
    {
        QFETCH(QStringList, offers);
        QFETCH(QString, queryRefusal);
        QFETCH(int, answer);
        QFETCH(QString, refusal);
        QFETCH(QString, line);
        Run r;
        r.platform.charging.offers = offers;
        r.platform.charging.refusal = queryRefusal;
        r.battery.details.voltageV = 12.5;
        r.ReadyOnMains(vbYes, true);
        if (answer != 0)
            r.platform.Answer(answer);
        QObject::connect(r.form.TxtStatus, &QPlainTextEdit::textChanged, [&] { r.platform.charging.refusal = refusal; });
        r.platform.At(2 * kMinute, [&] { r.battery.status.ACLineStatus = 1; });
        r.Click();
        QCOMPARE(r.platform.unexpectedBoxes, 0);
        const QString unplug = QStringLiteral("Please REMOVE THE AC ADAPTER to begin the calibration...");
        QCOMPARE(r.texts.filter(unplug), QStringList{line.isEmpty() ? unplug : unplug + "\r\n" + calibration::NotOnMainsLine(line)});
        QCOMPARE(report::ReadRunRecords(r.Runs()).runs.value(0).ending, report::RunEnding::Replugged);
        QCOMPARE(r.platform.charging.calls.contains(QStringLiteral("Restore BAT0")), answer == vbYes);
        QCOMPARE(r.platform.charging.calls.filter(QStringLiteral("asking")).size(), answer == vbYes ? 1 : 0);
        QCOMPARE(r.texts.last(), calibration::RunOverText(false));
    }

    // One span per run in every view: the closing notice, View Result, the
    // report's row and the list of runs, and --report's figures, by the log's
    // last write though the replug came after the next minute began, and the same
    // after a later run. Without that run's record: the newest, and the box
    // as it ever was.
    void everyViewCountsTheLoggedRunAlike()
    {
        Run r;
        r.ReadyOnMains(vbYes, true);
        r.platform.pumpCostMs = 1000;
        r.platform.At(21 * kMinute + 5 * 1000, [&] { r.battery.status.ACLineStatus = 1; });
        r.Click();
        const QStringList log = r.Log();
        const QString notice = r.platform.notices.last().body;  // in the status box's minutes
        const QString shown = r.texts.filter(QStringLiteral("Elapsed time=")).last();
        QVERIFY2(shown.contains("Elapsed time=" + notice.section(' ', -2, -2) + " min."), qPrintable(notice));
        const QString runs = QFileInfo(r.f.LogPath()).path() + QStringLiteral("/runs");
        const QString logged = report::ReadRunRecords(runs).runs.value(0).path;
        const QString firstLine = QStringLiteral("The previous run lasted for ") + log[0]
                                  + QStringLiteral(" minutes; it ended when the adaptor was reconnected, before the "
                                                   "battery ran out.");
        for (const int stage : {0, 1, 2}) {
            if (stage == 1)
                QVERIFY(report::RunRecordWriter::Create(runs, {.start = r.platform.Now().addSecs(3600)}));
            if (stage == 2)
                QVERIFY(QFile::remove(logged));
            r.platform.Answer(platform::kExtraButtonAnswer);
            r.form.Command2->click();
            const QStringList box = r.platform.boxes.last().text.split(QStringLiteral("\r\n"));
            QCOMPARE(box[0], stage < 2 ? firstLine
                                       : QStringLiteral("The previous run lasted for ") + log[0]
                                             + QStringLiteral(" minutes before the battery ran out of charge."));
            QCOMPARE(box.mid(5), (QStringList{QStringLiteral("Started=") + log[1], QStringLiteral("Finished=") + log[2]}));
            QWidget* report = nullptr;
            for (QWidget* child : r.form.findChildren<QWidget*>()) {
                if (child->windowTitle() == QStringLiteral("Dorvik Run Report"))
                    report = child;
            }
            QVERIFY(report);
            const QString span = log[0] + QStringLiteral(" min awake, from ") + log[1] + QStringLiteral(" to ") + log[2];
            QCOMPARE(report->findChild<QLabel*>(QStringLiteral("duration"))->text() == span, stage < 2);
            QCOMPARE(report->findChild<QLabel*>(QStringLiteral("notTheLoggedRun"))->isVisibleTo(report), stage == 2);
            const QTreeWidget* list = report->findChild<QTreeWidget*>(QStringLiteral("runs"));
            QCOMPARE(list->topLevelItem(list->topLevelItemCount() - 1)->text(2) == log[0], stage < 2);
            const report::RunRecords records = report::ReadRunRecords(runs);
            if (stage < 2) {
                const report::RunFigures figures = report::BuildReportFacts(records.runs, 0, {}, {}).figures;
                QCOMPARE(figures.awakeMinutes, log[0].toLongLong());
                QCOMPARE(figures.finished, *storage::ParseDateText(log[2]));
            }
            delete report;
        }
    }

    void unwritableLogIsReportedAndEnds()
    {
        Run r;
        QFile blocker(QFileInfo(r.f.LogPath()).path());  // a file where the log's folder belongs
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        r.ReadyOnMains();
        r.At(3000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 0; });
        r.Click();
        QVERIFY(r.platform.endCalled);
        QCOMPARE(r.form.StatusText(), S5);
        QCOMPARE(r.platform.boxes.last().style, 16);
        QVERIFY(r.platform.boxes.last().text.contains(blocker.fileName()));
    }

    // A box makes the notice urgent; a record that cannot be written stays
    // in the discharge's notices; the taskbar entry is clear at the end.
    void noticesAtEachStage()
    {
        Run r;
        QVERIFY(QDir().mkpath(QFileInfo(r.f.LogPath()).path()));
        QFile blocker(QFileInfo(r.f.LogPath()).path() + QStringLiteral("/runs"));  // a file where the records belong
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        r.ReadyOnMains(vbYes, true);
        r.battery.status.BatteryLifeTime = 7200;
        r.form.cmdFast->click();
        // At 94 % a status box asks for the current figures, then the mode
        // switches; 90 % is the next tenth, 89 % is not.
        r.platform.At(60 * 1000, [&] { r.battery.status.BatteryLifePercent = 94; });
        r.platform.At(70 * 1000, [&] { r.form.cmdGP->click(); });
        r.platform.At(80 * 1000, [&] { r.form.cmdFast->click(); });
        r.platform.At(90 * 1000, [&] { r.battery.status.BatteryLifePercent = 90; });
        r.platform.At(100 * 1000, [&] { r.battery.status.BatteryLifePercent = 89; });
        r.platform.At(2 * kMinute, [&] { r.battery.status.ACLineStatus = 1; });
        int withdrawnBeforeM6 = -1;
        r.platform.Answer([&](const FakePlatform::Box&) { return vbOK; });  // M4
        r.platform.Answer([&](const FakePlatform::Box&) { return vbYes; });  // M5
        r.platform.Answer([&](const FakePlatform::Box&) { return vbOK; });  // the status box
        r.platform.Answer([&](const FakePlatform::Box&) { return withdrawnBeforeM6 = r.platform.noticesWithdrawn, vbOK; });
        r.Click();
        QStringList bodies;
        for (const auto& notice : r.platform.notices)
            bodies << (notice.urgent ? QStringLiteral("!") : QString()) + notice.body.section(QLatin1Char('\n'), 0, 0).left(40);
        QCOMPARE(bodies, QStringList({"The battery is full. Dorvik keeps the sc", "!The battery is full. Dorvik keeps the sc",
                                      "!The battery is full. Dorvik keeps the sc", "Unplug the adaptor to start the discharg",
                                      "Warning: the run record cannot be writte", "Discharge started (slow discharge): 100 ",
                                      "!Discharging (slow discharge): 94 %. The ", "Discharging (fast discharge): 94 %.",
                                      "Discharging (fast discharge): 90 %.", "The adaptor was reconnected: the run end",
                                      "!The adaptor was reconnected: the run end"}));
        QCOMPARE(r.platform.notices[0].body, calibration::FullNoticeText(r.platform.awakeLocks));
        QVERIFY(r.platform.notices[5].body.endsWith(r.platform.notices[4].body));
        QCOMPARE(r.platform.notices[6].body,
                 QString(r.platform.notices[5].body).replace("100 %", "94 %").replace("Discharge started", "Discharging"));
        // The system's estimate is left out while it settles after the switch.
        QVERIFY(r.platform.notices[5].body.contains("The system estimates 2 h 0 min left.")
                && !r.platform.notices[7].body.contains("estimates") && !r.platform.notices[8].body.contains("estimates"));
        // The reconnection's notice goes once its box is answered.
        QCOMPARE(withdrawnBeforeM6, 0);
        QCOMPARE(r.platform.noticesWithdrawn, 1);
        QVERIFY(!r.platform.progress.last().visible && !r.platform.progress.last().urgent);
        QVERIFY(std::any_of(r.platform.progress.begin(), r.platform.progress.end(),
                            [](const platform::TaskbarProgress& shown) { return shown.visible && shown.value == 1.0; }));
    }

    void worksOutTheTimeToFull()
    {
        power::BatteryDetails charging{.energyNowWh = 30, .energyFullWh = 50, .powerW = 10};
        QCOMPARE(calibration::MinutesToFull(charging), 120.0);
        charging.timeToFullMinutes = 42;
        QCOMPARE(calibration::MinutesToFull(charging), 42.0);
        QCOMPARE(calibration::MinutesToFull({.energyNowWh = 30, .energyFullWh = 50, .powerW = 0}), std::nullopt);
        QVERIFY(calibration::ChargeNoticeText(97, 90).endsWith(QStringLiteral("About 1 h 30 min to full.")));
    }

};

QTEST_MAIN(CalibrationRunTest)
#include "tst_calibration_run.moc"
