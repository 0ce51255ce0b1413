#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "platform/date_text.h"
#include "support/scripted_power.h"
#include "support/window_fixture.h"

namespace {

using platform::vbCancel;
using platform::vbNo;
using platform::vbOK;
using platform::vbYes;

const QString S1 = QStringLiteral("Please connect the AC Adaptor to begin the calibration run!");
const QString S4 = QStringLiteral("Please REMOVE THE AC ADAPTER to begin the calibration...");
const QString S5 = QStringLiteral("Calibration run now Started");
const QString M3 = QStringLiteral("The battery does not seem to be charging!\r\nWould you like to start calibration anyway?");
const QString M4 = QStringLiteral("Please set up the Power Scheme according to the instructions\r\n"
                                  "displayed in the box below and then click on OK");
const QString M5 = QStringLiteral("Ready to run the calibration now?");

QString S2(int percent)
{
    return CrLfJoined({"Waiting for battery to finish charging...",
                       QStringLiteral("Total battery power remaining: %1%").arg(percent),
                       "(Hint: To allow faster charging, shutdown the system.)"});
}

QString S3()
{
    return CrLfJoined({"Please change the POWER SCHEME to PORTABLE/LAPTOP.",
                       "Then change the RUNNING ON BATTERIES column items to NEVER i.e. set the TURN OFF MONITOR, "
                       "TURN OFF HARD DISKS, SYSTEM STANDBY and SYSTEM HIBERNATES settings (if present) all to NEVER. "
                       "Finally set the ALARMS to as low a setting as possible.",
                       "Then click on OK to close down Control Panel"});
}

// A window on the fake platform with a scripted battery; every status text
// the run sets is recorded with the time it was set.
struct Run : WindowFixture {
    ScriptedPower battery;
    QStringList texts;
    QList<qint64> textTimes;

