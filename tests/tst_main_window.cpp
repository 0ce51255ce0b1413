#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "support/window_fixture.h"

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startsInFastModeAndSwitchesOnEveryPress();
    void tabWalksEveryControlAndWraps();
    void secondsCountsDeliveredTicksNotElapsedTime();
    void exitHidesTheWindowAndEnds();
};

void MainWindowTest::startsInFastModeAndSwitchesOnEveryPress()
{
    WindowFixture f;
    frmMain& w = *f.form;
    QVERIFY(w.isVisible());
    QCOMPARE(w.StatusText(), QString());
    QCOMPARE(w.Seconds, 0);
    for (int press = 0; press < 3; ++press) {
        const bool fast = press % 2 == 0;
        QCOMPARE(w.Fast, fast ? 1 : 0);
        QCOMPARE(w.Labdish->text(), fast ? QStringLiteral("Fast Discharge") : QStringLiteral("Slow Discharge"));
        w.cmdFast->click();
    }
}

void MainWindowTest::tabWalksEveryControlAndWraps()
{
    WindowFixture f;
    frmMain& w = *f.form;
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QCOMPARE(QApplication::focusWidget(), w.cmdExit);
    const QList<QWidget*> order = {w.TxtStatus, w.cmdGP, w.Command1, w.Command2, w.Help, w.cmdFast, w.cmdExit};
    for (QWidget* expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), expected);
    }
    for (int i = order.size() - 2; i >= -1; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), i >= 0 ? order[i] : w.cmdExit);
    }
    QCOMPARE(w.StatusText(), QString());  // no tab character was typed
}

void MainWindowTest::secondsCountsDeliveredTicksNotElapsedTime()
{
    WindowFixture f;
    f.platform.RunIdle(5500);
    QCOMPARE(f.form->Seconds, 5);
    // Three and a half seconds without processing events: one tick, not three.
    f.platform.Advance(3500);
    f.platform.RunIdle(0);
    QCOMPARE(f.form->Seconds, 6);
    f.form->Seconds = 32767;
    f.platform.RunIdle(1000);
    QCOMPARE(f.form->Seconds, 32768);
}

void MainWindowTest::exitHidesTheWindowAndEnds()
{
    WindowFixture f;
    f.form->cmdExit->click();
    QVERIFY(f.platform.endCalled);
    QVERIFY(!f.form->isVisible());
    QVERIFY(f.platform.boxes.isEmpty());
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
