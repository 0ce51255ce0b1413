// A whole calibration on the demo, in one process: the real window, real
// message boxes and the simulator's controls, found by their accessible
// names, down to the simulated machine switching itself off.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include "calibration/result_log_location.h"
#include "demo/demo_session.h"
#include "platform/date_text.h"
#include "support/find_control.h"
#include "support/modal_driver.h"

namespace {


// As a user drags the slider's handle.
void Drag(QSlider& slider, int value)
{
    slider.setSliderDown(true);
    slider.setSliderPosition(value);
    slider.setSliderDown(false);
}

QList<QByteArray> LogLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().split('\n');
}

const QString kAdaptorPrompt = QStringLiteral("Please connect the AC Adaptor to begin the calibration run!");
const QString kChargeWait = QStringLiteral("Waiting for battery to finish charging...");
const QString kUnplugPrompt = QStringLiteral("Please REMOVE THE AC ADAPTER to begin the calibration...");

}  // namespace

class DemoEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void wholeCalibrationUntilTheSimulatedMachineDies();

private:
    QTemporaryDir state_;
    QTemporaryDir emptyPath_;
};

void DemoEndToEndTest::initTestCase()
{
    QVERIFY(state_.isValid() && emptyPath_.isValid());
    qputenv("XDG_STATE_HOME", state_.path().toLocal8Bit());
    // No desktop's power panel can be found: none is launched.
    qputenv("PATH", emptyPath_.path().toLocal8Bit());
    QApplication::setQuitOnLastWindowClosed(false);
}

