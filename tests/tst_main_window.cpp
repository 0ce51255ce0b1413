// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "support/window_fixture.h"

Q_DECLARE_METATYPE(SYSTEM_POWER_STATUS)

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startsInFastModeAndSwitchesOnEveryPress();
    void tabWalksEveryControlAndWraps();
    void exitHidesTheWindowAndEnds();

    void statusBoxShowsTheSummary_data()
    {
        QTest::addColumn<SYSTEM_POWER_STATUS>("record");
        QTest::addColumn<int>("queryResult");
        QTest::addColumn<QStringList>("boxes");
        const auto row = [](const char* name, SYSTEM_POWER_STATUS record, int result, QStringList boxes) {
            QTest::newRow(name) << record << result << boxes;
        };
        row("on battery, low, both times", {0, 2, 25, 0, 2700, 11520}, 1,
            {"Dorvik 0: AC Status=DC | Battery Level=LOW | Remaining charge=25% | Est. Battery Life if fully charged=192 mins"
             " | Est. Remaining time=45 mins"});
        row("on AC, charging high, remaining unknown", {1, 9, 97, 0, -1, 11520}, 1,
            {"Dorvik 0: AC Status=AC | Battery Level=HIGH | Remaining charge=97% | Est. Battery Life if fully charged=192 mins"});
        row("charging low, full-life unknown", {1, 10, 30, 0, 3600, -1}, 1,
            {"Dorvik 0: AC Status=AC | Battery Level=LOW | Remaining charge=30% | Est. Remaining time=60 mins"});
        row("all unknown: empty AC text, no percent", {255, 255, 255, 0, -1, -1}, 1, {"Dorvik 0: AC Status= | Battery Level=UNKNOWN"});
        row("undefined AC, charging between, under a minute, negative", {2, 8, 0, 0, 59, -120}, 1,
            {"Dorvik 0: AC Status=? | Battery Level=UNKNOWN | Remaining charge=0%"});
        row("critical, charging, largest minutes", {0, 12, 3, 0, 1966079, 1966079}, 1,
            {"Dorvik 0: AC Status=DC | Battery Level=CRITICAL | Remaining charge=3% | Est. Battery Life if fully charged=32767 mins"
             " | Est. Remaining time=32767 mins"});
        row("failed query: error box, then the starting values", {0, 2, 25, 0, 2700, 11520}, 0,
            {"Error 16: Battery information couldn't be obtained!",
             "Dorvik 0: AC Status=? | Battery Level=? | Remaining charge=0%"});
    }

    void statusBoxShowsTheSummary()
    {
        QFETCH(SYSTEM_POWER_STATUS, record);
        QFETCH(int, queryResult);
        QFETCH(QStringList, boxes);
        WindowFixture f;
        f.scripted.status = record;
        f.scripted.result = queryResult;
        const int queriesBefore = f.scripted.queries;
        f.platform.boxes.clear();
        f.form->cmdGP->click();
        QStringList shown;
        for (const FakePlatform::Box& box : f.platform.boxes)
            shown << QStringLiteral("%1 %2: %3").arg(box.title).arg(box.style).arg(QString(box.text).replace("\r\n", " | "));
        QCOMPARE(shown, boxes);
        QCOMPARE(f.scripted.queries, queriesBefore + 1);
    }
};

void MainWindowTest::startsInFastModeAndSwitchesOnEveryPress()
{
    WindowFixture f;
    frmMain& w = *f.form;
    QVERIFY(w.isVisible());
    QCOMPARE(w.StatusText(), QString());
    QCOMPARE(w.Seconds, 0);
    // Pressed by the mouse, then by Return and the keypad's Enter on the focused button.
    for (int press = 0; press < 4; ++press) {
        const bool fast = press % 2 == 0;
        QCOMPARE(w.Fast, fast ? 1 : 0);
        QCOMPARE(w.Labdish->text(), fast ? QStringLiteral("Fast Discharge") : QStringLiteral("Slow Discharge"));
        if (press == 0)
            w.cmdFast->click();
        else
            QTest::keyClick(w.cmdFast, press == 1 ? Qt::Key_Return : Qt::Key_Enter,
                            press == 1 ? Qt::NoModifier : Qt::KeypadModifier);
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
