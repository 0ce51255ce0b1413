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

// How the log's run ended, as its record tells, and its last percent.
std::pair<report::RunEnding, std::optional<int>> LoggedRunEnding(const QString& recordDirectory,
                                                                  const QDateTime& start)
{
    if (recordDirectory.isEmpty())
        return {report::RunEnding::NotRecorded, std::nullopt};
    const QList<report::RunRecord> runs = report::ReadRunRecords(recordDirectory).runs;
    const qsizetype logged = report::LoggedRunIndex(runs, start);
    if (logged < 0)
        return {report::RunEnding::NotRecorded, std::nullopt};
    return {runs[logged].ending, report::GaugeAtEnd(runs[logged].samples)};
}

}  // namespace

void WriteResultLog(const QString& path, const QString& text)
{
    QString error;
    if (!storage::ReplaceFileDurably(path, (text + platform::kCrLf).toLocal8Bit(), &error))
        throw platform::UntrappedError(QStringLiteral("Cannot write %1.").arg(QDir::toNativeSeparators(path)), error);
}

QString ViewResultReport(const QString& minutesText, const QDateTime& started, const QDateTime& finished,
                         report::RunEnding ending, std::optional<int> lastPercent)
{
    const QStringList lines = {
        report::ViewResultLine(ending, minutesText, lastPercent),
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
    case storage::FileLookup::Missing:
        // A missing log is no error: never-read lines stand for the zero date-time.
        return ViewResultReport(QString::number(0), storage::ZeroDateTime(), storage::ZeroDateTime());
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
    if (!started || !finished)
        return std::nullopt;
    const auto [ending, lastPercent] = LoggedRunEnding(recordDirectory, *started);
    return ViewResultReport(QString::fromLocal8Bit(lines->at(0)), *started, *finished, ending, lastPercent);
}

}  // namespace calibration
