// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what run records cost: one sample appended with its sync (in a
// folder on the real disk, where the sync waits for it), opening the report
// on a day-long run among 19 earlier ones (offscreen), and the size of a
// ten-hour record, and opening one padded with absurd samples.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "report/report_window.h"
#include "report/run_record.h"

namespace {

const QDateTime kStart(QDate(2026, 12, 6), QTime(8, 0));

report::RunFacts Facts(const QDateTime& start)
{
    return {start, QStringLiteral("5B10W13975"), 57.02, 50.11, 123, true,
            {QStringLiteral("Screen kept on by Dorvik"), QStringLiteral("Sleep kept off by Dorvik")}};
}

report::RunSample Sample(int minute, int minutes)
{
    const double left = 1.0 - double(minute) / minutes;
    return {kStart.addSecs(minute * 60), minute * 60, 0, int(100 * left), QStringLiteral("Discharging"), true,
            50.11 * left, 50.11, 57.02, 11.5 + minute % 7 * 0.25, 11.1 + left * 1.5, (minutes - minute) * 55};
}

// Writes a run straight to its file: the syncs would only slow the set-up.
QString WriteRun(const QString& directory, const QDateTime& start, int minutes)
{
    auto writer = report::RunRecordWriter::Create(directory, Facts(start));
    QFile file(writer->Path());
    file.open(QIODevice::Append);
    for (int minute = 0; minute < minutes; ++minute)
        file.write(report::SampleLine(Sample(minute, minutes)));
    return writer->Path();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void AppendCost(const QString& directory)
{
    auto writer = report::RunRecordWriter::Create(directory, Facts(kStart));
    std::vector<double> ms;
    for (int minute = 0; minute < 200; ++minute) {
        QElapsedTimer timer;
        timer.start();
        if (!writer->Append(Sample(minute, 200)))
            std::printf("append failed\n");
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("Append one sample with its sync: median %.2f ms, worst %.2f ms over %zu (target <= 5 ms)\n",
                Median(ms), *std::max_element(ms.begin(), ms.end()), ms.size());
}

void OpenReportCost(const QString& directory)
{
    for (int run = 0; run < 19; ++run)
        WriteRun(directory, kStart.addDays(run - 19), 300 + run * 10);
    WriteRun(directory, kStart, 1440);
    std::vector<double> ms;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        // Every run judged as one that ran out: the most the report works out.
        report::RunRecords records = report::ReadRunRecords(directory);
        for (report::RunRecord& run : records.runs)
            run.ending = report::RunEnding::SwitchedOff;
        QWidget* window = report::BuildRunReport(records, {});
        window->show();
        QApplication::processEvents();  // lays out and paints the charts once
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        delete window;
    }
    QElapsedTimer parts;
    parts.start();
    report::RunRecords records = report::ReadRunRecords(directory);
    for (report::RunRecord& run : records.runs)
        run.ending = report::RunEnding::SwitchedOff;
    const double readMs = double(parts.nsecsElapsed()) / 1e6;
    parts.restart();
    QWidget* window = report::BuildRunReport(records, {});
    const double buildMs = double(parts.nsecsElapsed()) / 1e6;
    parts.restart();
    window->show();
    QApplication::processEvents();
    std::printf("  of which: read %.1f ms, build %.1f ms, show %.1f ms\n", readMs, buildMs, double(parts.nsecsElapsed()) / 1e6);
    delete window;
    std::printf("Open the report on a 1,440-sample run with 19 earlier runs: median %.1f ms, worst %.1f ms "
                "(target <= 300 ms)\n",
                Median(ms), *std::max_element(ms.begin(), ms.end()));
}

// A ten-hour record padded with 100 samples no battery gives: awake times up
// to 2^40 s, draws of megawatts, clocks that run back. The reader sets them
// aside, so the report opens as on the record without them.
void OpenAbsurdCost(const QString& directory)
{
    const QString path = WriteRun(directory, kStart, 600);
    QFile file(path);
    file.open(QIODevice::Append);
    for (int i = 0; i < 100; ++i) {
        report::RunSample absurd = Sample(600 + i, 700);
        if (i % 3 == 0)
            absurd.awakeSeconds = (qint64(1) << 30) * (i + 1);
        else if (i % 3 == 1)
            absurd.powerW = 1e5 + i;
        else
            absurd.time = kStart.addSecs(-3600 * i);
        file.write(report::SampleLine(absurd));
    }
    file.close();
    std::vector<double> ms;
    int setAside = 0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        report::RunRecords records = report::ReadRunRecords(directory);
        setAside = records.runs.first().setAside;
        QWidget* window = report::BuildRunReport(records, {});
        window->show();
        QApplication::processEvents();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        delete window;
    }
    std::printf("Open the report on a 600-sample record padded with 100 absurd samples (%d set aside): "
                "median %.1f ms, worst %.1f ms (target <= 300 ms)\n",
                setAside, Median(ms), *std::max_element(ms.begin(), ms.end()));
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Under the working folder, which is on the real disk, not in memory.
    QTemporaryDir scratch(QDir::current().filePath(QStringLiteral("bench-run-record-XXXXXX")));
    AppendCost(scratch.filePath(QStringLiteral("append")));
    OpenReportCost(scratch.filePath(QStringLiteral("report")));
    OpenAbsurdCost(scratch.filePath(QStringLiteral("absurd")));
    const QString tenHours = WriteRun(scratch.filePath(QStringLiteral("size")), kStart, 600);
    std::printf("A ten-hour record (600 samples): %.1f KiB (target <= 100 KiB)\n",
                double(QFileInfo(tenHours).size()) / 1024.0);
    return 0;
}
