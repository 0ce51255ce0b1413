// SPDX-License-Identifier: GPL-3.0-or-later
// Rewrites the result log at LOG as fast as it can until it is killed, the
// minutes counting up from FIRST; prints a line after its first write.
#include <QDateTime>
#include <cstdio>

#include "calibration/result_log.h"
#include "platform/platform.h"
#include "storage/date_text.h"

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString started = storage::DateText(QDateTime::currentDateTime());
    const qint64 first = QByteArray(argv[2]).toLongLong();
    for (qint64 minutes = first;; ++minutes) {
        calibration::WriteResultLog(path, QString::number(minutes) + platform::kCrLf + started + platform::kCrLf
                                                  + storage::DateText(QDateTime::currentDateTime()));
        if (minutes == first && std::puts("written") >= 0)
            std::fflush(stdout);
    }
}
