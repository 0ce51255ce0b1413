// SPDX-License-Identifier: GPL-3.0-or-later
// The report's verdict: the arithmetic on small hand-worked runs, and the
// window that shows it.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QPushButton>
#include <QAbstractAxis>
#include <QChart>
#include <QChartView>
#include <QXYSeries>
#include <QFormLayout>
#include <QLabel>
#include <QHeaderView>
#include <QScrollArea>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "report/report_facts.h"
#include "report/report_math.h"
#include "report/history_chart.h"
#include "report/report_charts.h"
#include "report/report_window.h"
#include "report/run_record.h"
#include "report/verdict.h"
#include "storage/lock_lines.h"
#include "support/run_builder.h"

using namespace report;

Q_DECLARE_METATYPE(std::optional<double>)

namespace {

const QDateTime kStart(QDate(2026, 12, 6), QTime(10, 0));

RunRecord Run(const QList<testsupport::Step>& steps, RunEnding ending = RunEnding::SwitchedOff)
{
    return testsupport::BuildRun(kStart, steps, ending);
}

// Puts back the application's style, palette and font however the test ends.
class PaletteAndFontGuard {
public:
    PaletteAndFontGuard()
        : palette_(QApplication::palette()), font_(QApplication::font()), style_(QApplication::style()->name())
    {
    }
    ~PaletteAndFontGuard()
    {
        QApplication::setStyle(style_);
        QApplication::setPalette(palette_);
        QApplication::setFont(font_);
    }
    PaletteAndFontGuard(const PaletteAndFontGuard&) = delete;
    PaletteAndFontGuard& operator=(const PaletteAndFontGuard&) = delete;

private:
    const QPalette palette_;
    const QFont font_;
    const QString style_;
};

// The run of the report's example: 50, 45, then 8 % a minute apart at 10 W.
RunRecord DriftedRun()
{
    return Run({{0, 50, 10.0}, {60, 45, 10.0}, {120, 8, 10.0}});
}

}  // namespace

class TestVerdict : public QObject {
    Q_OBJECT

    QTemporaryDir config_;

private slots:
    void initTestCase()
    {
        // Before the first QSettings: the report's check box writes here, never in the user's settings.
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
    }

    void worksOutWhatTheGaugeShouldHaveShown_data()
    {
        QTest::addColumn<RunRecord>("run");
        QTest::addColumn<QString>("error");      // the largest error's text
        QTest::addColumn<double>("truthAtOne");  // the true percent at the second sample, -1 when unknown
        QTest::newRow("constant draw") << DriftedRun() << "+20 points, 1 min into the run" << 25.0;
        // 10 then 30 then 20 W: 1200 and 1500 Ws, so 1500 of 2700 remain after the second sample.
        QTest::newRow("varying draw") << Run({{0, 100, 10.0}, {60, 70, 30.0}, {120, 0, 20.0}})
                                      << "+14 points, 1 min into the run" << 100.0 * 1500 / 2700;
        QTest::newRow("jumps from 30 % to 0 %") << Run({{0, 100, 10.0}, {60, 65, 10.0}, {120, 30, 10.0}, {121, 0, 10.0}})
                                                << "+29 points, 2 min into the run" << 100.0 * 61 / 121;
        QTest::newRow("energy only") << Run({{0, 100, {}, 50.0}, {3600, 60, {}, 30.0}, {7200, 30, {}, 5.0}})
                                     << "+30 points, 2 h 0 min into the run" << 100.0 * 25 / 45;
        QTest::newRow("a draw missing, energy known") << Run({{0, 100, 5.0, 50.0}, {60, 60, {}, 30.0}, {120, 0, 5.0, 5.0}})
                                                      << "+4 points, 1 min into the run" << 100.0 * 25 / 45;
        QTest::newRow("no power, no energy") << Run({{0, 100}, {60, 50}}) << "unknown" << -1.0;
        QTest::newRow("one sample") << Run({{0, 100, 10.0, 50.0}}) << "unknown" << -1.0;
        QTest::newRow("negative power") << Run({{0, 100, 10.0}, {60, 50, -5.0}, {120, 0, 10.0}}) << "unknown" << -1.0;
        QTest::newRow("power over 300 W") << Run({{0, 100, 10.0}, {60, 50, 301.0}, {120, 0, 10.0}}) << "unknown" << -1.0;
        QTest::newRow("energy rising") << Run({{0, 100, {}, 50.0}, {60, 50, {}, 52.0}, {120, 0, {}, 5.0}}) << "unknown"
                                       << -1.0;
        QTest::newRow("energy rising, every draw known")
            << Run({{0, 100, 10.0, 50.0}, {60, 50, 10.0, 52.0}, {120, 0, 10.0, 5.0}}) << "0 points, 0 min into the run"
            << 50.0;
        QTest::newRow("nothing delivered") << Run({{0, 100, 0.0}, {60, 100, 0.0}}) << "unknown" << -1.0;
        QTest::newRow("adaptor plugged in") << Run({{0, 50, 10.0}, {60, 45, 10.0}}, RunEnding::Replugged) << "unknown"
                                            << -1.0;
    }

