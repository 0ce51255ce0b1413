// Holds the machine awake through the real KeepAwake, for the service tests.
// Prints the report once every answer is in, then obeys one command a line
// on stdin: "hold", "release", "report", "quit" (or end of input). Every
// report ends with a line holding a single ".".
#include <QByteArrayList>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>

#include <unistd.h>

#include "platform/keep_awake.h"

namespace {

void Print(const QStringList& lines)
{
    for (const QString& line : lines)
        std::printf("%s\n", qPrintable(line));
    std::printf(".\n");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    platform::KeepAwake* awake = nullptr;
    platform::KeepAwake keepAwake([&] { Print(awake->Report()); });
    awake = &keepAwake;

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
            if (command == "hold")
                keepAwake.Hold();
            // A hold that took fresh locks reports once they are answered.
            if (command != "hold" || keepAwake.Settled())
                Print(keepAwake.Report());
        }
    });
    keepAwake.Hold();
    return application.exec();
}
