// SPDX-License-Identifier: GPL-3.0-or-later
// The report's verdict: the arithmetic on small hand-worked runs, and the
// window that shows it.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QChart>
#include <QFormLayout>
#include <QLabel>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "report/report_facts.h"
#include "report/report_math.h"
#include "report/report_window.h"
#include "report/run_record.h"
#include "report/verdict.h"

using namespace report;

namespace {

const QDateTime kStart(QDate(2026, 12, 6), QTime(10, 0));

struct Step {
    qint64 seconds;
    int percent;
    std::optional<double> powerW{};
    std::optional<double> energyWh{};
    qint64 remaining = -1;
};

RunRecord Run(const QList<Step>& steps, RunEnding ending = RunEnding::SwitchedOff)
{
    RunRecord run{.facts = {.start = kStart, .designWh = 60.0, .fullWh = 50.0}, .ending = ending};
    for (const Step& step : steps)
        run.samples.append({.time = kStart.addSecs(step.seconds), .awakeSeconds = step.seconds, .acLineStatus = 0,
                            .percent = step.percent, .energyWh = step.energyWh, .powerW = step.powerW,
                            .remainingSeconds = step.remaining});
    return run;
}

// The run of the report's example: 50, 45, then 8 % a minute apart at 10 W.
RunRecord DriftedRun()
{
    return Run({{0, 50, 10.0}, {60, 45, 10.0}, {120, 8, 10.0}});
}

}  // namespace

