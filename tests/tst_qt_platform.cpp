// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/resource.h>

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include "platform/burn_workers.h"
#include "platform/power_panel.h"
#include "platform/qt_platform.h"

class QtPlatformTest : public QObject {
    Q_OBJECT

private slots:
    void boxShowsTheStylesButtonsAndAnswersTheirCodes_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("closedBy");  // a standard button, or Escape (-1) or the close control (-2)
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("answer");
        const int ok = QMessageBox::Ok, yes = QMessageBox::Yes, yesNo = yes | QMessageBox::No;
        const int none = QMessageBox::NoIcon, yesNoCancel = yesNo | QMessageBox::Cancel;
        QTest::newRow("OK, critical, Escape") << 16 << -1 << ok << int(QMessageBox::Critical) << 1;
        QTest::newRow("OK, exclamation, closed") << 48 << -2 << ok << int(QMessageBox::Warning) << 1;
        QTest::newRow("Yes/No, Yes") << 4 << yes << yesNo << none << 6;
        QTest::newRow("Yes/No, Escape answers No") << 4 << -1 << yesNo << none << 7;
        QTest::newRow("Yes/No/Cancel, Escape answers Cancel") << 3 << -1 << yesNoCancel << none << 2;
        QTest::newRow("Yes/No/Cancel, closed answers Cancel") << 3 << -2 << yesNoCancel << none << 2;
    }

    void boxShowsTheStylesButtonsAndAnswersTheirCodes()
    {
        QFETCH(int, style);
        QFETCH(int, closedBy);
        QMessageBox box;
        platform::QtPlatform::ConfigureMessageBox(box, QStringLiteral("line one\r\nline two"), style, QStringLiteral("Dorvik"));
        QTEST(int(box.standardButtons()), "buttons");
        QTEST(int(box.icon()), "icon");
        QCOMPARE(box.text(), QStringLiteral("line one\nline two"));
        box.show();
        closedBy == -1 ? QTest::keyClick(&box, Qt::Key_Escape)
            : closedBy == -2 ? void(box.close()) : box.button(QMessageBox::StandardButton(closedBy))->click();
        QVERIFY(box.isHidden());
        QTEST(platform::QtPlatform::AnswerOf(box), "answer");
    }

    // A box points to the window's texts ("the box below"): it stands
    // clear of the window, on the screen, below it while there is room.
    void boxStandsClearOfItsWindow_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QString>("side");
        const QRect fullHd(0, 0, 1920, 1080);
        QTest::newRow("room above") << QRect(700, 400, 416, 418) << fullHd << "above";
        QTest::newRow("at the top") << QRect(700, 100, 416, 418) << fullHd << "below";
        QTest::newRow("at the top, screen short") << QRect(700, 100, 416, 418) << QRect(0, 0, 1920, 600) << "right";
        QTest::newRow("top right, screen short") << QRect(1500, 100, 416, 418) << QRect(0, 0, 1920, 600) << "left";
        QTest::newRow("screen too small") << QRect(0, 0, 800, 600) << QRect(0, 0, 800, 600) << "over";
        QTest::newRow("the real box, offscreen") << QRect(200, 350, 400, 200) << QRect() << "clear";
    }
    void boxStandsClearOfItsWindow()
    {
        QFETCH(QRect, window);
        QFETCH(QRect, screen);
        QFETCH(QString, side);
        if (side == QLatin1String("clear")) {
            QWidget shown;
            shown.setGeometry(window);
            shown.show();
            shown.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&shown));
            platform::QtPlatform qt([] {});
            QRect box;
            QTimer::singleShot(0, [&] {
                if (auto* open = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    box = open->frameGeometry(), open->button(QMessageBox::Ok)->click();
            });
            qt.MsgBox(QStringLiteral("Please set up the Power Scheme according to the instructions\r\n"
                                     "displayed in the box below and then click on OK"));
            QVERIFY(box.isValid());
            QVERIFY(!box.intersects(shown.frameGeometry()));
            QVERIFY(shown.screen()->availableGeometry().contains(box));
            return;
        }
        const QSize size(300, 150);
        const QRect place = platform::QtPlatform::PlaceBeside(window, size, screen);
        QCOMPARE(place.size(), size);
        QVERIFY(screen.contains(place));
        const bool where = side == "above"   ? place.bottom() < window.top()
                           : side == "below" ? place.top() > window.bottom()
                           : side == "right" ? place.left() > window.right()
                           : side == "left"  ? place.right() < window.left()
                                             : place.intersects(window);
        QVERIFY2(where, qPrintable(side));
    }

    void endWhileABoxIsOpenUnwindsAfterIt()
    {
        int quits = 0;
        platform::QtPlatform qt([&] { ++quits; });
        QTimer::singleShot(0, [&] { qt.RequestEnd(); });  // the main window was closed under the box
        QVERIFY_THROWS_EXCEPTION(platform::EndRequested, qt.MsgBox(QStringLiteral("question"), platform::vbYesNoCancel));
        QCOMPARE(quits, 1);
    }

    // Real threads: they burn while this thread only waits, and a stop or
    // the pool's end leaves none behind.
    void workersBurnOnThreadsOfTheirOwnUntilStopped()
    {
        const auto threads = [] { return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(); };
        const auto cpuMs = [] {
            rusage u{};
            getrusage(RUSAGE_SELF, &u);
            return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
        };
        const auto before = threads();
        {
            platform::ThreadBurnWorkers workers(2);
            for (int round = 0; round < 2; ++round) {
                const auto cpu = cpuMs();
                workers.SetBurning(true);
                QCOMPARE(threads(), before + 2);
                QTRY_VERIFY_WITH_TIMEOUT(cpuMs() - cpu >= 300, 20000);
                if (round == 0) {
                    workers.SetBurning(false);
                    QCOMPARE(threads(), before);
                    QVERIFY(!workers.Burning());
                }
            }
        }
        QCOMPARE(threads(), before);
    }

    void aProgramThatCannotStartIsAnUntrappedError()
    {
        platform::QtPlatform qt([] {});
        QVERIFY_THROWS_EXCEPTION(platform::UntrappedError, qt.Launch(QStringLiteral("/nonexistent/dorvik-panel"), {}));
    }

    // A thread blocked for several intervals gets one tick when it comes
    // back, not one for each interval it missed: Seconds counts deliveries.
    void theClockTicksAtMostOncePerPassAfterABlock()
    {
        platform::QtPlatform qt([] {});
        int ticks = 0;
        const auto timer = qt.CreateTimer(50, [&ticks] { ++ticks; });
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 1, 2000);
        ticks = 0;
        QThread::msleep(400);
        QCoreApplication::processEvents();
        QCOMPARE(ticks, 1);
    }

    void choosesThePowerPanel_data()
    {
        QTest::addColumn<QString>("desktops");
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("chosen");  // program, then its arguments; empty for none
        const QStringList all = {"gnome-control-center", "systemsettings", "kcmshell5", "xfce4-power-manager-settings"};
        QTest::newRow("GNOME") << "ubuntu:GNOME" << all << "gnome-control-center power";
        QTest::newRow("Plasma") << "KDE" << all << "systemsettings kcm_powerdevilprofilesconfig";
        QTest::newRow("older Plasma") << "KDE" << QStringList{"gnome-control-center", "kcmshell5"}
                                      << "kcmshell5 kcm_powerdevilprofilesconfig";
        QTest::newRow("desktop names in any case") << "xfce" << all << "xfce4-power-manager-settings";
        QTest::newRow("the desktop's own panel missing") << "MATE" << all << "gnome-control-center power";
        QTest::newRow("no desktop named") << "" << QStringList{"mate-power-preferences"} << "mate-power-preferences";
        QTest::newRow("no panel at all") << "GNOME" << QStringList{} << "";
    }

    void choosesThePowerPanel()
    {
        QFETCH(QString, desktops);
        QFETCH(QStringList, installed);
        QFETCH(QString, chosen);
        const auto panel = platform::ChoosePowerPanel(desktops, [&](const QString& program) { return installed.contains(program); });
        QCOMPARE(panel ? (QStringList{panel->program} + panel->arguments).join(QLatin1Char(' ')) : QString(), chosen);
    }
};

QTEST_MAIN(QtPlatformTest)
#include "tst_qt_platform.moc"
