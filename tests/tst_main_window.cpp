#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "support/window_fixture.h"

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startsInFastModeWithInstructionsAndEmptyStatus();
    void controlsKeepTheirGeometryAndTabOrder();
    void instructionsAreSevenExactLinesAndStayTheSame();
    void modeSwitchFlipsOnEveryPress();
    void helpTextIsThirteenLinesUnderTheApplicationTitle();
    void secondsCountsDeliveredTicksNotElapsedTime();
    void secondsGrowsPastSixteenBits();
    void statusTextReplacesWhatTheUserTyped();
    void exitHidesTheWindowAndEnds();
    void endInANestedHandlerStopsTheInterruptedHandler();
    void closingTheWindowDuringAPumpingHandlerEndsIt();
    void untrappedErrorIsReportedThenEnds();
};

void MainWindowTest::startsInFastModeWithInstructionsAndEmptyStatus()
{
    WindowFixture f;
    frmMain& w = *f.form;
    QCOMPARE(w.windowTitle(), QStringLiteral("Battery Calibration"));
    QVERIFY(w.isVisible());
    QCOMPARE(w.StatusText(), QString());
    QCOMPARE(w.Fast, 1);
    QCOMPARE(w.cmdFast->text(), QStringLiteral("Set Slow &Discharge"));
    QCOMPARE(w.Labdish->text(), QStringLiteral("Fast Discharge"));
    QCOMPARE(w.Seconds, 0);
    QVERIFY(w.Labdish->font().bold());
    QVERIFY(!w.Label1->font().bold());
    QCOMPARE(w.Label1->font().pointSizeF(), 8.25);
    QVERIFY(!w.windowIcon().isNull());
    for (QPushButton* b : {w.cmdGP, w.Command2, w.cmdFast, w.Command1, w.Help, w.cmdExit}) {
        QVERIFY(b->isEnabled());
        QVERIFY(!b->isDefault());
    }
    QCOMPARE(w.cmdGP->text(), QStringLiteral("Display Current Battery &Status"));
    QCOMPARE(w.Command2->text(), QStringLiteral("&View Result"));
    QCOMPARE(w.Command1->text(), QStringLiteral("&Begin Calibration"));
    QCOMPARE(w.Help->text(), QStringLiteral("&Help"));
    QCOMPARE(w.cmdExit->text(), QStringLiteral("E&xit"));
    QApplication::setActiveWindow(&w);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.cmdExit));
}

void MainWindowTest::controlsKeepTheirGeometryAndTabOrder()
{
    WindowFixture f;
    frmMain& w = *f.form;
    QCOMPARE(w.size(), QSize(416, 418));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QCOMPARE(w.TxtStatus->geometry(), QRect(8, 8, 300, 233));
    QCOMPARE(w.Label1->geometry(), QRect(7, 256, 300, 145));
    QCOMPARE(w.cmdGP->geometry(), QRect(321, 6, 89, 52));
    QCOMPARE(w.Command2->geometry(), QRect(320, 72, 89, 33));
    QCOMPARE(w.Labdish->geometry(), QRect(324, 135, 76, 34));
    QCOMPARE(w.cmdFast->geometry(), QRect(321, 201, 89, 34));
    QCOMPARE(w.Command1->geometry(), QRect(321, 264, 89, 52));
    QCOMPARE(w.Help->geometry(), QRect(369, 336, 41, 33));
    QCOMPARE(w.cmdExit->geometry(), QRect(368, 384, 43, 28));

    const QList<QWidget*> expected = {w.cmdExit, w.TxtStatus, w.cmdGP, w.Command1, w.Command2, w.Help, w.cmdFast};
    QList<QWidget*> order;
    QWidget* current = w.cmdExit;
    do {
        order.append(current);
        current = current->nextInFocusChain();
        while (current->focusPolicy() == Qt::NoFocus || !expected.contains(current)) {
            if (current == w.cmdExit)
                break;
            current = current->nextInFocusChain();
        }
    } while (current != w.cmdExit && order.size() < 20);
    QCOMPARE(order, expected);
    QCOMPARE(w.Label1->focusPolicy(), Qt::NoFocus);
    QCOMPARE(w.Labdish->focusPolicy(), Qt::NoFocus);
}

void MainWindowTest::instructionsAreSevenExactLinesAndStayTheSame()
{
    WindowFixture f;
    const QString expected = CrLfJoined({
        "Battery Calibration",
        "----------------------------",
        "1. Connect the AC Adaptor and click on the Begin Calibration         button to start the calibration procedure.",
        "2. Calibration is complete when the system switches itself off           (or automatically enters Standby Mode).",
        "3. Reconnect the AC Adaptor and fully charge the battery.",
        "4. You can run this utility again and use the View Result button      to see how long the battery lasted.",
        "Note: Use a Slow Discharge setting if you wish to use the                    system while this application is running.",
    });
    QCOMPARE(f.form->InstructionText(), expected);
    QVERIFY(f.form->InstructionText().endsWith(QStringLiteral("running.")));
    f.form->ShowInstructions();
    QCOMPARE(f.form->InstructionText(), expected);
}

void MainWindowTest::modeSwitchFlipsOnEveryPress()
{
    WindowFixture f;
    frmMain& w = *f.form;
    for (int press = 1; press <= 5; ++press) {
        w.cmdFast->click();
        const bool slow = press % 2 == 1;
        QCOMPARE(w.Fast, slow ? 0 : 1);
        QCOMPARE(w.cmdFast->text(), slow ? QStringLiteral("Set Fast &Discharge") : QStringLiteral("Set Slow &Discharge"));
        QCOMPARE(w.Labdish->text(), slow ? QStringLiteral("Slow Discharge") : QStringLiteral("Fast Discharge"));
    }
}