    Run()
    {
        platform.power = &battery;
        QObject::connect(form->TxtStatus, &QPlainTextEdit::textChanged, [this] {
            texts.append(form->StatusText());
            textTimes.append(platform.ElapsedMs());
        });
    }
    void Click() { form->Command1->click(); }
    // The battery changes at a moment of simulated time, whatever the run
    // is doing then; the next read sees it.
    void BatteryAt(qint64 ms, std::function<void(SYSTEM_POWER_STATUS&)> change)
    {
        changes.append({ms, std::move(change)});
        battery.onQuery = [this](SYSTEM_POWER_STATUS& s) {
            while (!changes.isEmpty() && changes.first().first <= platform.ElapsedMs()) {
                changes.takeFirst().second(battery.status);
                s = battery.status;
            }
        };
    }
    QList<QPair<qint64, std::function<void(SYSTEM_POWER_STATUS&)>>> changes;
    // Answers the power-scheme boxes: OK to M4, then the given answer to M5.
    void AnswerSetup(int m5)
    {
        platform.Answer(vbOK);
        platform.Answer(m5);
    }
    QStringList Log() const
    {
        QFile file(LogPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n"));
    }
    QStringList BoxTexts() const
    {
        QStringList result;
        for (const auto& box : platform.boxes)
            result.append(box.text);
        return result;
    }
    // Plugged in, full and reporting high: the run goes straight to set-up.
    void ReadyOnMains() { battery.Set(1, 1, 100); }
    // Unplugs as soon as the unplug wait asks for it.
    void UnplugWhenAsked(std::uint8_t percentOnBattery = 100)
    {
        QObject::connect(form->TxtStatus, &QPlainTextEdit::textChanged, [this, percentOnBattery] {
            if (form->StatusText() == S4)
                battery.Set(0, 1, percentOnBattery);
        });
    }
    // Plugs the adaptor in again at a time, confirming the replug.
    void ReplugAt(qint64 ms)
    {
        platform.At(ms, [this] { battery.status.ACLineStatus = 1; });
    }
};

}  // namespace

class CalibrationRunTest : public QObject {
    Q_OBJECT

private slots:
    void entryFailedReadShowsM1AndEnds();
    void entryAdaptorOutAsksOnceASecondUntilPluggedIn();
    void entryFullBatteryGoesStraightToSetup();
    void chargeWaitShowsPercentAndAsksOnlyWhenItDoesNotMove();
    void chargeWaitYesGoesOnOnlyWhenHighAndNotCharging();
    void chargeWaitSingleUnknownReadingIsForgiven();
    void chargeWaitTwoUnknownReadingsEndTheRun();
    void chargeWaitAdaptorPulledStartsOverWithANewWindow();
    void chargeWaitAtFullButChargingCyclesWithoutSleeping();
    void setupNoRepeatsAndCancelEnds();
    void setupWithoutAPanelStillAsks();
    void unplugWaitIgnoresUnknownAdaptorState();
    void dischargeLogsRightAfterStartAndEveryMinute();
    void dischargeShowsElevenLinesAndFollowsTheMode();
    void dischargeOnlyAConfirmedReplugEndsTheRun();
    void dischargeLastsTenHours();
    void exitOrCloseDuringAWaitEndsTheRun_data();
    void exitOrCloseDuringAWaitEndsTheRun();
    void unwritableLogIsReportedAndEnds();
};

void CalibrationRunTest::entryFailedReadShowsM1AndEnds()
{
    Run r;
    r.battery.result = 0;
    r.Click();
    QVERIFY(r.platform.endCalled);
    QCOMPARE(r.platform.boxes.size(), 1);
    QCOMPARE(r.platform.boxes[0].text, QStringLiteral("Error returning battery status (no battery?)"));
    QCOMPARE(r.platform.boxes[0].style, 16);
    QVERIFY(!r.form->Command1->isEnabled());
    QCOMPARE(r.platform.pumps, 0);
}

void CalibrationRunTest::entryAdaptorOutAsksOnceASecondUntilPluggedIn()
{
    Run r;
    r.battery.Set(0, 0, 50);
    r.BatteryAt(4200, [](SYSTEM_POWER_STATUS& s) { s.ACLineStatus = 1; s.BatteryFlag = 8; });
    r.platform.At(6000, [&] { r.form->cmdExit->click(); });
    r.Click();
    // S1 from the start, a read every second until the plug-in is seen.
    QCOMPARE(r.texts.first(), S1);
    QCOMPARE(r.platform.sleeps.mid(0, 5), QList<int>({1000, 1000, 1000, 1000, 1000}));
    QCOMPARE(r.platform.sleeps.value(5), 500);
    QCOMPARE(r.texts.indexOf(S2(50)), 1);
    QVERIFY(r.textTimes[1] >= 5000 + 500);
    QCOMPARE(r.texts.last(), S2(50));
    QVERIFY(r.platform.endCalled);
}

void CalibrationRunTest::entryFullBatteryGoesStraightToSetup()
{
    Run r;
    r.ReadyOnMains();
    r.AnswerSetup(vbCancel);
    r.Click();
    QCOMPARE(r.texts.filter(QStringLiteral("Waiting for battery")).size(), 0);
    QCOMPARE(r.texts.last(), S3());
    QCOMPARE(r.platform.launches.size(), 1);
    QCOMPARE(r.platform.launches[0].program, QStringLiteral("power-panel"));
    QCOMPARE(r.BoxTexts(), QStringList({M4, M5}));
    QCOMPARE(r.platform.boxes[0].style, 0);
    QCOMPARE(r.platform.boxes[1].style, 3);
    QVERIFY(r.platform.endCalled);
    QVERIFY(r.platform.sleeps.isEmpty());
}

void CalibrationRunTest::chargeWaitShowsPercentAndAsksOnlyWhenItDoesNotMove()
{
    Run r;
    r.battery.Set(1, 8, 60);
    // Moves within the first window, then stalls.
    r.platform.At(15 * 60 * 1000, [&] { r.battery.status.BatteryLifePercent = 61; });
    r.platform.Answer([&](const FakePlatform::Box&) {
        r.form->cmdExit->click();
        return vbNo;
    });
    r.Click();
    QCOMPARE(r.texts, QStringList({S2(60), S2(61)}));
    QCOMPARE(r.BoxTexts(), QStringList({M3}));
    QCOMPARE(r.platform.boxes[0].style, 4);
    // The first window closed after about 20 minutes without a question; the
    // second, unmoved one asked about 20 minutes later.
    QVERIFY(r.platform.ElapsedMs() > 40 * 60 * 1000);
    QVERIFY(r.platform.ElapsedMs() < 44 * 60 * 1000);
    QCOMPARE(r.platform.sleeps.count(500), r.platform.sleeps.size());
}

void CalibrationRunTest::chargeWaitYesGoesOnOnlyWhenHighAndNotCharging()
{
    Run r;
    r.battery.Set(1, 9, 80);  // high and charging, stuck at 80
    QList<qint64> askedAt;
    QList<qint64> secondsWhenAsked;
    const auto ask = [&](int answer) {
        r.platform.Answer([&, answer](const FakePlatform::Box&) {
            askedAt.append(r.platform.ElapsedMs());
            secondsWhenAsked.append(r.form->Seconds);
            return answer;
        });
    };
    ask(vbNo);
    ask(vbYes);  // still charging: waits again
    r.platform.At(50 * 60 * 1000, [&] { r.battery.status.BatteryFlag = 1; });
    ask(vbYes);  // high and not charging now: goes on
    r.AnswerSetup(vbCancel);
    r.Click();
    QCOMPARE(r.BoxTexts(), QStringList({M3, M3, M3, M4, M5}));
    QCOMPARE(r.platform.unexpectedBoxes, 0);
    QCOMPARE(askedAt.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(secondsWhenAsked[i], 0);  // reset before asking
        const qint64 since = askedAt[i] - (i ? askedAt[i - 1] : 0);
        QVERIFY2(since > 1200 * 1000 && since < 1260 * 1000, qPrintable(QString::number(since)));
    }
    QCOMPARE(r.texts.last(), S3());
}

void CalibrationRunTest::chargeWaitSingleUnknownReadingIsForgiven()
{
    Run r;
    r.battery.Set(1, 8, 40);
    int readings = 0;
    r.battery.onQuery = [&](SYSTEM_POWER_STATUS& s) {
        ++readings;
        if (readings == 5)
            s.BatteryLifePercent = 255;
        if (readings >= 6)
            s.BatteryLifePercent = 41;
    };
    r.platform.At(5000, [&] { r.form->cmdExit->click(); });
    r.Click();
    QCOMPARE(r.platform.boxes.size(), 0);
    QVERIFY(r.platform.sleeps.contains(2000));
    // The pass with the second look shows nothing: 41 appears only at the
    // pass after it, a half second after the second look.
    QCOMPARE(r.texts, QStringList({S2(40), S2(41)}));
    QVERIFY(r.textTimes[1] - r.textTimes[0] >= 500 + 500 + 2000 + 500);
}

void CalibrationRunTest::chargeWaitTwoUnknownReadingsEndTheRun()
{
    Run r;
    r.battery.Set(1, 8, 40);
    r.platform.At(2000, [&] { r.battery.status.BatteryLifePercent = 255; });
    r.Click();
    QCOMPARE(r.platform.boxes.size(), 1);
    QCOMPARE(r.platform.boxes[0].text, QStringLiteral("Unknown battery charge level, cannot continue!"));
    QCOMPARE(r.platform.boxes[0].style, 48);
    QVERIFY(r.platform.endCalled);
    QCOMPARE(r.platform.sleeps.last(), 2000);
}

void CalibrationRunTest::chargeWaitAdaptorPulledStartsOverWithANewWindow()
{
    Run r;
    r.battery.Set(1, 8, 70);
    qint64 secondsAtPlugIn = -1;
    r.platform.At(10 * 60 * 1000, [&] { r.battery.status.ACLineStatus = 0; });
    r.platform.At(10 * 60 * 1000 + 3000, [&] { r.battery.status.ACLineStatus = 1; });
    r.platform.At(10 * 60 * 1000 + 6000, [&] {
        secondsAtPlugIn = r.form->Seconds;
        r.form->cmdExit->click();
    });
    r.Click();
    const int firstS1 = r.texts.indexOf(S1);
    QVERIFY(firstS1 > 0);
    QCOMPARE(r.texts[firstS1 - 1], S2(70));  // the pass that saw the unplug
    QCOMPARE(r.texts.last(), S2(70));
    // The charge wait after the plug-in started a new window from 0.
    QVERIFY(secondsAtPlugIn >= 0 && secondsAtPlugIn < 5);
}

void CalibrationRunTest::chargeWaitAtFullButChargingCyclesWithoutSleeping()
{
    Run r;
    r.battery.Set(1, 9, 99);
    r.BatteryAt(3000, [](SYSTEM_POWER_STATUS& s) { s.BatteryLifePercent = 100; });
    r.BatteryAt(4000, [](SYSTEM_POWER_STATUS& s) { s.BatteryFlag = 1; });
    r.AnswerSetup(vbCancel);
    r.Click();
    const int sleepsBeforeFull = r.platform.sleeps.size();
    QVERIFY(sleepsBeforeFull <= 7);
    // Between 3 s and 4 s the run pumped and read about a thousand times
    // without sleeping, leaving the text as it was.
    QVERIFY(r.battery.queries > 900);
    QCOMPARE(r.texts.last(), S3());
    QCOMPARE(r.texts[r.texts.size() - 2], S2(100));  // the pass that saw 100
}

void CalibrationRunTest::setupNoRepeatsAndCancelEnds()
{
    Run r;
    r.ReadyOnMains();
    r.AnswerSetup(vbNo);
    r.AnswerSetup(vbCancel);
    r.Click();
    QCOMPARE(r.BoxTexts(), QStringList({M4, M5, M4, M5}));
    QCOMPARE(r.platform.unexpectedBoxes, 0);
    QCOMPARE(r.platform.launches.size(), 2);
    QCOMPARE(r.texts, QStringList({S3()}));
    QVERIFY(r.platform.endCalled);
    // The entry read and the charge-wait set-up's; none in this phase.
    QCOMPARE(r.battery.queries, 2);
}

void CalibrationRunTest::setupWithoutAPanelStillAsks()
{
    Run r;
    r.ReadyOnMains();
    r.platform.panel.reset();
    r.AnswerSetup(vbCancel);
    r.Click();
    QVERIFY(r.platform.launches.isEmpty());
    QCOMPARE(r.BoxTexts(), QStringList({M4, M5}));
    QCOMPARE(r.texts.last(), S3());
}

void CalibrationRunTest::unplugWaitIgnoresUnknownAdaptorState()
{
    Run r;
    r.ReadyOnMains();
    r.AnswerSetup(vbYes);
    r.platform.At(2000, [&] { r.battery.status.ACLineStatus = 255; });
    r.platform.At(5000, [&] { r.battery.status.ACLineStatus = 0; });
    r.platform.At(8000, [&] { r.form->cmdExit->click(); });
    r.Click();
    const int s5 = r.texts.indexOf(S5);
    QVERIFY(s5 > 0);
    QCOMPARE(r.texts[s5 - 1], S4);
    QVERIFY(r.textTimes[s5] >= 5000);
    QVERIFY(r.textTimes[s5] < 5600);
}

void CalibrationRunTest::dischargeLogsRightAfterStartAndEveryMinute()
{
    Run r;
    r.ReadyOnMains();
    r.AnswerSetup(vbYes);
    r.UnplugWhenAsked();
    r.form->cmdFast->click();  // slow: one pass a second
    QStringList firstLog;
    QList<QPair<qint64, QStringList>> minuteLogs;
    qint64 lastSeconds = -1;
    r.platform.onPump = [&] {
        if (!r.texts.contains(S5))
            return;
        const qint64 s = r.form->Seconds;
        if (firstLog.isEmpty())
            firstLog = r.Log();  // the first pump after the discharge start
        if (s % 60 == 0 && s != lastSeconds)
            minuteLogs.append(qMakePair(s, QStringList()));
        else if (s % 60 == 1 && lastSeconds % 60 == 0 && !minuteLogs.isEmpty())
            minuteLogs.last().second = r.Log();
        lastSeconds = s;
    };
    r.ReplugAt(10 * 60 * 1000 + 30 * 1000);
    r.Click();

    const QStringList first = firstLog;
    QCOMPARE(first.size(), 4);  // three lines, each ending in CR LF
    QCOMPARE(first[0], QStringLiteral("0"));
    QVERIFY(first[3].isEmpty());
    const QDateTime start = *platform::ParseDateText(first[1]);
    QVERIFY(platform::ParseDateText(first[2]).has_value());

    QVERIFY(minuteLogs.size() >= 9);
    for (const auto& [seconds, log] : minuteLogs) {
        if (log.isEmpty())
            continue;
        QCOMPARE(log[1], first[1]);
        const QDateTime written = *platform::ParseDateText(log[2]);
        QCOMPARE(log[0].toLongLong(), platform::MinutesBetween(start, written));
        QVERIFY(log[0].toLongLong() >= seconds / 60 - 1);
    }
    // The replug ended the run; the log is the one written at the last
    // multiple of 60 ticks, not at the replug.
    QCOMPARE(r.platform.boxes.last().style, 48);
    const QStringList last = r.Log();
    const QDateTime lastWrite = *platform::ParseDateText(last[2]);
    const QDateTime replug = r.platform.StartTime().addSecs(10 * 60 + 30);
    QVERIFY(lastWrite < replug);
    QVERIFY(lastWrite.secsTo(replug) < 62);
}

void CalibrationRunTest::dischargeShowsElevenLinesAndFollowsTheMode()
{
    Run r;
    r.ReadyOnMains();
    r.AnswerSetup(vbYes);
    r.UnplugWhenAsked(97);
    QString fastText;
    QString slowText;
    qint64 switchedAt = -1;
    r.platform.At(30 * 1000, [&] {
        fastText = r.form->StatusText();
        r.form->cmdFast->click();
        switchedAt = r.platform.sleeps.size();
    });
    r.platform.At(40 * 1000, [&] {
        slowText = r.form->StatusText();
        r.form->cmdExit->click();
    });
    r.Click();
    const QStringList lines = fastText.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 11);
    QVERIFY(lines[0].startsWith(QStringLiteral("Start=")));
    QVERIFY(platform::ParseDateText(lines[0].mid(6)).has_value());
    QVERIFY(platform::ParseDateText(lines[1].mid(4)).has_value());
    QVERIFY(lines[1].startsWith(QStringLiteral("Now=")));
    QVERIFY(QRegularExpression(QStringLiteral("^Elapsed time=\\d+ min\\.  \\(97% charged\\)$")).match(lines[2]).hasMatch());
    QCOMPARE(lines[3], QString());
    QCOMPARE(lines[4], QStringLiteral("CALIBRATION STARTED  (Fast Discharge)"));
    QCOMPARE(lines[5], QString());
    QCOMPARE(lines[6], QStringLiteral("PLEASE DO NOT SWITCH THE SYSTEM OFF"));
    QCOMPARE(lines[7], QStringLiteral("OR CLOSE THE LID."));
    QCOMPARE(lines[8], QStringLiteral("DO NOT RE-CONNECT THE AC ADAPTOR."));
    QCOMPARE(lines[9], QString());
    QCOMPARE(lines[10], QStringLiteral("WARNING: If you continue to use the system, you may lose your work if the system switches off suddenly."));
    QCOMPARE(slowText.split(QStringLiteral("\r\n"))[4], QStringLiteral("CALIBRATION STARTED  (Slow Discharge)"));
    // Fast passes never sleep but after a log write; slow passes sleep a second.
    const QList<int> before = r.platform.sleeps.mid(0, switchedAt);
    const QList<int> after = r.platform.sleeps.mid(switchedAt);
    QVERIFY(!before.contains(1000));
    QVERIFY(after.count(1000) >= 8);
}

