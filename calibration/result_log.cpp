// The result log and View Result.
#include "calibration/result_log.h"

#include <QStringList>

#include "app/frmMain.h"
#include "platform/date_text.h"
#include "platform/text_file.h"
#include "report/report_window.h"
#include "report/run_record.h"

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

}  // namespace calibration

void frmMain::WriteResultLog(const QString& path, const QString& text)
{
    calibration::WriteResultLogFile(path, text);
}

void frmMain::Command2_Click()
{
    const auto result = calibration::ReadViewResultReport(ResultLogPath());
    if (!result) {
        platform_.MsgBox(calibration::kResultLogNotAccessible, platform::vbOKOnly);
        return;
    }
    // The box stays as it ever was unless there is a run record to show.
    const bool recorded = !runRecordDirectory_.isEmpty() && report::HasRunRecord(runRecordDirectory_);
    const QString showReport = recorded ? QStringLiteral("Show &Report\u2026") : QString();
    if (platform_.MsgBox(*result, platform::vbOKOnly, {}, showReport) == platform::kExtraButtonAnswer)
        report::ShowRunReport(runRecordDirectory_, power_.Details(), this);
}
