// SPDX-License-Identifier: GPL-3.0-or-later
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <ctime>
#include <memory>

#include "report/report_math.h"
#include "report/report_window.h"
#include "report/run_record.h"
#include "storage/date_text.h"
#include "storage/run_liveness.h"

using namespace report;

Q_DECLARE_METATYPE(std::optional<double>)

namespace {

const QDateTime kStart(QDate(2026, 12, 6), QTime(10, 0), Qt::LocalTime);

RunFacts Facts(const QDateTime& start = kStart)
{
    return {.start = start, .batteryModels = QStringLiteral("BAT0 \"main\", spare"), .designWh = 62.5,
            .fullWh = 50.0, .cycleCount = 123, .fast = false,
            .keptAwake = {QStringLiteral("screen, kept on"), QStringLiteral("sleep")},
            .batteryManufacturer = QStringLiteral("SMP"), .batterySerial = QStringLiteral("12,34")};
}

// Awake at 0, 60 and 120 minutes; the gauge falls to 30 % while the energy
// falls by 45 Wh and the draw climbs from 10 to 30 W (40 Wh in all).
QList<RunSample> HandMadeRun()
{
    QList<RunSample> samples;
    const int percents[] = {100, 60, 30}, energies[] = {50, 30, 5};
    for (int i = 0; i < 3; ++i)
        samples.append({.time = kStart.addSecs(i * 3600), .awakeSeconds = i * 3600, .acLineStatus = 0,
                        .percent = percents[i], .batteryStatus = QStringLiteral("Discharging"), .fast = false,
                        .energyWh = energies[i], .fullWh = 50.0, .designWh = 62.5, .powerW = 10.0 * (i + 1),
                        .voltageV = 12.25, .remainingSeconds = i == 0 ? 7200 : -1});
    return samples;
}

QString WriteRun(const QString& directory, const QList<RunSample>& samples, const QDateTime& start = kStart)
{
    auto writer = RunRecordWriter::Create(directory, Facts(start));
    for (RunSample sample : samples)
        writer->Append((sample.time = sample.time.addSecs(kStart.secsTo(start)), sample));
    return writer->Path();
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
        samples[1] = {.time = kStart.addSecs(60), .awakeSeconds = 60,
                      .batteryStatus = QStringLiteral("Not charging, \"odd\"")};
        samples[2].batteryCelsius = 41.5;
        samples[2].zoneCelsius = -3.25;
        samples[2].zoneType = QStringLiteral("acpitz, \"2\"");
        samples[2].heldBackSeconds = 754;
        WriteRun(directory.filePath(QStringLiteral("a/b")), samples);
        const RunRecords records = ReadRunRecords(directory.filePath(QStringLiteral("a/b")));
        QCOMPARE(records.runs.size(), 1);
        const RunRecord& run = records.runs.first();
        QCOMPARE(run.facts.start, kStart);
        QCOMPARE(run.facts.batteryModels, Facts().batteryModels);
        QCOMPARE(run.facts.keptAwake, Facts().keptAwake);
        QCOMPARE(std::pair(run.facts.batteryManufacturer, run.facts.batterySerial), std::pair(QString("SMP"), QString("12,34")));
        QCOMPARE(run.samples.size(), 3);
        const RunSample& full = run.samples[2];
        QCOMPARE(full.time.offsetFromUtc(), 3600);
        QCOMPARE(full.energyWh, 5.0);
        QCOMPARE(std::tuple(full.batteryCelsius, full.zoneCelsius, full.zoneType, full.heldBackSeconds),
                 std::tuple(samples[2].batteryCelsius, samples[2].zoneCelsius, samples[2].zoneType, qint64(754)));
        QCOMPARE(std::pair(run.samples[0].remainingSeconds, full.remainingSeconds), std::pair(qint64(7200), qint64(-1)));
        const RunSample& unknown = run.samples[1];
        QCOMPARE(unknown.acLineStatus, 255);
        QCOMPARE(unknown.batteryStatus, samples[1].batteryStatus);
        QVERIFY(!unknown.energyWh && !unknown.fullWh && !unknown.designWh && !unknown.powerW && !unknown.voltageV);
        QVERIFY(!unknown.batteryCelsius && !unknown.zoneCelsius && unknown.heldBackSeconds == 0);

        // A lock taken mid-run: only the changed line is added, and it stands
        // in for the lock's first line and for "nothing was taken".
        const QStringList first{QStringLiteral("logind sleep: not present"), QStringLiteral("GNOME session: refused (x: y)"),
                                QStringLiteral("nothing was taken: the machine may sleep during the run")};
        const QStringList later{QStringLiteral("logind sleep: taken after logind started"), first[1]};
        RunFacts facts = Facts();
        facts.keptAwake = first;
        auto writer = RunRecordWriter::Create(directory.filePath(QStringLiteral("c")), facts);
        QVERIFY(writer->Append(HandMadeRun().first()) && writer->UpdateKeptAwake(later) && writer->UpdateKeptAwake(later));
        QFile file(writer->Path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("kept_awake,"), 4);
        const RunRecord reread = ReadRunRecords(directory.filePath(QStringLiteral("c"))).runs.first();
        QCOMPARE(reread.facts.keptAwake, later);
        QCOMPARE(reread.samples.size(), 1);
    }

