#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <ctime>

#include "report/report_math.h"
#include "report/report_window.h"
#include "report/run_record.h"

using namespace report;

namespace {

const QDateTime kStart(QDate(2026, 12, 6), QTime(10, 0), Qt::LocalTime);

RunFacts Facts(const QDateTime& start = kStart)
{
    return {start, QStringLiteral("BAT0 \"main\", spare"), 62.5, 50.0, 123, false,
            {QStringLiteral("screen, kept on"), QStringLiteral("sleep")}};
}

// Awake at 0, 60 and 120 minutes; the gauge falls to 30 % while the energy
// falls by 45 Wh and the draw climbs from 10 to 30 W (40 Wh in all).
QList<RunSample> HandMadeRun()
{
    QList<RunSample> samples;
    const int percents[] = {100, 60, 30};
    const double energies[] = {50, 30, 5};
    for (int i = 0; i < 3; ++i)
        samples.append({kStart.addSecs(i * 3600), i * 3600, 0, percents[i], QStringLiteral("Discharging"), false,
                        energies[i], 50.0, 62.5, 10.0 * (i + 1), 12.25});
    return samples;
}

QString WriteRun(const QString& directory, const QList<RunSample>& samples, const QDateTime& start = kStart)
{
    auto writer = RunRecordWriter::Create(directory, Facts(start));
    for (const RunSample& sample : samples)
        writer->Append(sample);
    return writer->Path();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

class TestRunRecord : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A zone an hour east of UTC in December, so that offsets show.
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        ::tzset();
    }

    void readsBackWhatWasWritten()
    {
        QTemporaryDir directory;
        QList<RunSample> samples = HandMadeRun();
        samples[1] = {kStart.addSecs(60), 60, 255, 255, QStringLiteral("Not charging, \"odd\""), true};
        const QString path = WriteRun(directory.filePath(QStringLiteral("a/b")), samples);

        const RunRecords records = ReadRunRecords(directory.filePath(QStringLiteral("a/b")));
        QCOMPARE(records.unreadable, 0);
        QCOMPARE(records.runs.size(), 1);
        const RunRecord& run = records.runs.first();
        QCOMPARE(run.path, path);
        QCOMPARE(run.facts.start, kStart);
        QCOMPARE(run.facts.batteryModels, Facts().batteryModels);
        QCOMPARE(run.facts.designWh, 62.5);
        QCOMPARE(run.facts.cycleCount, 123);
        QCOMPARE(run.facts.fast, false);
        QCOMPARE(run.facts.keptAwake, Facts().keptAwake);
        QCOMPARE(run.samples.size(), 3);
        const RunSample& full = run.samples[2];
        QCOMPARE(full.time, samples[2].time);
        QCOMPARE(full.time.offsetFromUtc(), 3600);
        QCOMPARE(full.awakeSeconds, 7200);
        QCOMPARE(full.percent, 30);
        QCOMPARE(full.energyWh, 5.0);
        QCOMPARE(full.powerW, 30.0);
        QCOMPARE(full.voltageV, 12.25);
        const RunSample& unknown = run.samples[1];
        QCOMPARE(unknown.acLineStatus, 255);
        QCOMPARE(unknown.percent, 255);
        QCOMPARE(unknown.batteryStatus, samples[1].batteryStatus);
        QCOMPARE(unknown.fast, true);
        QVERIFY(!unknown.energyWh && !unknown.fullWh && !unknown.designWh && !unknown.powerW && !unknown.voltageV);
        QVERIFY(SampleLine(samples[0]).startsWith("2026-12-06T10:00:00+01:00,"));
    }

    void leavesOutATornLastLine_data()
    {
        QTest::addColumn<int>("cutFromEnd");
        QTest::addColumn<int>("samples");
        QTest::newRow("whole") << 0 << 3;
        QTest::newRow("line end lost") << 1 << 2;
        QTest::newRow("mid line") << 20 << 2;
    }
    void leavesOutATornLastLine()
    {
        QFETCH(int, cutFromEnd);
        QFETCH(int, samples);
        QTemporaryDir directory;
        QFile file(WriteRun(directory.path(), HandMadeRun()));
        QVERIFY(file.resize(file.size() - cutFromEnd));
        QCOMPARE(ReadRunRecords(directory.path()).runs.first().samples.size(), samples);
    }