void CalibrationRunTest::dischargeOnlyAConfirmedReplugEndsTheRun()
{
    Run r;
    r.ReadyOnMains();
    r.AnswerSetup(vbYes);
    r.UnplugWhenAsked();
    r.form->cmdFast->click();
    // A blip: one reading online, offline again 500 ms later.
    bool blipped = false;
    r.battery.onQuery = [&](SYSTEM_POWER_STATUS& s) {
        if (!blipped && r.platform.ElapsedMs() > 20 * 1000 && r.form->Seconds % 60 != 0) {
            blipped = true;
            s.ACLineStatus = 1;
        }
    };
    r.ReplugAt(200 * 1000);
    r.Click();
    QVERIFY(blipped);
    QVERIFY(!r.platform.endCalled);
    QCOMPARE(r.platform.boxes.last().text,
             QStringLiteral("The AC Adaptor has been connected!\r\n"
                            "Please click on View Result to see how long the battery lasted\r\n"
                            "(or exit and re-run this application if the battery did not fully discharge)."));
    QVERIFY(r.platform.ElapsedMs() >= 200 * 1000);
    QVERIFY(r.platform.ElapsedMs() < 203 * 1000);
    QVERIFY(!r.form->Command1->isEnabled());
    QVERIFY(r.form->StatusText().startsWith(QStringLiteral("Start=")));
    r.form->Command1->click();  // disabled: nothing happens
    QCOMPARE(r.platform.boxes.size(), 3);
}