    void worksOutWhatTheGaugeShouldHaveShown()
    {
        QFETCH(RunRecord, run);
        QFETCH(QString, error);
        QFETCH(double, truthAtOne);
        QCOMPARE(GaugeErrorText(LargestGaugeError(run)), error);
        const QList<QPointF> truth = TrueCurve(run);
        if (truthAtOne < 0) {
            QVERIFY(truth.isEmpty());
            return;
        }
        QCOMPARE(truth.size(), run.samples.size());
        QCOMPARE(truth.first().y(), double(run.samples.first().percent));
        QVERIFY(qAbs(truth[1].y() - truthAtOne) < 1e-9);
        QCOMPARE(truth.last().y(), 0.0);
    }

    void comparesTheEstimatesWithWhatRemained()
    {
        // Ran out at 2 h 25 min; the gauge fell from 52 straight to 3.
        const RunRecord run = Run({{0, 100, 10.0, {}, 30000},
                                   {3600, 76, 10.0, {}, 7800},
                                   {5400, 52, 10.0, {}, 9000},
                                   {6000, 50, 10.0},
                                   {6060, 3, 10.0, {}, 100},
                                   {8700, 3, 10.0}});
        QStringList texts;
        for (const EstimateCheck& check : EstimateChecks(run))
            texts.append(EstimateText(check));
        QCOMPARE(texts, (QStringList{QStringLiteral("75 %: estimated 2 h 10 min, remained 1 h 25 min"),
                                     QStringLiteral("50 %: no estimate, remained 45 min"),
                                     QStringLiteral("25 %: the gauge never showed it")}));
        QVERIFY(EstimateChecks(Run({{0, 100, 10.0}, {60, 50, 10.0}}, RunEnding::Exited)).isEmpty());
    }

    void judgesTheRun_data()
    {
        QTest::addColumn<RunRecord>("run");
        QTest::addColumn<std::optional<double>>("fullAfterWh");
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<QString>("says");
        const RunRecord calibrated = Run({{0, 100, 10.0}, {60, 52, 10.0}, {120, 2, 10.0}});
        const auto row = [](const char* name, const RunRecord& run, std::optional<double> fullAfterWh, Verdict verdict,
                            const char* says) {
            QTest::newRow(name) << run << fullAfterWh << verdict << QString::fromUtf8(says);
        };
        row("calibrated", calibrated, 50.4, Verdict::Calibrated, "never more than 5 points off");
        row("calibrated, no recharge seen", calibrated, std::nullopt, Verdict::Calibrated, "ended at 2 %");
        row("capacity relearned", calibrated, 53.0, Verdict::RunAgain, "full capacity changed by +6 %");
        row("capacity relearned by 5.4 %", calibrated, 52.7, Verdict::RunAgain, "full capacity changed by +5.4 %");
        row("capacity lost 5.0 %", calibrated, 47.5, Verdict::Calibrated, "never more than 5 points off");
        row("gauge still high at the end", DriftedRun(), 50.0, Verdict::RunAgain, "still showed 8 %");
        row("no draw or energy", Run({{0, 100}, {60, 2}}), 50.0, Verdict::Calibrated, "cannot be worked out");
        row("replugged", Run({{0, 100, 10.0}, {60, 2, 10.0}}, RunEnding::Replugged), 50.0, Verdict::None,
            "adaptor was plugged in");
        row("last reading unknown", Run({{0, 100, 10.0}, {60, 255, 10.0}}), 50.0, Verdict::None,
            "last reading is unknown");
    }