    // Rests read back as written; a damaged line is set aside, a later
    // version's outcome or reason reads as unknown, and extra fields are skipped.
    void readsBackTheRests()
    {
        QTemporaryDir directory;
        auto writer = RunRecordWriter::Create(directory.path(), Facts());
        const RestSpan full{RestSpot::Full, kStart.addSecs(-3000), kStart, RestOutcome::Rested, 2.1};
        const RestSpan empty{RestSpot::Empty, kStart.addSecs(7200), kStart.addSecs(9000), RestOutcome::Skipped, {}};
        QVERIFY(writer->RestReadings({{kStart.addSecs(-3000), 12.9}, {kStart.addSecs(-60), 12.95}})
                && writer->Rested(full) && writer->Append(HandMadeRun().first()) && writer->Rested(empty)
                && writer->MissedRest({RestSpot::Empty, NoRestReason::NoInhibitCharge}));
        QFile file(writer->Path());
        QVERIFY(file.open(QIODevice::Append));
        file.write("rest,empty,2026-12-06T13:00:00+01:00,2026-12-06T12:00:00+01:00,rested,\n"
                   "rest,full,2026-12-06T09:00:00+01:00,2026-12-06T09:30:00+01:00,learned,1,more\n"
                   "no_rest,empty,out-of-office\nrest_v,2026-12-06T09:00:00+01:00,-1\n");
        file.close();
        const RunRecord run = ReadRunRecords(directory.path()).runs.first();
        QCOMPARE(run.rests.spans.size(), 3);
        const RestSpan& read = run.rests.spans[0];
        QCOMPARE(std::tuple(read.spot, read.start, read.end, read.outcome, read.changeMv, read.Minutes()),
                 std::tuple(full.spot, full.start, full.end, full.outcome, full.changeMv, qint64(50)));
        QCOMPARE(std::pair(run.rests.spans[1].outcome, run.rests.spans[1].changeMv), std::pair(empty.outcome, empty.changeMv));
        QCOMPARE(run.rests.spans[2].outcome, RestOutcome::Unknown);
        QCOMPARE(run.rests.missed.size(), 2);
        QCOMPARE(run.rests.missed[0].reason, NoRestReason::NoInhibitCharge);
        QCOMPARE(run.rests.missed[1].reason, NoRestReason::Unknown);
        QCOMPARE(run.rests.voltages.size(), 2);
        QCOMPARE(run.rests.voltages[1].voltageV, 12.95);
        QCOMPARE(run.samples.size(), 1);
        QCOMPARE(run.setAside, 2);  // an end before its start, a voltage below zero
    }

    void leavesOutATornLastLine_data()
    {
        QTest::addColumn<int>("cutFromEnd");
        QTest::addColumn<int>("kept");
        QTest::newRow("whole") << 0 << 3;
        QTest::newRow("line end cut") << 1 << 2;
        QTest::newRow("mid-line") << 20 << 2;
    }

    void leavesOutATornLastLine()
    {
        QFETCH(int, cutFromEnd);
        QFETCH(int, kept);
        QTemporaryDir directory;
        QFile file(WriteRun(directory.path(), HandMadeRun()));
        QVERIFY(file.resize(file.size() - cutFromEnd));
        QCOMPARE(ReadRunRecords(directory.path()).runs.first().samples.size(), kept);
    }

