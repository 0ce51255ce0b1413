// SPDX-License-Identifier: GPL-3.0-or-later
// Holds the machine awake through the real KeepAwake for the service tests:
// reports once every answer is in, then obeys "hold", "release", "report" or
// "quit" (or end of input), one a line; each report ends with a "." line.
#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>

#include <unistd.h>

#include "app/log_output.h"
#include "platform/keep_awake.h"

int main(int argc, char* argv[])
{
    app::LogToStandardError();
    QCoreApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // the tests wait for each line
    const auto print = [](const QStringList& lines) { std::printf("%s\n.\n", qPrintable(lines.join(QLatin1Char('\n')))); };
    platform::KeepAwake keepAwake([&] { print(keepAwake.Report()); });
    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t size = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (size <= 0)
            return QCoreApplication::quit();
        pending.append(buffer, size);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QByteArray command = pending.left(end).trimmed();
            if (command == "quit")
                return QCoreApplication::quit();
            if (command == "release")
                keepAwake.Release();
            else if (command == "hold" && (keepAwake.Hold(), !keepAwake.Settled()))
                continue;  // fresh locks report once they are answered
            print(keepAwake.Report());
        }
    });
    keepAwake.Hold();
    return application.exec();
}