void DemoEndToEndTest::wholeCalibrationUntilTheSimulatedMachineDies()
{
    const QString logPath = calibration::DemoResultLogPath();
    QCOMPARE(QFileInfo(logPath).fileName(), QStringLiteral("Dorvik-demo.log"));
    QVERIFY(logPath.startsWith(state_.path()));
    // A stale log from an earlier run, which this run must replace.
    QVERIFY(QDir().mkpath(QFileInfo(logPath).path()));
    const QDateTime testStart = QDateTime::currentDateTime().addMSecs(-QTime::currentTime().msec());
    {
        QFile stale(logPath);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("99\r\n" + platform::DateText(testStart.addDays(-1)).toLocal8Bit() + "\r\n"
                    + platform::DateText(testStart.addDays(-1)).toLocal8Bit() + "\r\n");
    }

    int quits = 0;
    int switchOffs = 0;
    demo::DemoSession* running = nullptr;
    demo::DemoSession session(logPath, [&quits] { ++quits; }, [&] {
        ++switchOffs;
        running->Platform().RequestEnd();  // the run unwinds at its next pump
    });
    running = &session;
    session.Start();
    frmMain& window = session.Window();
    QWidget& simulator = session.Simulator();
    QVERIFY(window.isVisible() && simulator.isVisible());
    QVERIFY(simulator.geometry().left() >= window.geometry().right());

    auto* ac = FindByAccessibleName<QCheckBox>(simulator, QStringLiteral("AC adaptor plugged in"));
    auto* charge = FindByAccessibleName<QSlider>(simulator, QStringLiteral("Charge level"));
    auto* lapse = FindByAccessibleName<QComboBox>(simulator, QStringLiteral("Time lapse"));
    QVERIFY(ac && charge && lapse);
    QVERIFY(!ac->isChecked());
    lapse->setCurrentIndex(lapse->findText(QStringLiteral("60x")));
    // A small battery: even idle it dies within half a minute at 60x.
    session.Battery().SetCapacityWh(2.5);

    // The user's side, one step per phase, as the status box asks for it.
    int stage = 0;
    bool fullAfterDrag = false;
    bool toppingUpAfterDrag = false;
    QTimer user;
    connect(&user, &QTimer::timeout, [&] {
        const QString status = window.StatusText();
        if (stage == 0 && status == kAdaptorPrompt) {
            ac->click();
            ++stage;
        } else if (stage == 1 && status.startsWith(kChargeWait)) {
            Drag(*charge, 100);
            fullAfterDrag = session.Battery().ChargePercent() == 100.0;
            toppingUpAfterDrag = session.Battery().Charging();
            ++stage;
        } else if (stage == 2 && status == kUnplugPrompt) {
            ac->click();
            ++stage;
        }
    });
    user.start(50);

    ModalDriver boxes;
    QString m4;
    QString m5;
    QString statusAtM4;
    SYSTEM_POWER_STATUS atM4{};
    boxes.Expect([&](QMessageBox& box) {
        statusAtM4 = window.StatusText();
        session.Battery().Query(atM4);
        ModalDriver::Press(QMessageBox::Ok, &m4)(box);
    });
    boxes.Expect(ModalDriver::Press(QMessageBox::Yes, &m5));

    bool timedOut = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        session.Platform().RequestEnd();
    });
    watchdog.start(90'000);

    QTest::mouseClick(window.Command1, Qt::LeftButton);
    user.stop();
    watchdog.stop();

    QVERIFY(!timedOut);
    QCOMPARE(stage, 3);
    QVERIFY(fullAfterDrag);
    QVERIFY(toppingUpAfterDrag);
    QCOMPARE(m4, QStringLiteral("Please set up the Power Scheme according to the instructions\n"
                                "displayed in the box below and then click on OK"));
    QCOMPARE(m5, QStringLiteral("Ready to run the calibration now?"));
    QVERIFY(statusAtM4.startsWith(QStringLiteral("Please change the POWER SCHEME to PORTABLE/LAPTOP.")));
    // The run waited for the top-up to end: full, high and not charging.
    QCOMPARE(int(atM4.ACLineStatus), 1);
    QCOMPARE(int(atM4.BatteryFlag), 1);
    QCOMPARE(int(atM4.BatteryLifePercent), 100);
    QVERIFY(boxes.AllAnswered());
    QCOMPARE(boxes.unexpected, 0);
    QCOMPARE(switchOffs, 1);
    QVERIFY(session.Battery().SwitchedOff());
    QCOMPARE(session.Battery().ChargePercent(), 0.0);
    QCOMPARE(quits, 1);
    QVERIFY(!window.isVisible());

    // The log the run left: three lines of its own, not the stale one.
    const QList<QByteArray> lines = LogLines(logPath);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[3], QByteArray());
    const QString minutes = QString::fromLocal8Bit(lines[0].chopped(1));
    const auto started = platform::ParseDateText(QString::fromLocal8Bit(lines[1].chopped(1)));
    const auto written = platform::ParseDateText(QString::fromLocal8Bit(lines[2].chopped(1)));
    QVERIFY(started && written);
    QVERIFY(*started >= testStart);
    QVERIFY(*written >= *started);
    // The minutes come from a clock read just before the one of line 3.
    const qint64 minutesToWrite = platform::MinutesBetween(*started, *written);
    QVERIFY(minutes == QString::number(minutesToWrite) || minutes == QString::number(minutesToWrite - 1));

    // After "recharging": a fresh window on the same log reports it.
    power::SimulatedBattery charged([] { return qint64(0); });
    int freshQuits = 0;
    platform::QtPlatform freshPlatform(charged, [&freshQuits] { ++freshQuits; });
    frmMain fresh(freshPlatform, logPath);
    fresh.Dispatch(&frmMain::Form_Load);
    QString report;
    boxes.Expect(ModalDriver::Press(QMessageBox::Ok, &report));
    QTest::mouseClick(fresh.Command2, Qt::LeftButton);
    QVERIFY(boxes.AllAnswered());
    QCOMPARE(boxes.unexpected, 0);
    QCOMPARE(report.section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("The previous run lasted for %1 minutes before the battery ran out of charge.").arg(minutes));
    QVERIFY(report.endsWith(QStringLiteral("Finished=") + platform::DateText(*written)));
    QCOMPARE(freshQuits, 0);
}

QTEST_MAIN(DemoEndToEndTest)
#include "tst_demo_end_to_end.moc"