    void judgesTheRun()
    {
        QFETCH(RunRecord, run);
        QFETCH(std::optional<double>, fullAfterWh);
        QFETCH(Verdict, verdict);
        QFETCH(QString, says);
        const VerdictText judged = Judge(run, fullAfterWh);
        QCOMPARE(judged.verdict, verdict);
        QVERIFY2(judged.sentence.contains(says), qPrintable(judged.sentence));
    }

    void describesTheCapacityChange()
    {
        QCOMPARE(CapacityChangeText(50.0, 50.4), QStringLiteral("no change (from 50.0 to 50.4 Wh)"));
        // Whole unless rounding would cross the limit the figure is judged by.
        QCOMPARE(DecidingText(5.4, 5, true), QStringLiteral("+5.4"));
        QCOMPARE(DecidingText(5.04, 5), QStringLiteral("5.04"));
        QCOMPARE(DecidingText(4.6, 5), QStringLiteral("5"));
        QCOMPARE(DecidingText(-5.6, 5, true), QStringLiteral("-6"));
        QCOMPARE(DecidingText(-0.4, 5, true), QStringLiteral("0"));
    }

    // "Now" is the same battery: the next run on it, or the one fitted today
    // when it is that one; another battery is never compared with.
    void comparesOnlyWithTheSameBattery_data()
    {
        QTest::addColumn<QString>("laterSerial");  // empty: no later run
        QTest::addColumn<QString>("nowSerial");
        QTest::addColumn<QString>("capacityNow");
        QTest::addColumn<QString>("relearned");
        QTest::addColumn<QString>("health");
        QTest::addColumn<bool>("blamesCapacity");
        QTest::newRow("the same battery today") << "" << "A1" << "40.0 Wh" << "-10.0 Wh (-20.0 %), from 50.0 to 40.0 Wh"
                                                << "Health now: 67 % of design, worn: plan a replacement" << true;
        QTest::newRow("no serial kept: as before") << "" << "" << "40.0 Wh" << "-10.0 Wh (-20.0 %), from 50.0 to 40.0 Wh"
                                                   << "Health now: 67 % of design, worn: plan a replacement" << true;
        QTest::newRow("another battery today") << "" << "B2" << "another battery is fitted"
                                               << "unknown, another battery is fitted"
                                               << "Health now: unknown, another battery is fitted" << false;
        QTest::newRow("next run on another battery") << "B2" << "B2" << "another battery is fitted"
                                                     << "unknown, another battery is fitted"
                                                     << "Health now: unknown, another battery is fitted" << false;
        QTest::newRow("next run on the same battery") << "A1" << "B2" << "another battery is fitted"
                                                      << "+1.0 Wh (+2.0 %), from 50.0 to 51.0 Wh by the next run"
                                                      << "Health after it: 85 % of design, normal wear" << false;
    }

    void comparesOnlyWithTheSameBattery()
    {
        QFETCH(QString, laterSerial);
        QFETCH(QString, nowSerial);
        QList<RunRecord> runs{Run({{0, 100, 10.0}, {60, 52, 10.0}, {120, 2, 10.0}})};
        runs[0].facts.batterySerial = QStringLiteral("A1");
        if (!laterSerial.isEmpty()) {
            runs.append(runs[0]);
            runs[1].facts.start = kStart.addDays(1);
            runs[1].facts.fullWh = 51.0;
            runs[1].facts.batterySerial = laterSerial;
        }
        const power::BatteryDetails now{.energyFullWh = 40.0, .energyDesignWh = 60.0, .serial = nowSerial};
        const ReportFacts facts = BuildReportFacts(runs, 0, now, kStart.addDays(2));
        const auto value = [&](const QString& label) {
            for (const FactLine& line : facts.lines) {
                if (line.label == label)
                    return line.value;
            }
            return QString();
        };
        QTEST(value(QStringLiteral("Full capacity now:")), "capacityNow");
        QTEST(value(QStringLiteral("Full capacity relearned:")), "relearned");
        QTEST(facts.health, "health");
        QTEST(facts.verdict.contains(QStringLiteral("capacity")), "blamesCapacity");
    }

