// SPDX-License-Identifier: GPL-3.0-or-later
// The real dorvik binary on sysfs and record fixtures, as a script runs it:
// no display, no Qt platform.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/command_line.h"
#include "app/window_display.h"
#include "support/power_supply_tree.h"

namespace {

struct Result {
    int code;
    QString out, err;
};

class TstCommandLine : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString tree_;

    Result Dorvik(const QStringList& arguments, const QString& tree, const QString& stateHome = {},
                  const QString& outputFile = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("DORVIK_POWER_SUPPLY_DIR"), tree);
        // Dates and numbers as the expected lines write them.
        env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), stateHome.isEmpty() ? dir_.filePath(QStringLiteral("empty")) : stateHome);
        QProcess process;
        process.setProcessEnvironment(env);
        if (!outputFile.isEmpty())
            process.setStandardOutputFile(outputFile);
        process.start(QStringLiteral(DORVIK_PROGRAM), arguments);
        process.waitForFinished(20000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

private slots:
    void initTestCase()
    {
        tree_ = power_supply_tree::Build(dir_.filePath(QStringLiteral("sys")),
                                         power_supply_tree::TwoBatteriesSecondDrained());
    }

    void status()
    {
        const Result shown = Dorvik({QStringLiteral("--status")}, tree_);
        QCOMPARE(shown.code, 0);
        QCOMPARE(shown.out, QStringLiteral("AC Status=DC\nBattery Level=UNKNOWN\nRemaining charge=53%\n"
                                           "Est. Battery Life if fully charged=451 mins\nEst. Remaining time=240 mins\n"));
        QCOMPARE(Dorvik({QStringLiteral("-status")}, tree_).out, shown.out);  // one dash, as Qt's own take

        const Result failed = Dorvik({QStringLiteral("--status")}, dir_.filePath(QStringLiteral("no-such-tree")));
        QCOMPARE(failed.code, 1);
        QCOMPARE(failed.out, QString());
        QCOMPARE(failed.err, QStringLiteral("Battery information couldn't be obtained!\n"));
    }

    // The newest readable record: a damaged newer one is passed over, a
    // first-format one read with an unknown ending.
    void report()
    {
        const QString state = dir_.filePath(QStringLiteral("state"));
        QVERIFY(QDir().mkpath(state + QStringLiteral("/dorvik/runs")));
        QVERIFY(QFile::copy(QStringLiteral(TEST_DATA_DIR "/run-format1.csv"),
                            state + QStringLiteral("/dorvik/runs/run-20261114-091205.csv")));
        QFile damaged(state + QStringLiteral("/dorvik/runs/run-20261201-080000.csv"));
        QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("dorvik-run-record,1\nno start\n") > 0);
        damaged.close();

        // The window's Copy Text without its title.
        const Result text = Dorvik({QStringLiteral("--report")}, tree_, state);
        QCOMPARE(text.code, 0);
        QVERIFY2(text.out.startsWith(QStringLiteral("The record does not say how the run ended.\n"
                                                    "No verdict: this record does not say how the run ended. Only a "
                                                    "run that runs out shows the gauge's error at empty.\n"
                                                    "Health now: 81 % of design, normal wear\n\nBattery: ")),
                 qPrintable(text.out));
        QVERIFY(text.out.contains(QStringLiteral("\nRun lasted: 11 min awake, from 14 Nov 2026 08:12:05 to 14 Nov 2026 08:48:05\n")));
        QVERIFY(text.out.contains(QStringLiteral("\nKept awake: 2 of 3 services; not kept: desktop portal\nKept awake in full:\n"
                                                 "  logind sleep: taken\n  logind idle: taken\n  GNOME session manager: not present\n"
                                                 "  desktop portal: refused (no portal)\nLearning conditions:\n  Rest at full: not recorded\n")));

        const Result json = Dorvik({QStringLiteral("--report"), QStringLiteral("--json")}, tree_, state);
        QCOMPARE(json.code, 0);
        QJsonParseError error;
        const QJsonObject figures = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(figures.keys(), QStringList({"awake_minutes", "design_wh", "ending", "energy_delivered_wh",
                                              "finished", "full_wh_now", "full_wh_start", "gauge_at_end_percent",
                                              "health_percent", "largest_error_points", "last_percent", "learning", "next_calibration",
                                              "start"}));
        QCOMPARE(figures.value("learning")["conclusion"].toString(),
                 QStringLiteral("The discharge did not reach empty: the gauge had nothing to relearn from."));
        QCOMPARE(figures.value("start").toString(), QStringLiteral("2026-11-14T09:12:05+01:00"));
        QCOMPARE(figures.value("ending").toString(), QStringLiteral("not_recorded"));
        QCOMPARE(figures.value("health_percent").toDouble(), 81.2);  // the health line's: today's battery against design
        QCOMPARE(figures.value("full_wh_start").toDouble(), 50.11);
        QVERIFY(figures.value("largest_error_points").isNull() && figures.value("next_calibration").isNull());

        // A run closed by Exit, in the window's words; its minutes and finish
        // are the result log's last write, not the last sample or the end line.
        QFile exited(state + QStringLiteral("/dorvik/runs/run-20261120-090000Z.csv"));
        QVERIFY(exited.open(QIODevice::WriteOnly)
                && exited.write("dorvik-run-record,1\nstart,2026-11-20T10:00:00+01:00\nmode,fast\n"
                                "time,awake_s,ac,percent\n2026-11-20T10:00:00+01:00,0,0,100\n"
                                "log,2026-11-20T10:30:01+01:00,30\n2026-11-20T10:30:02+01:00,1802,0,99\n"
                                "end,exited,2026-11-20T10:30:40+01:00\n") > 0);
        exited.close();
        const QString closed = Dorvik({QStringLiteral("--report")}, tree_, state).out;
        QVERIFY2(closed.startsWith(QStringLiteral("The run ended when Dorvik was closed.\n")), qPrintable(closed));
        QVERIFY2(closed.contains(QStringLiteral("\nRun lasted: 30 min awake, from 20 Nov 2026 09:00:00 to 20 Nov 2026 09:30:01\n")), qPrintable(closed));
        QVERIFY(closed.contains(QStringLiteral("\nLast percent: 99 % at the last sample\n")) && !closed.contains("Gauge at"));
        const QJsonObject closedFigures =
            QJsonDocument::fromJson(Dorvik({QStringLiteral("--report"), QStringLiteral("--json")}, tree_, state).out.toUtf8())
                .object();
        QCOMPARE(closedFigures.value("ending").toString(), QStringLiteral("closed"));
        QCOMPARE(closedFigures.value("last_percent").toInt(), 99);
        QVERIFY(closedFigures.value("gauge_at_end_percent").isNull());
        QCOMPARE(closedFigures.value("finished").toString(), QStringLiteral("2026-11-20T10:30:01+01:00"));
        const double health = closedFigures.value("health_percent").toDouble(-1);  // the text's, to one decimal
        QVERIFY2(health > 0 && closed.contains(QStringLiteral("\nHealth now: %1 % of design").arg(qRound(health))), qPrintable(closed));

        const Result none = Dorvik({QStringLiteral("--report")}, tree_);
        QCOMPARE(none.code, 1);
        QVERIFY(none.out.isEmpty() && !none.err.isEmpty());
    }

    void misuse()
    {
        for (const QStringList& arguments : {QStringList{QStringLiteral("--bogus")}, QStringList{QStringLiteral("-bogus")},
                                             QStringList{QStringLiteral("--json")},
                                             QStringList{QStringLiteral("--status"), QStringLiteral("stray")}}) {
            const Result result = Dorvik(arguments, tree_);
            QVERIFY2(result.code == 2, qPrintable(arguments.join(' ')));
            QVERIFY(result.out.isEmpty() && result.err.contains(QStringLiteral("Usage: ")));
        }
        const Result help = Dorvik({QStringLiteral("--help")}, tree_);
        QVERIFY(help.code == 0 && help.out.contains(QStringLiteral("--report")));
        QVERIFY2(help.out.contains(QStringLiteral("Usage: dorvik [options]")), qPrintable(help.out));
        const Result all = Dorvik({QStringLiteral("--help-all")}, tree_);
        QVERIFY(all.out.startsWith(help.out) && all.out.contains(QStringLiteral("-platform <name>")));
    }

    // Output that does not arrive, Qt's options in either dash form, and a
    // window with no display: each ends with a word on stderr and its code.
    void failsLoudly()
    {
        const QString state = dir_.filePath(QStringLiteral("full-state"));
        QVERIFY(QDir().mkpath(state + QStringLiteral("/dorvik/runs")));
        QVERIFY(QFile::copy(QStringLiteral(TEST_DATA_DIR "/run-format1.csv"),
                            state + QStringLiteral("/dorvik/runs/run-20261114-091205.csv")));
        for (const QStringList& arguments : {QStringList{QStringLiteral("--report"), QStringLiteral("--json")},
                                             QStringList{QStringLiteral("--help")}}) {
            const Result full = Dorvik(arguments, tree_, state, QStringLiteral("/dev/full"));
            QCOMPARE(full.code, 1);
            QVERIFY2(full.err.startsWith(QStringLiteral("dorvik: cannot write the output: ")), qPrintable(full.err));
        }
        for (const char* platform : {"-platform", "--platform"}) {
            const Result status = Dorvik({QString::fromLatin1(platform), QStringLiteral("offscreen"), QStringLiteral("--status")}, tree_);
            QVERIFY2(status.code == 0 && status.err.isEmpty(), qPrintable(status.err));
        }
        const Result window = Dorvik({}, tree_);
        QCOMPARE(window.code, 1);
        QCOMPARE(window.err.count(QLatin1Char('\n')), 1);
        QVERIFY(window.err.contains(QStringLiteral("--status")) && window.err.contains(QStringLiteral("--report")));
    }

    void withoutQtOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("kept");
        const QString program = QStringLiteral("/usr/bin/dorvik");
        QTest::newRow("one dash") << QStringList{program, "-platform", "xcb", "--status"} << QStringList{program, "--status"};
        QTest::newRow("two dashes") << QStringList{program, "--platform", "xcb", "--display", ":1", "--report"}
                                    << QStringList{program, "--report"};
        QTest::newRow("flags") << QStringList{program, "-reverse", "--widgetcount", "--json"} << QStringList{program, "--json"};
        QTest::newRow("joined") << QStringList{program, "--style=fusion", "-stylesheet=a.qss"} << QStringList{program};
        QTest::newRow("window") << QStringList{program, "-geometry", "10x10", "-qwindowgeometry", "9x9", "-session", "s"}
                                << QStringList{program};
        QTest::newRow("ours and unknown stay") << QStringList{program, "-h", "--platform=x", "--bogus", "x"}
                                               << QStringList{program, "-h", "--platform=x", "--bogus", "x"};
        QTest::newRow("value at the end") << QStringList{program, "--status", "-style"} << QStringList{program, "--status"};
        QTest::newRow("program kept") << QStringList{"-platform", "-reverse"} << QStringList{"-platform"};
    }
    void withoutQtOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, kept);
        QCOMPARE(app::WithoutQtOptions(arguments), kept);
    }

    void windowHasDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("qpaPlatform");
        QTest::addColumn<bool>("displayNamed");
        QTest::addColumn<bool>("has");
        const QString program = QStringLiteral("dorvik");
        QTest::newRow("display named") << QStringList{program} << QString() << true << true;
        QTest::newRow("none") << QStringList{program} << QString() << false << false;
        QTest::newRow("xcb") << QStringList{program} << "xcb" << false << false;
        QTest::newRow("offscreen") << QStringList{program} << "offscreen" << false << true;
        QTest::newRow("vnc with options") << QStringList{program} << "vnc:size=800x600" << false << true;
        QTest::newRow("fallback list") << QStringList{program} << "wayland;minimal" << false << true;
        QTest::newRow("argument over variable") << QStringList{program, "--platform", "offscreen"} << "xcb" << false << true;
        QTest::newRow("argument needs one") << QStringList{program, "-platform", "xcb"} << "offscreen" << false << false;
    }
    void windowHasDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, qpaPlatform);
        QFETCH(bool, displayNamed);
        QFETCH(bool, has);
        QCOMPARE(app::WindowHasDisplay(arguments, qpaPlatform, displayNamed), has);
    }
};

}  // namespace

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_command_line.moc"
