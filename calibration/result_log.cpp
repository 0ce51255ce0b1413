// SPDX-License-Identifier: GPL-3.0-or-later
// The result log and View Result.
#include "calibration/result_log.h"

#include <QDir>
#include <QStringList>

#include "platform/platform.h"
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

}  // namespace

void WriteResultLog(const QString& path, const QString& text)
{
    QString error;
    if (!storage::ReplaceFileDurably(path, (text + platform::kCrLf).toLocal8Bit(), &error))
        throw platform::UntrappedError(QStringLiteral("Cannot write %1.").arg(QDir::toNativeSeparators(path)), error);
}

QString ViewResultReport(const QString& minutesText, const QDateTime& started, const QDateTime& finished)
{
    const QStringList lines = {
        QStringLiteral("The previous run lasted for ") + minutesText
            + QStringLiteral(" minutes before the battery ran out of charge."),
        QString(),
        QStringLiteral("Note: This time is not an accurate measure of battery life,"),
        QStringLiteral("to do this, you need to run a BatteryMark test after calibrating the battery."),
        QString(),
        QStringLiteral("Started=") + storage::DateText(started),
        QStringLiteral("Finished=") + storage::DateText(finished),
    };
    return lines.join(platform::kCrLf);
}

std::optional<QString> ReadViewResultReport(const QString& logPath)
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
    return ViewResultReport(QString::fromLocal8Bit(lines->at(0)), *started, *finished);
}

}  // namespace calibration