class TestVerdict : public QObject {
    Q_OBJECT

private slots:
    void worksOutWhatTheGaugeShouldHaveShown()
    {
        const struct {
            const char* name;
            RunRecord run;
            QString error;      // the largest error's text
            double truthAtOne;  // the true percent at the second sample, -1 when unknown
        } cases[] = {
            {"constant draw", DriftedRun(), QStringLiteral("+20 points, 1 min into the run"), 25},
            // 10 then 30 then 20 W: 1200 and 1500 Ws, so 1500 of 2700 remain after the second sample.
            {"varying draw", Run({{0, 100, 10.0}, {60, 70, 30.0}, {120, 0, 20.0}}),
             QStringLiteral("+14 points, 1 min into the run"), 100.0 * 1500 / 2700},
            {"jumps from 30 % to 0 %", Run({{0, 100, 10.0}, {60, 65, 10.0}, {120, 30, 10.0}, {121, 0, 10.0}}),
             QStringLiteral("+29 points, 2 min into the run"), 100.0 * 61 / 121},
            {"energy only", Run({{0, 100, {}, 50.0}, {3600, 60, {}, 30.0}, {7200, 30, {}, 5.0}}),
             QStringLiteral("+30 points, 2 h 0 min into the run"), 100.0 * 25 / 45},
            {"a draw missing, energy known", Run({{0, 100, 5.0, 50.0}, {60, 60, {}, 30.0}, {120, 0, 5.0, 5.0}}),
             QStringLiteral("+4 points, 1 min into the run"), 100.0 * 25 / 45},
            {"no power, no energy", Run({{0, 100}, {60, 50}}), QStringLiteral("unknown"), -1},
            {"one sample", Run({{0, 100, 10.0, 50.0}}), QStringLiteral("unknown"), -1},
            {"negative power", Run({{0, 100, 10.0}, {60, 50, -5.0}, {120, 0, 10.0}}), QStringLiteral("unknown"), -1},
            {"power over 300 W", Run({{0, 100, 10.0}, {60, 50, 301.0}, {120, 0, 10.0}}), QStringLiteral("unknown"), -1},
            {"energy rising", Run({{0, 100, {}, 50.0}, {60, 50, {}, 52.0}, {120, 0, {}, 5.0}}),
             QStringLiteral("unknown"), -1},
            {"energy rising, every draw known", Run({{0, 100, 10.0, 50.0}, {60, 50, 10.0, 52.0}, {120, 0, 10.0, 5.0}}),
             QStringLiteral("0 points, 0 min into the run"), 50},
            {"nothing delivered", Run({{0, 100, 0.0}, {60, 100, 0.0}}), QStringLiteral("unknown"), -1},
            {"adaptor plugged in", Run({{0, 50, 10.0}, {60, 45, 10.0}}, RunEnding::Replugged),
             QStringLiteral("unknown"), -1},
        };
        for (const auto& c : cases) {
            const QList<QPointF> truth = TrueCurve(c.run);
            QVERIFY2(GaugeErrorText(LargestGaugeError(c.run)) == c.error,
                     qPrintable(QStringLiteral("%1: %2").arg(c.name, GaugeErrorText(LargestGaugeError(c.run)))));
            if (c.truthAtOne < 0) {
                QVERIFY2(truth.isEmpty(), c.name);
                continue;
            }
            QVERIFY2(truth.size() == c.run.samples.size() && truth.first().y() == c.run.samples.first().percent
                         && qAbs(truth[1].y() - c.truthAtOne) < 1e-9 && truth.last().y() == 0,
                     c.name);
        }
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

    void judgesTheRun()
    {
        const RunRecord calibrated = Run({{0, 100, 10.0}, {60, 52, 10.0}, {120, 2, 10.0}});
        const struct {
            RunRecord run;
            std::optional<double> fullAfterWh;
            Verdict verdict;
            QString says;
        } cases[] = {
            {calibrated, 50.4, Verdict::Calibrated, QStringLiteral("never more than 5 points off")},
            {calibrated, std::nullopt, Verdict::Calibrated, QStringLiteral("ended at 2 %")},
            {calibrated, 53.0, Verdict::RunAgain, QStringLiteral("full capacity changed by +6 %")},
            {DriftedRun(), 50.0, Verdict::RunAgain, QStringLiteral("still showed 8 %")},
            {Run({{0, 100}, {60, 2}}), 50.0, Verdict::Calibrated, QStringLiteral("cannot be worked out")},
            {Run({{0, 100, 10.0}, {60, 2, 10.0}}, RunEnding::Replugged), 50.0, Verdict::None,
             QStringLiteral("adaptor was plugged in")},
            {Run({{0, 100, 10.0}, {60, 255, 10.0}}), 50.0, Verdict::None, QStringLiteral("last reading is unknown")},
        };
        for (const auto& c : cases) {
            const VerdictText verdict = Judge(c.run, c.fullAfterWh);
            QVERIFY2(verdict.verdict == c.verdict && verdict.sentence.contains(c.says), qPrintable(verdict.sentence));
        }
        QCOMPARE(CapacityChangeText(50.0, 50.4), QStringLiteral("no change (from 50.0 to 50.4 Wh)"));
        QCOMPARE(CapacityChangeText(50.0, 47.5), QStringLiteral("-2.5 Wh (-5.0 %), from 50.0 to 47.5 Wh"));
        QCOMPARE(CapacityChangeText(std::nullopt, 47.5), QStringLiteral("unknown"));
        QStringList bands;
        for (const double health : {90.0, 89.9, 80.0, 79.9, 70.0, 69.9})
            bands.append(HealthBand(health));
        QCOMPARE(bands, (QStringList{"good", "normal wear", "normal wear", "worn", "worn", "worn: plan a replacement"}));
    }

    void summarisesAcrossRuns()
    {
        QList<RunRecord> runs{DriftedRun(), DriftedRun(), DriftedRun()};
        runs[1].facts.start = kStart.addDays(2);
        runs[2].facts.start = kStart.addDays(3);
        runs[2].ending = RunEnding::Replugged;
        QVERIFY(LastCalibrationText(runs, kStart.addDays(5))->endsWith(QStringLiteral(", 3 days ago")));
        QVERIFY(!LastCalibrationText({runs[2]}, kStart));
        QCOMPARE(KeptAwakeLine({QStringLiteral("logind idle: taken"), QStringLiteral("logind sleep: taken again after logind restarted"),
                                QStringLiteral("GNOME session: not present"),
                                QStringLiteral("desktop portal: refused (org.x: no, sorry)")}),
                 QStringLiteral("2 of 3 services; not kept: desktop portal"));
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
        RunRecords records = ReadRunRecords(directory.path());
        records.runs.last().ending = RunEnding::SwitchedOff;
        std::unique_ptr<QWidget> window(BuildRunReport(records, {}));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("largestError"))->text(),
                 QStringLiteral("+20 points, 1 min into the run"));
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("gaugeAtEnd"))->text().startsWith(QStringLiteral("8 %")));
        const QString text = RunReportText(window.get());
        QVERIFY(text.contains(QStringLiteral("\nLargest gauge error: +20 points, 1 min into the run\n")));
        QVERIFY(text.contains(QStringLiteral("\nGauge at the end: 8 %")));
        QVERIFY(text.contains(QStringLiteral("Run it once more")));

        // The rows and Copy Text print the facts that --report prints.
        const ReportFacts facts = BuildReportFacts(records.runs, 0, LoggedMinutes(records.runs[0]), {},
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

    void fitsAndFollowsADarkPaletteAtLargerFonts()
    {
        QPalette dark;
        for (const auto& [role, colour] : {std::pair{QPalette::Window, QColor(0x30, 0x30, 0x30)},
                                           {QPalette::Base, QColor(0x20, 0x20, 0x20)},
                                           {QPalette::WindowText, QColor(Qt::white)},
                                           {QPalette::Text, QColor(Qt::white)}})
            dark.setColor(role, colour);
        const QPalette oldPalette = QApplication::palette();
        const QFont oldFont = QApplication::font();
        QApplication::setPalette(dark);
        QFont large = oldFont;
        large.setPointSizeF(oldFont.pointSizeF() * 1.5);
        QApplication::setFont(large);

        QList<RunRecord> runs{DriftedRun(), DriftedRun()};
        runs.first().facts.start = kStart.addDays(-3);
        runs.last().facts.keptAwake = {QStringLiteral("logind idle: taken"), QStringLiteral("portal: refused (no)")};
        std::unique_ptr<QWidget> window(BuildRunReport({.runs = runs}, {}));
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QVERIFY(window->width() <= 1366 && window->height() <= 680);
        const QSize opening = window->size();

        auto* scroll = window->findChild<QScrollArea*>(QStringLiteral("summaryScroll"));
        auto* form = window->findChild<QWidget*>(QStringLiteral("summary"))->findChild<QFormLayout*>();
        QVERIFY(scroll && form && form->rowCount() >= 10);
        QCOMPARE(scroll->widget()->width(), scroll->viewport()->width());  // rows wrap, never run off sideways
        for (int row = 0; row < form->rowCount(); ++row) {
            for (const auto role : {QFormLayout::LabelRole, QFormLayout::FieldRole}) {
                auto* label = qobject_cast<QLabel*>(form->itemAt(row, role)->widget());
                scroll->ensureWidgetVisible(label, 0, 0);
                QApplication::processEvents();
                const bool whole = label->visibleRegion().boundingRect() == label->rect()
                                   && label->height() >= label->heightForWidth(label->width());
                QVERIFY2(whole, qPrintable(label->text()));
            }
        }
        QCOMPARE(window->size(), opening);
        for (QChart* chart : window->findChildren<QChart*>())
            QVERIFY2(chart->backgroundBrush().color().lightness() < 128, qPrintable(chart->objectName()));

        // Picking the earlier run shows it; Escape closes.
        auto* list = window->findChild<QTreeWidget*>(QStringLiteral("runs"));
        list->setCurrentItem(list->topLevelItem(1));
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("relearned"))->text().endsWith(QStringLiteral("next run")));
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        QApplication::setPalette(oldPalette);
        QApplication::setFont(oldFont);
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
    }
};

QTEST_MAIN(TestVerdict)
#include "tst_verdict.moc"