    void skipsAndCountsWhatIsNoRecord()
    {
        QTemporaryDir directory;
        const QString good = WriteRun(directory.path(), HandMadeRun());
        QFile::copy(good, directory.filePath(QStringLiteral("run-big.csv")));
        QFile big(directory.filePath(QStringLiteral("run-big.csv")));
        QVERIFY(big.resize(kRecordSizeLimit + 1));
        QByteArray facts = RecordText(Facts());
        WriteFile(directory.filePath(QStringLiteral("run-cut.csv")), facts.left(facts.size() - 5));
        WriteFile(directory.filePath(QStringLiteral("run-garbage.csv")), QByteArray("\0\xff,\"\n\n", 6));
        WriteFile(directory.filePath(QStringLiteral("notes.txt")), "not ours, not counted");

        const RunRecords records = ReadRunRecords(directory.path());
        QCOMPARE(records.runs.size(), 1);
        QCOMPARE(records.unreadable, 3);
        QVERIFY(HasRunRecord(directory.path()));
        for (const QString& started : {good, big.fileName(), directory.filePath(QStringLiteral("run-cut.csv"))})
            QFile::remove(started);
        QVERIFY(!HasRunRecord(directory.path()));
    }

    void keepsTheLastTwentyRuns()
    {
        QTemporaryDir directory;
        for (int run = 0; run <= kKeptRuns; ++run)
            WriteRun(directory.path(), {}, kStart.addDays(run));
        const RunRecords records = ReadRunRecords(directory.path());
        QCOMPARE(records.runs.size(), kKeptRuns);
        QCOMPARE(records.runs.first().facts.start, kStart.addDays(1));
        QCOMPARE(records.runs.last().facts.start, kStart.addDays(kKeptRuns));
    }

    void reportsWriteFailures()
    {
        QTemporaryDir directory;
        WriteFile(directory.filePath(QStringLiteral("file")), "x");
        QString error;
        QVERIFY(!RunRecordWriter::Create(directory.filePath(QStringLiteral("file/runs")), Facts(), &error));
        QVERIFY(!error.isEmpty());

        auto writer = RunRecordWriter::Create(directory.path(), Facts(), &error);
        QVERIFY(writer->Append(HandMadeRun().first(), &error));
        QFile::remove(writer->Path());
        error.clear();
        QVERIFY(!writer->Append(HandMadeRun().first(), &error));
        QVERIFY(!error.isEmpty());
    }

    void worksOutTheFigures()
    {
        const QList<RunSample> run = HandMadeRun();
        QCOMPARE(StraightLine(run), (QList<QPointF>{{0, 100}, {120, 0}}));
        QCOMPARE(EnergyDeliveredWh(run), 45.0);
        QList<RunSample> powerOnly = run;
        for (RunSample& sample : powerOnly)
            sample.energyWh.reset();
        QCOMPARE(EnergyDeliveredWh(powerOnly), 40.0);
        QVERIFY(!EnergyDeliveredWh(powerOnly.mid(0, 1)));
        QCOMPARE(HealthPercent(Facts()), 80.0);
        QCOMPARE(GaugeAtEnd(run), 30);
        powerOnly.last().percent = 255;
        QVERIFY(!GaugeAtEnd(powerOnly));
        QCOMPARE(PercentCurve(powerOnly).size(), 2);
        QCOMPARE(RunMinutes(run), 120.0);
    }

    void resamplingKeepsTheEnds_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("maxPoints");
        QTest::addColumn<int>("kept");
        QTest::newRow("fewer") << 5 << 10 << 5;
        QTest::newRow("many") << 1440 << 600 << 600;
        QTest::newRow("one more") << 11 << 10 << 10;
        QTest::newRow("bound below two") << 5 << 0 << 2;
    }
    void resamplingKeepsTheEnds()
    {
        QFETCH(int, points);
        QFETCH(int, maxPoints);
        QFETCH(int, kept);
        QList<QPointF> curve;
        for (int i = 0; i < points; ++i)
            curve.append({double(i), double(i * i)});
        const QList<QPointF> resampled = Resampled(curve, maxPoints);
        QCOMPARE(resampled.size(), kept);
        QCOMPARE(resampled.first(), curve.first());
        QCOMPARE(resampled.last(), curve.last());
        QVERIFY(std::is_sorted(resampled.begin(), resampled.end(), [](auto a, auto b) { return a.x() < b.x(); }));
    }

    void windowShowsTheLatestRun()
    {
        QTemporaryDir directory;
        QVERIFY(!ShowRunReport(directory.path(), {}));
        QList<RunSample> latest = HandMadeRun();
        latest.last().percent = 17;
        WriteRun(directory.path(), HandMadeRun(), kStart);
        WriteRun(directory.path(), latest, kStart.addDays(1));
        QWidget* window = ShowRunReport(directory.path(), {});
        QVERIFY(window && window->isVisible() && window->isWindow());
        QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("gaugeAtEnd"))->text().contains(QStringLiteral("17 %")));
        QCOMPARE(window->findChild<QTreeWidget*>()->topLevelItemCount(), 2);
        window->close();
    }
};

QTEST_MAIN(TestRunRecord)
#include "tst_run_record.moc"
