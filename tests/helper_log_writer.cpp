// Rewrites the result log at the given path through the log writer, as fast
// as it can, until it is killed; the minutes count up from the given number.
// Prints a line after its first write.
#include <QDateTime>
#include <QString>
#include <cstdio>

#include "calibration/result_log.h"
#include "platform/date_text.h"
#include "platform/platform.h"

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fputs("usage: helper_log_writer LOG FIRST-MINUTES\n", stderr);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString started = platform::DateText(QDateTime::currentDateTime());
    const qint64 first = QByteArray(argv[2]).toLongLong();
    for (qint64 minutes = first;; ++minutes) {
        const QString text = QString::number(minutes) + platform::kCrLf + started + platform::kCrLf
                             + platform::DateText(QDateTime::currentDateTime());
        calibration::WriteResultLogFile(path, text);
        if (minutes == first) {
            std::puts("written");
            std::fflush(stdout);
        }
    }
}