void MainWindowTest::helpTextIsThirteenLinesUnderTheApplicationTitle()
{
    WindowFixture f;
    f.form->Help->click();
    QCOMPARE(f.platform.boxes.size(), 1);
    const FakePlatform::Box box = f.platform.boxes.first();
    QCOMPARE(box.style, 0);
    QCOMPARE(box.title, QStringLiteral("Dorvik"));
    const QStringList lines = box.text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 13);
    QVERIFY(lines[1].isEmpty() && lines[7].isEmpty() && lines[11].isEmpty());
    QVERIFY(lines[3].endsWith(QStringLiteral("(i.e. ")));
    QVERIFY(lines[8].endsWith(QStringLiteral("during ")));
    QCOMPARE(lines[0], QStringLiteral("This utility is designed to help you calibrate your Notebook or Tablet PC Smart battery"));
    QCOMPARE(lines[12], QStringLiteral("Note: You should fully charge the battery after the calibration run has completed."));
    QVERIFY(!box.text.endsWith(QStringLiteral("\r\n")));
    QVERIFY(!box.text.contains(QStringLiteral("\r\n\r\n\r\n")));
}

void MainWindowTest::secondsCountsDeliveredTicksNotElapsedTime()
{
    WindowFixture f;
    f.platform.RunIdle(5500);
    QCOMPARE(f.form->Seconds, 5);
    // A handler that blocks for 3.5 s without pumping: one tick, not three.
    f.form->Dispatch([&] {
        f.platform.Sleep(3500);
        f.platform.DoEvents();
    });
    QCOMPARE(f.form->Seconds, 6);
    f.platform.RunIdle(900);
    QCOMPARE(f.form->Seconds, 6);
    f.platform.RunIdle(200);
    QCOMPARE(f.form->Seconds, 7);
}

void MainWindowTest::secondsGrowsPastSixteenBits()
{
    WindowFixture f;
    f.form->Seconds = 32767;
    f.form->MilliSec_Timer();
    QCOMPARE(f.form->Seconds, 32768);
    f.form->Seconds = 2147483647;
    f.form->MilliSec_Timer();
    QVERIFY(f.form->Seconds > 0);
}

void MainWindowTest::statusTextReplacesWhatTheUserTyped()
{
    WindowFixture f;
    const QString text = CrLfJoined({"one", "", "three"});
    f.form->SetStatusText(text);
    QCOMPARE(f.form->StatusText(), text);
    QTest::keyClicks(f.form->TxtStatus, QStringLiteral("typed"));
    QVERIFY(f.form->StatusText() != text);
    f.form->SetStatusText(text);
    QCOMPARE(f.form->StatusText(), text);
}

void MainWindowTest::exitHidesTheWindowAndEnds()
{
    WindowFixture f;
    f.form->cmdExit->click();
    QVERIFY(f.platform.endCalled);
    QVERIFY(!f.form->isVisible());
    QCOMPARE(f.platform.boxes.size(), 0);
}

void MainWindowTest::endInANestedHandlerStopsTheInterruptedHandler()
{
    WindowFixture f;
    int passes = 0;
    bool statementAfterPumpRan = false;
    f.platform.At(3000, [&] { f.form->cmdExit->click(); });
    f.form->Dispatch([&] {
        for (;;) {
            ++passes;
            f.platform.Sleep(500);
            f.platform.DoEvents();
            if (f.platform.ElapsedMs() > 3000)
                statementAfterPumpRan = true;
        }
    });
    QVERIFY(f.platform.endCalled);
    QVERIFY(!statementAfterPumpRan);
    QVERIFY(passes >= 6 && passes <= 7);
    QVERIFY(!f.form->isVisible());
    // Later pumps and boxes unwind at once too.
    bool ranAfterEnd = false;
    f.form->Dispatch([&] {
        f.platform.MsgBox(QStringLiteral("never shown"));
        ranAfterEnd = true;
    });
    QVERIFY(!ranAfterEnd);
    QCOMPARE(f.platform.boxes.size(), 0);
}

void MainWindowTest::closingTheWindowDuringAPumpingHandlerEndsIt()
{
    WindowFixture f;
    bool continued = false;
    f.platform.At(1500, [&] { f.form->close(); });
    f.form->Dispatch([&] {
        for (int i = 0; i < 100; ++i) {
            f.platform.Sleep(500);
            f.platform.DoEvents();
        }
        continued = true;
    });
    QVERIFY(f.platform.endCalled);
    QVERIFY(!continued);
    QVERIFY(f.platform.ElapsedMs() < 3000);
}

void MainWindowTest::untrappedErrorIsReportedThenEnds()
{
    WindowFixture f;
    bool continued = false;
    f.form->Dispatch([&] {
        throw platform::UntrappedError(QStringLiteral("Could not write /x/Dorvik.log."),
                                       QStringLiteral("Not a directory"));
        continued = true;
    });
    QVERIFY(!continued);
    QVERIFY(f.platform.endCalled);
    QCOMPARE(f.platform.boxes.size(), 1);
    QCOMPARE(f.platform.boxes[0].style, platform::vbCritical);
    QCOMPARE(f.platform.boxes[0].title, QStringLiteral("Dorvik"));
    QVERIFY(f.platform.boxes[0].text.contains(QStringLiteral("/x/Dorvik.log")));
    QVERIFY(f.platform.boxes[0].text.contains(QStringLiteral("Not a directory")));
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
