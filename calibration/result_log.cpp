// SPDX-License-Identifier: GPL-3.0-or-later
// The result log and View Result.
#include "calibration/result_log.h"

#include <QStringList>

#include "platform/date_text.h"
#include "platform/platform.h"
#include "platform/text_file.h"

namespace calibration {
namespace {

constexpr int kLogLines = 3;

std::optional<QDateTime> DateFromLine(const QByteArray& line)
{
    return platform::ParseDateText(QString::fromLocal8Bit(line));
}

}  // namespace

void WriteResultLogFile(const QString& path, const QString& text)
{
    platform::ReplaceFileDurably(path, (text + platform::kCrLf).toLocal8Bit());
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
        QStringLiteral("Started=") + platform::DateText(started),
        QStringLiteral("Finished=") + platform::DateText(finished),
    };
    return lines.join(platform::kCrLf);
}

std::optional<QString> ReadViewResultReport(const QString& logPath)
{
    switch (platform::LookUpOrdinaryFile(logPath)) {
    case platform::FileLookup::Missing:
        // A missing log is no error: never-read lines stand for the zero date-time.
        return ViewResultReport(QString::number(0), platform::ZeroDateTime(), platform::ZeroDateTime());
    case platform::FileLookup::Failed:
        return std::nullopt;
    case platform::FileLookup::Found:
        break;
    }
    const auto lines = platform::ReadFirstLines(logPath, kLogLines);
    if (!lines)
        return std::nullopt;
    const auto started = DateFromLine(lines->at(1));
    const auto finished = DateFromLine(lines->at(2));
    if (!started || !finished)
        return std::nullopt;
    return ViewResultReport(QString::fromLocal8Bit(lines->at(0)), *started, *finished);
}

std::optional<report::LoggedRun> ReadLoggedRun(const QString& logPath)
{
    if (platform::LookUpOrdinaryFile(logPath) != platform::FileLookup::Found)
        return std::nullopt;
    const auto lines = platform::ReadFirstLines(logPath, kLogLines);
    const auto started = lines ? DateFromLine(lines->at(1)) : std::nullopt;
    if (!started)
        return std::nullopt;
    bool number = false;
    const qint64 minutes = QString::fromLocal8Bit(lines->at(0)).toLongLong(&number);
    return report::LoggedRun{*started, number ? std::optional<qint64>(minutes) : std::nullopt};
}

}  // namespace calibration
