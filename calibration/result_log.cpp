// SPDX-License-Identifier: GPL-3.0-or-later
// The result log and View Result.
#include "calibration/result_log.h"

#include <QDir>
#include <QStringList>

#include "platform/platform.h"
#include "report/report_math.h"
#include "report/run_record.h"
#include "storage/date_text.h"
#include "storage/durable_file.h"
#include "storage/result_log_file.h"
#include "storage/text_file.h"

namespace calibration {
namespace {

std::optional<QDateTime> DateFromLine(const QByteArray& line)
{
    return storage::ParseDateText(QString::fromLocal8Bit(line));
}

QList<report::RunRecord> Runs(const QString& recordDirectory)
{
    return recordDirectory.isEmpty() ? QList<report::RunRecord>() : report::ReadRunRecords(recordDirectory).runs;
}

// The run as its record tells it, with the span every view gives it.
QString RecordedRunReport(const report::RunRecord& run)
{
    // The record keeps the offset it was written with; shown, like the
    // report's times, on today's clock.
    const report::RunSpan span = report::LoggedSpan(run);
    const QDateTime started = span.start.toLocalTime();
    return ViewResultReport(QString::number(span.minutes), started,
                            span.finished.isValid() ? span.finished.toLocalTime() : started, run.ending,
                            report::GaugeAtEnd(run.samples), run.stop);
}

}  // namespace

void WriteResultLog(const QString& path, const QString& text)
{
    QString error;
    if (!storage::ReplaceFileDurably(path, (text + platform::kCrLf).toLocal8Bit(), &error))
        throw platform::UntrappedError(QStringLiteral("Cannot write %1.").arg(QDir::toNativeSeparators(path)), error);
}

QString ResultLogNotAccessible(const QString& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    const QString shown = storage::kResultLogShownName;
#else
    const QString shown = QDir::toNativeSeparators(path);
#endif
    return QStringLiteral("Result log ") + shown + QStringLiteral(" is not accessible!");
}

QString ViewResultReport(const QString& minutesText, const QDateTime& started, const QDateTime& finished,
                         report::RunEnding ending, std::optional<int> lastPercent,
                         const std::optional<report::RecordStop>& stop)
{
    const QStringList lines = {
        report::ViewResultLine(ending, minutesText, lastPercent, stop),
        QString(),
        QStringLiteral("Note: This time is not an accurate measure of battery life,"),
        QStringLiteral("to do this, you need to run a BatteryMark test after calibrating the battery."),
        QString(),
        QStringLiteral("Started=") + storage::DateText(started),
        QStringLiteral("Finished=") + storage::DateText(finished),
    };
    return lines.join(platform::kCrLf);
}

std::optional<QString> ReadViewResultReport(const QString& logPath, const QString& recordDirectory)
{
    switch (storage::LookUpOrdinaryFile(logPath)) {
    case storage::FileLookup::Missing: {
        // A missing log is no error; without a record there is no run to tell of.
        const QList<report::RunRecord> runs = Runs(recordDirectory);
        return runs.isEmpty() ? kNoRunRecorded : RecordedRunReport(runs.last());
    }
    case storage::FileLookup::Failed:
        return std::nullopt;
    case storage::FileLookup::Found:
        break;
    }
    const auto lines = storage::ReadFirstLines(logPath, storage::kResultLogLines);
    if (!lines)
        return std::nullopt;
    const auto started = DateFromLine(lines->at(1));
    const auto finished = DateFromLine(lines->at(2));
    const QList<report::RunRecord> runs = Runs(recordDirectory);
    const storage::LoggedRun log{started.value_or(QDateTime()), std::nullopt, QString::fromLocal8Bit(lines->at(1))};
    if (const qsizetype logged = report::LoggedRunIndex(runs, log); logged >= 0)
        return RecordedRunReport(runs[logged]);
    if (!started || !finished)
        return std::nullopt;
    return ViewResultReport(QString::fromLocal8Bit(lines->at(0)), *started, *finished);
}

}  // namespace calibration