    void summarisesAcrossRuns()
    {
        QList<RunRecord> runs{DriftedRun(), DriftedRun(), DriftedRun()};
        runs[1].facts.start = kStart.addDays(2);
        runs[2].facts.start = kStart.addDays(3);
        runs[2].ending = RunEnding::Replugged;
        QVERIFY(LastCalibrationText(runs, kStart.addDays(5))->endsWith(QStringLiteral(", 3 days ago")));
        QVERIFY(!LastCalibrationText({runs[2]}, kStart));
    }

    // Every wording older Dorviks stored, read back as the lock's state.
    void keptAwakeLineCountsEveryKindOfTaken_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("summary");
        QTest::newRow("each kind of taken") << QStringList{"logind idle: taken", "logind sleep: taken, answered late",
                                                           "logind handle-lid-switch: kept through a restart of logind",
                                                           "screen saver: taken again after screen saver restarted (2 restarts)",
                                                           "power management: taken after power management started",
                                                           "GNOME session: not present", "desktop portal: not needed"}
                                            << "all 5 services: logind idle, logind sleep, logind handle-lid-switch, "
                                               "screen saver, power management";
        QTest::newRow("refused, lost, waiting") << QStringList{"logind idle: taken", "desktop portal: refused (org.x: no, sorry)",
                                                               "logind sleep: lost when logind stopped; taken again when it is back",
                                                               "screen saver: no answer within 2 s, still waiting"}
                                                << "1 of 4 services; not kept: desktop portal, logind sleep, screen saver";
        QTest::newRow("nothing taken is no service") << QStringList{"logind sleep: not present", "logind idle: refused (x: y)",
                                                                    "nothing was taken: the machine may sleep during the run"}
                                                     << "0 of 1 services; not kept: logind idle";
        QTest::newRow("Windows") << QStringList{"system sleep: held off"} << "all 1 services: system sleep";
    }
    void keptAwakeLineCountsEveryKindOfTaken()
    {
        QFETCH(QStringList, lines);
        QTEST(KeptAwakeLine(lines), "summary");
        // What the keep-awake layer makes of a state reads back as that state.
        for (const QString& line : lines)
            QCOMPARE(storage::LockLineText(storage::ParseLockLine(line)), line);
    }

    void splitsTheCurvesAtHoles()
    {
        // Samples a minute apart with a hole of three minutes: two pieces.
        const QList<QList<QPointF>> pieces = Unbroken({{0, 9}, {1, 8}, {2, 7}, {5, 4}, {6, 3}});
        QCOMPARE(pieces.size(), 2);
        QCOMPARE(pieces[1].first(), QPointF(5, 4));
        QCOMPARE(Unbroken({{0, 9}, {1, 8}, {3, 6}, {4, 5}}).size(), 1);
    }

    // From the record on the disk to the window's rows and Copy Text.
    void reportsTheLargestErrorOfARunThatSwitchedOff()
    {
        QTemporaryDir directory;
        auto writer = RunRecordWriter::Create(directory.path(), DriftedRun().facts);
        for (const RunSample& sample : DriftedRun().samples)
            QVERIFY(writer->Append(sample));
        QVERIFY(writer->SwitchedMode(DriftedRun().facts.start.addSecs(60), {60, false}));
        RunRecords records = ReadRunRecords(directory.path());
        records.runs.last().ending = RunEnding::SwitchedOff;
        std::unique_ptr<QWidget> window(BuildRunReport(records, {}));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("largestError"))->text(),
                 QStringLiteral("+20 points, 1 min into the run"));
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("gaugeAtEnd"))->text().startsWith(QStringLiteral("8 %")));
        const QString text = RunReportText(window.get());
        QVERIFY(text.contains(QStringLiteral("\nLargest gauge error: +20 points, 1 min into the run\n")));
        QVERIFY(text.contains(QStringLiteral("\nGauge at the end: 8 %")));
        QVERIFY(text.contains(QStringLiteral("\nMode: fast 1 min, then slow 1 min\n")));
        QVERIFY(text.contains(QStringLiteral("Run it once more")));

        // The rows and Copy Text print the facts that --report prints.
        const ReportFacts facts = BuildReportFacts(records.runs, 0, {},
                                                   QDateTime::currentDateTime());
        QCOMPARE(text, QStringLiteral("Dorvik Run Report\n") + FactsLines(facts).join(QLatin1Char('\n')) + '\n');
        auto* form = window->findChild<QWidget*>(QStringLiteral("summary"))->findChild<QFormLayout*>();
        QCOMPARE(form->rowCount(), facts.lines.size());
        for (int row = 0; row < form->rowCount(); ++row) {
            const auto text = [&](QFormLayout::ItemRole role) {
                return qobject_cast<QLabel*>(form->itemAt(row, role)->widget())->text();
            };
            QCOMPARE(text(QFormLayout::LabelRole), facts.lines[row].label);
            QCOMPARE(text(QFormLayout::FieldRole), facts.lines[row].value);
        }
    }

    void fitsAndFollowsADarkPaletteAtLargerFonts_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<double>("scale");
        QTest::addColumn<bool>("smallest");
        QStringList styles{QStringLiteral("Fusion"), QStringLiteral("Windows")};
        if (QStyleFactory::keys().contains(QStringLiteral("Adwaita"), Qt::CaseInsensitive))
            styles << QStringLiteral("Adwaita");
        for (const QString& style : styles) {
            for (const double scale : {1.0, 1.5}) {
                for (const bool smallest : {false, true})
                    QTest::addRow("%s, %.1fx font%s", qPrintable(style), scale, smallest ? ", least size" : "")
                        << style << scale << smallest;
            }
        }
    }

    // Every label's text has the room it needs, every column of the runs
    // shows whole, and picking a run keeps the charts' size.
    void fitsAndFollowsADarkPaletteAtLargerFonts()
    {
        QFETCH(QString, style);
        QFETCH(double, scale);
        QFETCH(bool, smallest);
        QPalette dark;
        for (const auto& [role, colour] : {std::pair{QPalette::Window, QColor(0x30, 0x30, 0x30)},
                                           {QPalette::Base, QColor(0x20, 0x20, 0x20)},
                                           {QPalette::WindowText, QColor(Qt::white)},
                                           {QPalette::Text, QColor(Qt::white)}})
            dark.setColor(role, colour);
        const PaletteAndFontGuard restored;
        QApplication::setStyle(QStyleFactory::create(style));
        QApplication::setPalette(dark);
        QFont font = QApplication::font();
        font.setPointSizeF(font.pointSizeF() * scale);
        QApplication::setFont(font);

        QList<RunRecord> runs{DriftedRun(), DriftedRun()};
        runs.first().facts.start = kStart.addDays(-3);
        runs.last().facts.keptAwake = {QStringLiteral("logind idle: taken"), QStringLiteral("portal: refused (no)")};
        for (RunSample& sample : runs.last().samples)  // the charts' second axis and their voltage tab
            std::tie(sample.batteryCelsius, sample.voltageV) = std::pair(45.0, 11.5);
        runs.last().rests.spans = {{RestSpot::Full, kStart.addSecs(-1800), kStart, RestOutcome::Rested, 1.0}};
        std::unique_ptr<QWidget> window(BuildRunReport({.runs = runs}, {}));
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // Opens within 1366x768 less a panel; larger fonts may take the whole height.
        QVERIFY(window->width() <= 1366 && window->height() <= (scale > 1 ? 728 : 680));
        if (smallest)
            window->resize(window->minimumSizeHint());
        QApplication::processEvents();
        const QSize opening = window->size();

        auto* scroll = window->findChild<QScrollArea*>(QStringLiteral("summaryScroll"));
        QVERIFY(window->findChild<QWidget*>(QStringLiteral("summary"))->findChild<QFormLayout*>()->rowCount() >= 10);
        QCOMPARE(scroll->widget()->width(), scroll->viewport()->width());  // rows wrap, never run off sideways
        auto* form = window->findChild<QWidget*>(QStringLiteral("summary"))->findChild<QFormLayout*>();
        const QWidget* eighth = form->itemAt(7, QFormLayout::FieldRole)->widget();
        QVERIFY(eighth->mapTo(scroll->viewport(), QPoint(0, eighth->height())).y() <= scroll->viewport()->height());
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (!label->isVisible())
                continue;
            if (scroll->isAncestorOf(label))
                scroll->ensureWidgetVisible(label, 0, 0);
            QApplication::processEvents();
            const bool whole = label->visibleRegion().boundingRect() == label->rect()
                               && (label->wordWrap() ? label->height() >= label->heightForWidth(label->width())
                                                     : label->width() >= label->sizeHint().width());
            QVERIFY2(whole, qPrintable(label->text()));
        }
        auto* list = window->findChild<QTreeWidget*>(QStringLiteral("runs"));
        for (int column = 0; column < list->columnCount(); ++column)
            QVERIFY(list->header()->sectionSize(column)
                    >= list->header()->fontMetrics().horizontalAdvance(list->headerItem()->text(column)));
        QVERIFY(list->header()->length() <= list->viewport()->width());
        QCOMPARE(window->size(), opening);
        // A chart lives in its view's scene, not among the window's children.
        QVERIFY(window->findChildren<QChartView*>().size() >= 3);
        QList<QSize> sizes;
        auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("charts"));
        for (const int tab : {1, 0}) {  // the voltage's, then the first left showing
            tabs->setCurrentIndex(tab);
            QApplication::processEvents();
            for (QChartView* view : window->findChildren<QChartView*>()) {
                if (!view->isVisible())
                    continue;
                QChart* chart = view->chart();
                if (tab == 0)
                    sizes.append(view->size());
                for (QWidget* inside = view; inside != window.get(); inside = inside->parentWidget())
                    QVERIFY2(inside->parentWidget()->rect().contains(inside->geometry()), qPrintable(chart->objectName()));
                const int titleRoom = int(chart->size().width()) - chart->margins().left() - chart->margins().right();
                QVERIFY2(QFontMetrics(chart->titleFont()).horizontalAdvance(chart->title()) <= titleRoom,
                         qPrintable(chart->title()));
                QVERIFY2(chart->backgroundBrush().color().lightness() < 128, qPrintable(view->objectName()));
                QVERIFY2(chart->titleBrush().color().lightness() >= 128, qPrintable(view->objectName()));
                for (QAbstractAxis* axis : chart->axes())
                    QVERIFY2(axis->labelsBrush().color().lightness() >= 128, qPrintable(axis->titleText()));
            }
        }

        // Picking the earlier run shows it at the same size; Save Image
        // holds the whole summary; Escape closes.
        list->setCurrentItem(list->topLevelItem(1));
        QApplication::processEvents();
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("relearned"))->text().endsWith(QStringLiteral("next run")));
        for (qsizetype i = 0; i < sizes.size(); ++i)
            QCOMPARE(window->findChildren<QChartView*>().value(i)->size(), sizes[i]);
        auto* summary = window->findChild<QWidget*>(QStringLiteral("summary"));
        QVERIFY(RunReportImage(window.get()).height() >= summary->heightForWidth(summary->width()));
        // Enter presses the focused button, and Escape closes wherever the focus is.
        window->findChild<QPushButton*>(QStringLiteral("copy"))->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::clipboard()->text(), RunReportText(window.get()));
        list->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        window->findChild<QPushButton*>(QStringLiteral("close"))->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!window->isVisible());
    }

    // Resizing back and forth leaves the plots where they started, in line.
    void keepsThePlotsInPlaceWhenResized()
    {
        std::unique_ptr<QWidget> window(BuildRunReport({.runs = {DriftedRun()}}, {}));
        window->show();
        const QSize size(1180, 660);  // its opening size on a screen that has room
        window->resize(size);
        QApplication::processEvents();
        const auto plots = [&] {
            QList<QRectF> areas;
            for (QChartView* view : window->findChildren<QChartView*>())
                areas.append(view->chart()->plotArea());
            return areas;
        };
        const QList<QRectF> opening = plots();
        for (int i = 0; i < 40; ++i) {
            window->resize(i % 2 ? size : window->minimumSize());
            QApplication::processEvents();
        }
        const QList<QRectF> after = plots();
        QCOMPARE(after.size(), 2);
        QVERIFY(qAbs(after[0].left() - after[1].left()) <= 1 && qAbs(after[0].right() - after[1].right()) <= 1);
        for (qsizetype i = 0; i < after.size(); ++i)
            QVERIFY2(qAbs(after[i].left() - opening[i].left()) <= 2 && qAbs(after[i].width() - opening[i].width()) <= 2,
                     qPrintable(QStringLiteral("%1 became %2").arg(opening[i].left()).arg(after[i].left())));
    }

    // A run that stopped early gets no line of what the gauge should have
    // shown, and the runs' chart keeps it apart from those that ran out.
    void chartsAndTheRunsTableClaimOnlyWhatIsKnown()
    {
        QList<RunRecord> runs;
        for (const RunEnding ending : {RunEnding::SwitchedOff, RunEnding::Replugged, RunEnding::Killed, RunEnding::StandbyWithCharge})
            runs.append(Run({{0, 100}, {1200, 89}}, ending));
        const auto names = [](QWidget* widget, const QString& chartName) {
            QStringList names;
            QList<QChartView*> views = widget->findChildren<QChartView*>();
            if (auto* view = qobject_cast<QChartView*>(widget))
                views.append(view);
            for (QChartView* view : views) {
                for (QAbstractSeries* series : view->chart()->series()) {
                    if (view->chart()->objectName() == chartName)
                        names.append(QStringLiteral("%1 %2").arg(series->name()).arg(static_cast<QXYSeries*>(series)->count()));
                }
            }
            return names;
        };
        for (const RunRecord& run : runs) {
            std::unique_ptr<QWidget> charts(RunCharts(run, {}, {}));
            QCOMPARE(names(charts.get(), QStringLiteral("gaugeChart")).contains(QStringLiteral("Straight fall to 0 % 2")),
                     RanOut(run.ending));
        }
        std::unique_ptr<QWidget> history(HistoryChart(runs, {}, {}));
        QCOMPARE(names(history.get(), QStringLiteral("historyChart")),
                 (QStringList{"Minutes lasted 1", "Health 4", "stopped early 3"}));
        // The runs table gives a gauge at the end only where it was the gauge's error.
        std::unique_ptr<QWidget> window(BuildRunReport({.runs = runs}, {}));
        const auto* list = window->findChild<QTreeWidget*>(QStringLiteral("runs"));
        QStringList gauges;
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            gauges << list->topLevelItem(row)->text(3);
        QCOMPARE(gauges, (QStringList{"\u2013", "\u2013", "\u2013", "89 %"}));
    }

    // Only a run that ran out gives the next date; its cycles count from the
    // run's own, on the battery that ran it.
    void givesTheNextCalibrationOfARunThatRanOut_data()
    {
        QTest::addColumn<bool>("ranOut");
        QTest::addColumn<int>("cyclesNow");  // -1: the run found no count
        QTest::addColumn<QString>("serialNow");
        QTest::addColumn<QString>("line");  // empty: no such line
        QTest::addColumn<QString>("json");
        const QString date = QStringLiteral("by 6 Mar 2027");
        QTest::newRow("no cycle count") << true << -1 << "A1" << date << "2027-03-06";
        QTest::newRow("cycles counted") << true << 110 << "A1"
                                        << date + ", or sooner after 20 more charge cycles (at cycle 130)" << "2027-03-06";
        QTest::newRow("another battery's cycles") << true << 140 << "B2"
                                                  << date + ", or sooner after 30 more charge cycles (at cycle 130)"
                                                  << "2027-03-06";
        QTest::newRow("due by the cycles") << true << 131 << "A1" << "due now: 10 days since this run, 31 charge cycles"
                                           << "2027-03-06";
        QTest::newRow("adaptor plugged in") << false << 110 << "A1" << "" << "";
        QTest::newRow("a later run ran out") << true << -1 << "A1" << "later" << "";
    }

    void givesTheNextCalibrationOfARunThatRanOut()
    {
        QFETCH(bool, ranOut);
        QFETCH(int, cyclesNow);
        QFETCH(QString, serialNow);
        QList<RunRecord> runs{Run({{0, 100, 10.0}, {60, 2, 10.0}}, ranOut ? RunEnding::SwitchedOff : RunEnding::Replugged)};
        runs[0].facts.batterySerial = QStringLiteral("A1");
        if (cyclesNow >= 0)
            runs[0].facts.cycleCount = 100;
        QFETCH(QString, line);
        if (line == QLatin1String("later"))  // the date counts from it, not from this one
            runs << Run({{0, 100, 10.0}, {60, 2, 10.0}}, RunEnding::SwitchedOff);
        const power::BatteryDetails now{.cycleCount = cyclesNow >= 0 ? std::optional(cyclesNow) : std::nullopt,
                                        .serial = serialNow};
        const ReportFacts facts = BuildReportFacts(runs, 0, now, kStart.addDays(10));
        const auto shown = std::find_if(facts.lines.cbegin(), facts.lines.cend(),
                                        [](const FactLine& line) { return line.name == "nextCalibration"; });
        QCOMPARE(shown == facts.lines.cend() ? QString() : shown->value, line == QLatin1String("later") ? QString() : line);
        QTEST(facts.figures.nextCalibration.value_or(QDate()).toString(Qt::ISODate), "json");
    }

    // The box writes what dorvik --remind reads, in the form its service test gives it.
    void remindBoxWritesWhatRemindReads()
    {
        std::unique_ptr<QWidget> window(BuildRunReport({.runs = {DriftedRun()}}, {}));
        auto* box = window->findChild<QCheckBox*>(QStringLiteral("remind"));
        QVERIFY(box->isChecked());  // on until turned off
        box->click();
        QFile conf(config_.path() + QStringLiteral("/dorvik/dorvik.conf"));
        QVERIFY(conf.open(QIODevice::ReadOnly));
        QCOMPARE(conf.readAll(), QByteArray("[General]\nRemind=false\n"));
        std::unique_ptr<QWidget> again(BuildRunReport({.runs = {DriftedRun()}}, {}));
        QVERIFY(!again->findChild<QCheckBox*>(QStringLiteral("remind"))->isChecked());
    }

    void showsOneWindowAtATime()
    {
        QTemporaryDir directory;
        RunRecordWriter::Create(directory.path(), DriftedRun().facts);
        QWidget* first = ShowRunReport(directory.path(), {});
        QVERIFY(first && first == ShowRunReport(directory.path(), {}));
        first->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QWidget* second = ShowRunReport(directory.path(), {});
        QVERIFY(second && second->isVisible());
        second->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // Raised again, it reads the records afresh and shows the run asked for.
        auto running = RunRecordWriter::Create(directory.path(), {.start = kStart.addDays(1)});
        QWidget* third = ShowRunReport(directory.path(), {});
        const auto ending = [&] { return third->findChild<QLabel*>(QStringLiteral("ending"))->text(); };
        QCOMPARE(ending(), EndingText(RunEnding::Running));
        running->End(RunEnding::Replugged, kStart.addDays(1));
        running.reset();
        QCOMPARE(ShowRunReport(directory.path(), {}), third);
        QCOMPARE(ending(), EndingText(RunEnding::Replugged));
        QCOMPARE(ShowRunReport(directory.path(), {}, nullptr, storage::LoggedRun{kStart, std::nullopt}), third);
        QCOMPARE(third->findChild<QTreeWidget*>()->currentItem()->data(0, Qt::UserRole).toLongLong(), 0);
        third->close();
    }
};

QTEST_MAIN(TestVerdict)
#include "tst_verdict.moc"