    void skipsAndCountsWhatIsNoRecord()
    {
        QTemporaryDir directory;
        QFile big(WriteRun(directory.path(), HandMadeRun()));
        QVERIFY(big.resize(kRecordSizeLimit + 1));
        const QByteArray facts = RecordText(Facts());
        for (const auto& [name, bytes] : {std::pair{"run-cut.csv", facts.left(facts.size() - 5)},
                                          {"run-garbage.csv", QByteArray("\0\xff,\"\n\n", 6)},
                                          {"run-no-awake.csv", QByteArray(facts).replace(",awake_s", "")},
                                          {"run-newer.csv", QByteArray("dorvik-run-record,2.1\nstart;2026\n")},
                                          {"notes.txt", QByteArray("not ours, not counted")}}) {
            QFile file(directory.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        }
        QVERIFY(!HasRunRecord(directory.path()));  // files that start like records are not enough
        WriteRun(directory.path(), HandMadeRun(), kStart.addDays(1));
        QVERIFY(HasRunRecord(directory.path()));
        const RunRecords records = ReadRunRecords(directory.path());
        QCOMPARE(records.runs.size(), 1);
        QCOMPARE(records.unreadable, 4);
        QCOMPARE(records.newer, 1);  // written by a newer Dorvik: not damage
    }

    void setsAsideSamplesThatCannotBe_data()
    {
        QTest::addColumn<int>("index");  // of the sample changed
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("setAside");
        const auto row = [](const char* name, int index, const char* field, double value, int setAside) {
            QTest::newRow(name) << index << QByteArray(field) << value << setAside;
        };
        row("awake past the wall clock", 1, "awake", 3600 + kAwakeAllowance + 1, 1);
        row("awake within the allowance", 1, "awake", 3600 + kAwakeAllowance, 0);
        row("awake a billion seconds", 2, "awake", 1e9, 1);
        row("awake running back", 2, "awake", 3599, 1);
        row("draw over 500 W", 1, "power", 500.5, 1);
        row("draw of 500 W", 1, "power", 500, 0);
        row("energy over 1000 Wh", 0, "energy", 1000.5, 1);
        row("voltage over 100 V", 2, "voltage", 100.5, 1);
        row("battery at 150.5 °C", 2, "battery", 150.5, 1);
        row("battery at -61 °C", 2, "battery", -61, 1);
    }

    void setsAsideSamplesThatCannotBe()
    {
        QFETCH(int, index);
        QFETCH(QByteArray, field);
        QFETCH(double, value);
        QFETCH(int, setAside);
        QList<RunSample> samples = HandMadeRun();
        RunSample& changed = samples[index];
        if (field == "awake")
            changed.awakeSeconds = qint64(value);
        else if (field == "battery")
            changed.batteryCelsius = value;
        else
            (field == "power" ? changed.powerW : field == "energy" ? changed.energyWh : changed.voltageV) = value;
        QTemporaryDir directory;
        WriteRun(directory.path(), samples);
        const RunRecords records = ReadRunRecords(directory.path());
        QCOMPARE(records.runs.first().setAside, setAside);
        QCOMPARE(records.runs.first().samples.size(), 3 - setAside);
        std::unique_ptr<QWidget> window(BuildRunReport(records, {}));
        auto* line = window->findChild<QLabel*>(QStringLiteral("setAside"));
        QCOMPARE(line->isVisibleTo(window.get()), setAside > 0);
        if (setAside > 0)
            QCOMPARE(line->text(), QStringLiteral("1 damaged sample set aside"));
    }

    // This format as written so far, and a later one with a new column and fact
    // and its columns reordered, read whole (as this version writes) and shown.
    void readsRecordsOfOtherVersions()
    {
        QFile format1(QFINDTESTDATA("data/run-format1.csv"));
        const QByteArray format1Bytes = format1.open(QIODevice::ReadOnly) ? format1.readAll() : QByteArray();
        const QByteArray later = "dorvik-run-record,1\nstart,2026-12-06T10:00:00+01:00\nmode,slow\nfw,\"1, b\",x\n"
                                 "time,percent,temp_c,awake_s,status\n2026-12-06T12:00:00+01:00,30,31.5,7200,Low\n";
        const QByteArray laterAsWritten =
            RecordText({.start = kStart, .fast = false}) + "2026-12-06T12:00:00+01:00,7200,255,30,Low,slow,,,,,,,,,,,\n";
        // The first format had no remaining time, discharge nor heat: empty last columns now.
        const QByteArray format1AsWritten =
            QString::fromUtf8(format1Bytes)
                .replace(QRegularExpression(QStringLiteral("^(time,.*|2026-.*)$"), QRegularExpression::MultilineOption),
                         QStringLiteral("\\1,,,,,,"))
                .replace(QStringLiteral("voltage_v,,,,,,\n"),
                         QStringLiteral("voltage_v,remaining_s,discharge,battery_c,zone_c,zone_type,held_back_s\n"))
                .toUtf8();
        for (const auto& [read, rewritten] : {std::pair{format1Bytes, format1AsWritten}, {later, laterAsWritten}}) {
            const auto record = ParseRunRecord(read).record;
            QVERIFY(record);
            QByteArray written = RecordText(record->facts);
            for (const RunSample& sample : record->samples)
                written += SampleLine(sample);
            QCOMPARE(written, rewritten);
            QVERIFY(std::unique_ptr<QWidget>(BuildRunReport({.runs = {*record}}, {})));
        }
    }

    void keepsTheLastTwentyRuns()
    {
        QTemporaryDir directory;
        for (int run = 0; run <= kKeptRuns; ++run)
            WriteRun(directory.path(), {}, kStart.addDays(run));
        const RunRecords records = ReadRunRecords(directory.path());
        QCOMPARE(records.runs.size(), kKeptRuns);
        QCOMPARE(records.runs.first().facts.start, kStart.addDays(1));
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
        QCOMPARE(HealthPercent(Facts()), 80.0);
        QCOMPARE(GaugeAtEnd(run), 30);
        powerOnly.last().percent = 255;
        QVERIFY(!GaugeAtEnd(powerOnly));
        for (const auto& [points, maxPoints, kept] : {std::tuple{5, 10, 5}, {11, 10, 10}, {5, 0, 2}}) {
            QList<QPointF> curve;
            for (int i = 0; i < points; ++i)
                curve.append({double(i), double(i * i)});
            const QList<QPointF> resampled = Resampled(curve, maxPoints);
            QCOMPARE(resampled.size(), kept);
            QVERIFY(resampled.first() == curve.first() && resampled.last() == curve.last());
        }
    }

    // The ending from the end line, or from the writer's hold and the boot
    // and, after a restart, the last sample; the report's first line names
    // it, and only a run that ran out calls the last percent the gauge's error.
    void tellsHowEachRunEnded_data()
    {
        QTest::addColumn<QString>("bootId");
        QTest::addColumn<QByteArray>("endLine");
        QTest::addColumn<bool>("live");
        QTest::addColumn<int>("lastPercent");
        QTest::addColumn<RunEnding>("ending");
        QTest::addColumn<QString>("words");
        const QString thisBoot = storage::BootId();
        QTest::newRow("replugged") << thisBoot << EndLine(RunEnding::Replugged, kStart) << false << 30
                                   << RunEnding::Replugged << "The run ended when the adaptor was reconnected.";
        QTest::newRow("unknown end word") << thisBoot << QByteArray("end,melted,2026-12-06T12:00:00+01:00\n") << false
                                          << 30 << RunEnding::NotRecorded << "The record does not say how the run ended.";
        QTest::newRow("no end, this boot") << thisBoot << QByteArray() << false << 30 << RunEnding::Killed
                                           << "The run stopped without a word: Dorvik was killed or crashed.";
        QTest::newRow("no end, another boot, at 10 %") << "another boot" << QByteArray() << false << 10
                                                       << RunEnding::SwitchedOff
                                                       << "The run lasted until the machine switched off.";
        QTest::newRow("no end, another boot, at 11 %")
            << "another boot" << QByteArray() << false << 11 << RunEnding::Restarted
            << "The run stopped without a word before a restart, at 11 %: the battery had not run out.";
        QTest::newRow("held by its writer") << thisBoot << QByteArray() << true << 30 << RunEnding::Running
                                            << "The run is still going.";
        QTest::newRow("standby at 60 %") << thisBoot << EndLine(RunEnding::Standby, kStart) << false << 60
                                         << RunEnding::StandbyWithCharge
                                         << "The run ended when the machine went to standby at 60 %: the battery had "
                                            "not run out.";
        QTest::newRow("standby at 8 %") << thisBoot << EndLine(RunEnding::Standby, kStart) << false << 8
                                        << RunEnding::Standby << "The run ended when the machine went to standby.";
        const QByteArray stop = RecordStopLine(kStart, {12, StopReason("Cannot write x: No space left on device")});
        QTest::newRow("record stopped, no end") << "another boot" << stop << false << 5 << RunEnding::RecordStopped
                                                << "The record stopped at 12 min: the disk was full.";
        QTest::newRow("record stopped, held") << thisBoot << stop << true << 30 << RunEnding::Running
                                              << "The run is still going. The record stopped at 12 min: the disk was full.";
        QTest::newRow("record stopped, then replugged")
            << thisBoot << stop + EndLine(RunEnding::Replugged, kStart) << false << 30 << RunEnding::Replugged
            << "The run ended when the adaptor was reconnected. The record stopped at 12 min: the disk was full.";
        QTest::newRow("the demo killed") << "demo" << QByteArray() << false << 30 << RunEnding::Killed
                                         << "The run stopped without a word: Dorvik was killed or crashed.";
        QTest::newRow("the demo switched off") << "demo off" << QByteArray() << false << 8 << RunEnding::SwitchedOff
                                               << "The run lasted until the machine switched off.";
        QTest::newRow("no boot, as format 1") << QString() << QByteArray() << false << 30 << RunEnding::NotRecorded
                                              << "The record does not say how the run ended.";
    }

    void tellsHowEachRunEnded()
    {
        QFETCH(QString, bootId);
        QFETCH(QByteArray, endLine);
        QFETCH(bool, live);
        QFETCH(int, lastPercent);
        QFETCH(RunEnding, ending);
        QFETCH(QString, words);
        QVERIFY(!storage::BootId().isEmpty());
        QTemporaryDir directory;
        RunFacts facts = Facts();
        facts.bootId = bootId.startsWith("demo") ? storage::SimulatedBootId(directory.path()) : bootId;
        auto writer = RunRecordWriter::Create(directory.path(), facts);
        if (bootId == "demo off")  // the simulated machine's next boot
            storage::EndSimulatedBoot(directory.path());
        QList<RunSample> samples = HandMadeRun();
        samples.last().percent = lastPercent;
        for (const RunSample& sample : samples)
            writer->Append(sample);
        QFile file(writer->Path());
        QVERIFY(file.open(QIODevice::Append) && file.write(endLine) == endLine.size());
        file.close();
        if (!live)
            writer.reset();
        const RunRecords records = ReadRunRecords(directory.path());
        QCOMPARE(records.runs.value(0).ending, ending);
        std::unique_ptr<QWidget> window(BuildRunReport(records, {}));
        QCOMPARE(qobject_cast<QLabel*>(window->layout()->itemAt(0)->widget())->text(), words);
        const QString gauge = window->findChild<QLabel*>(QStringLiteral("gaugeAtEnd"))->text();
        QCOMPARE(gauge.contains(QStringLiteral("the gauge's error")), RanOut(ending));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("verdict"))->text().startsWith(QStringLiteral("No verdict")),
                 !RanOut(ending));
    }

    // After a restart, a record without an end line ran out only when its
    // last sample could have emptied the battery by the next minute.
    void countsARunSwitchedOffOnlyNearEmpty_data()
    {
        QTest::addColumn<int>("ac");
        QTest::addColumn<int>("percent");
        QTest::addColumn<std::optional<double>>("energyWh");
        QTest::addColumn<std::optional<double>>("powerW");
        QTest::addColumn<bool>("nearEmpty");
        const std::optional<double> none;
        QTest::newRow("on battery at 10 %") << 0 << 10 << none << none << true;
        QTest::newRow("on battery at 11 %") << 0 << 11 << none << none << false;
        QTest::newRow("on mains at 5 %") << 1 << 5 << none << none << false;
        QTest::newRow("adaptor unknown at 5 %") << 255 << 5 << none << none << false;
        QTest::newRow("at 70 %, a minute and a half's draw left") << 0 << 70 << std::optional(0.45) << std::optional(18.0) << true;
        QTest::newRow("at 70 %, more than that left") << 0 << 70 << std::optional(0.46) << std::optional(18.0) << false;
        QTest::newRow("percent unknown, draw unknown") << 0 << 255 << std::optional(0.1) << none << false;
        QTest::newRow("at 55 %, no energy and no draw") << 0 << 55 << std::optional(0.0) << std::optional(0.0) << false;
    }

    void countsARunSwitchedOffOnlyNearEmpty()
    {
        QFETCH(int, ac);
        QFETCH(int, percent);
        QFETCH(std::optional<double>, energyWh);
        QFETCH(std::optional<double>, powerW);
        const RunSample sample{.acLineStatus = ac, .percent = percent, .energyWh = energyWh, .powerW = powerW};
        QTEST(SampleNearEmpty(sample), "nearEmpty");
    }

    // A writer refused its hold says so in the record, which still reads
    // whole; readers call it running only while it is fresh, of this boot and
    // its writer's process lives. A held record lost its writer when unheld.
    void judgesAnUnheldRecordByItsFreshness_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<QByteArray>("writerPid");  // empty: this process
        QTest::addColumn<bool>("thisBoot");
        QTest::addColumn<int>("ending");
        const int running = int(RunEnding::Running), killed = int(RunEnding::Killed);
        QTest::newRow("fresh") << true << 100 << QByteArray() << true << running;
        QTest::newRow("older than two samples") << true << 130 << QByteArray() << true << killed;
        QTest::newRow("writer gone") << true << 0 << QByteArray("1073741824") << true << killed;  // beyond any pid Linux hands out
        QTest::newRow("writer's id now another program's") << true << 0 << QByteArray("1") << true << killed;
        QTest::newRow("another boot, not near empty") << true << 0 << QByteArray() << false << int(RunEnding::Restarted);
        QTest::newRow("held, then let go") << false << 0 << QByteArray() << true << killed;
    }
    void judgesAnUnheldRecordByItsFreshness()
    {
        QFETCH(bool, refused);
        QFETCH(int, ageSeconds);
        QFETCH(QByteArray, writerPid);
        QFETCH(bool, thisBoot);
        QFETCH(int, ending);
        QTemporaryDir directory;
        RunFacts facts = Facts();
        facts.bootId = thisBoot ? storage::BootId() : QStringLiteral("another boot");
        const auto refuse = [](const QString&) { return std::unique_ptr<storage::FileHold>(); };
        auto writer = refused ? RunRecordWriter::Create(directory.path(), facts, nullptr, refuse)
                              : RunRecordWriter::Create(directory.path(), facts);
        QCOMPARE(writer->Held(), !refused);
        for (const RunSample& sample : HandMadeRun())
            QVERIFY(writer->Append(sample));
        QFile file(writer->Path());
        if (!refused)
            writer.reset();
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        QCOMPARE(bytes.contains("\nlock,none\n"), refused);
        const QByteArray pid = "\npid," + QByteArray::number(QCoreApplication::applicationPid()) + '\n';
        QVERIFY(bytes.contains(pid));
        if (!writerPid.isEmpty()) {
            bytes.replace(pid, "\npid," + writerPid + '\n');
            QVERIFY(file.resize(0) && file.write(bytes) == bytes.size());
        }
        QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-ageSeconds), QFileDevice::FileModificationTime));
        file.close();
        const RunRecords records = ReadRunRecords(directory.path());
        QCOMPARE(records.runs.value(0).samples.size(), 3);
        QCOMPARE(int(records.runs.value(0).ending), ending);
    }

    // Older records' end words still read as their endings.
    void storedEndingsReadBack()
    {
        const std::pair<const char*, RunEnding> older[] = {
            {"replugged", RunEnding::Replugged}, {"exited", RunEnding::Exited}, {"standby", RunEnding::Standby}};
        for (const auto& [word, ending] : older)
            QCOMPARE(EndingOfStoredWord(QLatin1String(word)), ending);
    }

    // The run the log tells of, with the minutes its record noted the log
    // writes with, or for older records by the log's rule to the last sample;
    // without it the newest, saying so.
    void opensOnTheLoggedRun_data()
    {
        QTest::addColumn<storage::LoggedRun>("log");
        QTest::addColumn<bool>("logLines");
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QDateTime>("shownStart");
        const storage::LoggedRun log{kStart.addSecs(50), 37};
        QTest::newRow("the log writes' minutes") << log << true << "37 min" << kStart.addSecs(50);
        QTest::newRow("no log lines: by the log's rule") << log << false << "120 min" << kStart.addSecs(50);
        QTest::newRow("no such run: the newest") << storage::LoggedRun{kStart.addDays(2), 37} << false << "120 min"
                                                 << kStart.addDays(1);
    }

    void opensOnTheLoggedRun()
    {
        QFETCH(storage::LoggedRun, log);
        QFETCH(bool, logLines);
        QFETCH(QString, minutes);
        QFETCH(QDateTime, shownStart);
        QTemporaryDir directory;
        QList<RunSample> logged = HandMadeRun();
        logged.last().awakeSeconds = 7150;  // 10:00:50 to 12:00:50: 120 minutes by the log's rule, 119.2 awake
        QFile file(WriteRun(directory.path(), logged, kStart.addSecs(50)));
        const QByteArray lines = LogWriteLine({kStart.addSecs(50 + 36 * 60 + 9), 36})
                                 + LogWriteLine({kStart.addSecs(50 + 37 * 60 + 9), 37}) + "log,damaged,38\n";
        QVERIFY(!logLines || (file.open(QIODevice::Append) && file.write(lines) == lines.size()));
        file.close();
        WriteRun(directory.path(), HandMadeRun(), kStart.addDays(1));
        std::unique_ptr<QWidget> window(BuildRunReport(ReadRunRecords(directory.path()), {}, nullptr, log));
        const QString duration = window->findChild<QLabel*>(QStringLiteral("duration"))->text();
        QVERIFY2(duration.startsWith(minutes), qPrintable(duration));
        QVERIFY(duration.contains(QLocale().toString(shownStart, QLocale::ShortFormat)));
        const QDateTime finished = logLines ? kStart.addSecs(50 + 37 * 60 + 9) : shownStart.addSecs(7200);
        QVERIFY2(duration.endsWith(QLocale().toString(finished, QLocale::ShortFormat)), qPrintable(duration));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("notTheLoggedRun"))->isVisibleTo(window.get()),
                 shownStart != log.start);
    }

    // The log names its run by the start as the writer wrote it, whatever
    // the zone, the hour or the reader's locale; a day-month swap is no match.
    void findsTheLoggedRunByItsStart_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QString>("writerLocale");  // empty: a record that does not name it
        QTest::addColumn<QString>("logText");
        QTest::addColumn<bool>("found");
        const auto at = [](int month, int day, int hour, int offsetHours) {
            return QDateTime(QDate(2026, month, day), QTime(hour, 5, 9), Qt::OffsetFromUTC, offsetHours * 3600);
        };
        QTest::newRow("started five hours east") << at(12, 6, 10, 5) << "de_DE" << "06.12.2026 10:05:09" << true;
        QTest::newRow("the repeated hour, second time") << at(10, 25, 2, 1) << "de_DE" << "25.10.2026 02:05:09" << true;
        QTest::newRow("en_GB noted") << at(7, 3, 14, 2) << "en_GB" << "03/07/2026 14:05:09" << true;
        QTest::newRow("en_GB, not noted") << at(7, 3, 14, 2) << "" << "03/07/2026 14:05:09" << true;
        QTest::newRow("day and month swapped") << at(3, 7, 14, 1) << "" << "03/07/2026 14:05:09" << false;
        QTest::newRow("en_US noted, en_GB text") << at(3, 7, 14, 1) << "en_US" << "07/03/2026 14:05:09" << false;
    }
    void findsTheLoggedRunByItsStart()
    {
        QFETCH(QDateTime, start);
        QFETCH(QString, writerLocale);
        QFETCH(QString, logText);
        const RunRecord run{.facts = {.start = start, .locale = writerLocale}};
        const auto read = storage::ParseDateText(logText, QLocale(QStringLiteral("de_DE")));
        QTEST(LoggedRunIndex({run}, {read.value_or(QDateTime()), 37, logText}) == 0, "found");
    }

    void windowShowsTheLatestRun()
    {
        QTemporaryDir directory;
        WriteRun(directory.path(), HandMadeRun());
        QWidget* window = ShowRunReport(directory.path(), {});
        QVERIFY(window && window->isVisible());
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("gaugeAtEnd"))->text().contains(QStringLiteral("30 %")));
        window->close();
    }
};

QTEST_MAIN(TestRunRecord)
#include "tst_run_record.moc"
