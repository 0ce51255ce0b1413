// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/result_log_file.h"

#include "storage/date_text.h"
#include "storage/text_file.h"

namespace storage {

std::optional<LoggedRun> ReadLoggedRun(const QString& logPath)
{
    if (LookUpOrdinaryFile(logPath) != FileLookup::Found)
        return std::nullopt;
    const auto lines = ReadFirstLines(logPath, kResultLogLines);
    const auto started = lines ? ParseDateText(QString::fromLocal8Bit(lines->at(1))) : std::nullopt;
    if (!started)
        return std::nullopt;
    bool number = false;
    const qint64 minutes = QString::fromLocal8Bit(lines->at(0)).toLongLong(&number);
    return LoggedRun{*started, number ? std::optional<qint64>(minutes) : std::nullopt,
                     QString::fromLocal8Bit(lines->at(1))};
}

}  // namespace storage