void CalibrationRunTest::dischargeLastsTenHours()
{
    Run r;
    r.ReadyOnMains();
    r.AnswerSetup(vbYes);
    r.UnplugWhenAsked();
    r.platform.pumpCostMs = 1000;  // a heavily loaded machine: a pass a second
    const qint64 tenHours = 10LL * 3600 * 1000;
    r.ReplugAt(tenHours);
    r.Click();
    QVERIFY(r.form->Seconds > 32767);
    const QStringList log = r.Log();
    const QDateTime start = *platform::ParseDateText(log[1]);
    const QDateTime written = *platform::ParseDateText(log[2]);
    QCOMPARE(log[0].toLongLong(), platform::MinutesBetween(start, written));
    QVERIFY(log[0].toLongLong() >= 598 && log[0].toLongLong() <= 600);
}

void CalibrationRunTest::exitOrCloseDuringAWaitEndsTheRun_data()
{
    QTest::addColumn<int>("phase");
    QTest::addColumn<bool>("close");
    const char* phases[] = {"adaptor wait", "charge wait", "unplug wait", "fast discharge", "slow discharge"};
    for (int phase = 0; phase < 5; ++phase) {
        QTest::newRow(qPrintable(QStringLiteral("Exit, %1").arg(phases[phase]))) << phase << false;
        QTest::newRow(qPrintable(QStringLiteral("close, %1").arg(phases[phase]))) << phase << true;
    }
}

