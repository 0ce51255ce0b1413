// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/inotify.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "calibration/stage_notices.h"
#include "platform/date_text.h"
#include "report/run_record.h"
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
        QVERIFY(r.texts[0].startsWith(QStringLiteral("Please change the POWER SCHEME")));
        QCOMPARE(r.platform.launches.size(), 2);
        QCOMPARE(r.platform.launches[0].program, QStringLiteral("power-panel"));
        QCOMPARE(r.platform.boxes.size(), 4);
        QVERIFY(r.platform.sleeps.isEmpty());
        QVERIFY(r.platform.endCalled);
    }

    void chargeBlockersAskBeforeTheRun_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("No keeps the window as it was") << int(vbNo);
        QTest::newRow("Yes runs as ever") << int(vbYes);
    }

    void chargeBlockersAskBeforeTheRun()
    {
        QFETCH(int, answer);
        Run r;
        r.battery.Set(0, 0, 80);
        r.battery.blockers = QStringList{QStringLiteral("BAT0 stops charging at 80 %.")};
        r.platform.Answer(answer);
        r.platform.At(3000, [&] { r.form.cmdExit->click(); });
        r.Click();
        QCOMPARE(r.platform.boxes.size(), 1);
        QCOMPARE(r.platform.boxes[0].style, 4 + 48);
        QCOMPARE(r.platform.boxes[0].text, r.battery.blockers[0] + QStringLiteral("\r\n\r\nStart the calibration anyway?"));
        QCOMPARE(r.form.Command1->isEnabled(), answer == vbNo);
        QCOMPARE(r.texts.isEmpty(), answer == vbNo);
        QCOMPARE(r.platform.endCalled, answer == vbYes);
        QVERIFY(!r.platform.awakeHeld);
    }

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
        r.form.Command2->click();
        QCOMPARE(r.platform.boxes.first().extraButton, QString());
        QCOMPARE(r.platform.boxes.last().extraButton, QStringLiteral("Show &Report\u2026"));
        // The discharge start writes the log, and so does the first pass.
        QCOMPARE(writesBeforeFirstPump, 2);
        QVERIFY(minuteLogs.size() >= 9);
        const QDateTime start = *platform::ParseDateText(minuteLogs[0][1]);
        for (const QStringList& log : minuteLogs) {
            QCOMPARE(log.size(), 4);  // three lines, each ending in CR LF
            QCOMPARE(log[1], minuteLogs[0][1]);
            QCOMPARE(log[0].toLongLong(), platform::MinutesBetween(start, *platform::ParseDateText(log[2])));
        }
        // The log keeps the write at the last multiple of 60 ticks, not the replug.
        const QDateTime lastWrite = *platform::ParseDateText(r.Log()[2]);
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
        QVERIFY(r.form.StatusText().contains(QStringLiteral("(Slow Discharge)")));
        QVERIFY(!r.platform.sleeps.mid(0, sleepsWhenSwitched).contains(1000));
        QVERIFY(r.platform.sleeps.mid(sleepsWhenSwitched).count(1000) >= 100);
        QVERIFY(r.platform.ElapsedMs() >= 200 * 1000 && r.platform.ElapsedMs() < 203 * 1000);
        QVERIFY(r.platform.boxes.last().text.startsWith(QStringLiteral("The AC Adaptor has been connected!")));
        QVERIFY(!r.platform.endCalled);
        QVERIFY(!r.form.Command1->isEnabled());
    }

    void dischargeCountsOnlyAwakeTime()
    {
        Run r;
        r.ReadyOnMains(vbYes, true);
        r.platform.pumpCostMs = 1000;  // a pass a second keeps hours of simulated time quick
        // Suspended for two hours ten minutes into the discharge.
        r.platform.At(10 * kMinute, [&] { r.platform.SystemSleep(120 * kMinute); });
        r.At(150 * kMinute + 30 * 1000, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; });
        r.Click();
        const QStringList log = r.Log();
        const QDateTime start = *platform::ParseDateText(log[1]);
        const QDateTime written = *platform::ParseDateText(log[2]);
        QVERIFY(start.secsTo(written) > 149 * 60);  // the wall-clock times stay real
        QVERIFY2(log[0].toInt() >= 29 && log[0].toInt() <= 30, qPrintable(log[0]));
        QVERIFY(r.form.StatusText().contains(QStringLiteral("Elapsed time=30 min.")));
        const auto samples = report::ReadRunRecords(QFileInfo(r.f.LogPath()).path() + "/runs").runs.value(0).samples;
        QVERIFY(!samples.isEmpty() && samples.last().awakeSeconds < 31 * 60);
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
        QCOMPARE(r.texts.size(), textsAtEnd);
        QCOMPARE(r.Log(), logAtEnd);
        QVERIFY(r.platform.ElapsedMs() < 67 * 1000);
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
        r.form.cmdFast->click();
        r.platform.At(2 * kMinute, [&] { r.battery.status.ACLineStatus = 1; });
        r.Click();
        QStringList bodies;
        for (const auto& notice : r.platform.notices)
            bodies << (notice.urgent ? QStringLiteral("!") : QString()) + notice.body.section(QLatin1Char(' '), 0, 2);
        QCOMPARE(bodies, QStringList({"The battery is", "!The battery is", "!The battery is", "Unplug the adaptor",
                                      "Warning: the run", "Discharge started (slow", "The adaptor was", "!The adaptor was"}));
        QCOMPARE(r.platform.notices[0].body, calibration::FullNoticeText(true));
        QVERIFY(r.platform.notices[5].body.endsWith(r.platform.notices[4].body));
        QVERIFY(!r.platform.progress.last().visible && !r.platform.progress.last().urgent);
        QVERIFY(std::any_of(r.platform.progress.begin(), r.platform.progress.end(),
                            [](const platform::TaskbarProgress& shown) { return shown.visible && shown.value == 1.0; }));

        power::BatteryDetails charging{.energyNowWh = 30, .energyFullWh = 50, .powerW = 10};
        QCOMPARE(calibration::MinutesToFull(charging), 120.0);
        charging.timeToFullMinutes = 42;
        QCOMPARE(calibration::MinutesToFull(charging), 42.0);
        QCOMPARE(calibration::MinutesToFull({.energyNowWh = 30, .energyFullWh = 50, .powerW = 0}), std::nullopt);
        QVERIFY(calibration::ChargeNoticeText(97, 90).endsWith(QStringLiteral("About 1 h 30 min to full.")));
        QVERIFY(!calibration::KeptAwake({QStringLiteral("logind idle: not present"), QStringLiteral("nothing was taken")}));
    }
};

QTEST_MAIN(CalibrationRunTest)
#include "tst_calibration_run.moc"