void CalibrationRunTest::exitOrCloseDuringAWaitEndsTheRun()
{
    QFETCH(int, phase);
    QFETCH(bool, close);
    Run r;
    switch (phase) {
    case 0: r.battery.Set(0, 0, 50); break;
    case 1: r.battery.Set(1, 8, 50); break;
    default:
        r.ReadyOnMains();
        r.AnswerSetup(vbYes);
        if (phase == 2)
            break;
        r.UnplugWhenAsked();
        if (phase == 4)
            r.form->cmdFast->click();
    }
    int textsAtEnd = -1;
    QByteArray logAtEnd;
    r.platform.pumpCostMs = 10;
    r.platform.At(65 * 1000, [&] {
        textsAtEnd = r.texts.size();
        QFile log(r.LogPath());
        if (log.open(QIODevice::ReadOnly))
            logAtEnd = log.readAll();
        if (close)
            r.form->close();
        else
            r.form->cmdExit->click();
    });
    r.Click();
    QVERIFY(r.platform.endCalled);
    QVERIFY(!r.platform.deadlineHit);
    QVERIFY(!r.form->isVisible());
    QCOMPARE(r.texts.size(), textsAtEnd);
    QFile log(r.LogPath());
    if (log.open(QIODevice::ReadOnly))
        QCOMPARE(log.readAll(), logAtEnd);
    QVERIFY(r.platform.ElapsedMs() < 67 * 1000);
}

void CalibrationRunTest::unwritableLogIsReportedAndEnds()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("state")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    FakePlatform fake;
    ScriptedPower battery;
    fake.power = &battery;
    frmMain form(fake, dir.filePath(QStringLiteral("state/Dorvik.log")));
    form.Dispatch(&frmMain::Form_Load);
    fake.Answer(vbOK);
    fake.Answer(vbYes);
    fake.At(3000, [&] { battery.status.ACLineStatus = 0; });
    form.Command1->click();
    QVERIFY(fake.endCalled);
    QCOMPARE(form.StatusText(), S5);
    const auto report = fake.boxes.last();
    QCOMPARE(report.style, 16);
    QCOMPARE(report.title, QStringLiteral("Dorvik"));
    QVERIFY2(report.text.contains(dir.filePath(QStringLiteral("state"))), qPrintable(report.text));
}

QTEST_MAIN(CalibrationRunTest)
#include "tst_calibration_run.moc"
