// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of keeping the machine awake, against mocked services: run it with
// `cmake --build build --target run_bench_keep_awake`. Prints the time from Hold to the last answer, the time
// from Release until logind's list of inhibitors is empty, the longest
// the event loop went without a pass while the locks were being taken, and
// the time from a new logind taking its name (a restart) until it lists our
// locks again.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/keep_awake.h"

namespace {

constexpr int kRounds = 20;
constexpr int kRestarts = 5;

struct Round {
    double holdMs = 0;      // Hold until every answer is in
    double releaseMs = 0;   // Release until logind holds nothing
    double stallMs = 0;     // longest gap between passes of the event loop
    int taken = 0;
};

int LogindInhibitors()
{
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors"));
    const QDBusMessage reply = QDBusConnection::systemBus().call(call);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toList().size() : -1;
}

double Ms(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

Round Measure()
{
    Round round;
    QEventLoop loop;
    platform::KeepAwake awake([&] { loop.quit(); });

    // A 1 ms timer: any gap well beyond that is time the loop could not run.
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        round.stallMs = std::max(round.stallMs, Ms(sinceTick));
        sinceTick.start();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);  // a hung service ends the round
    ticker.start(1);

    QElapsedTimer timer;
    timer.start();
    sinceTick.start();
    awake.Hold();
    if (!awake.Settled())
        loop.exec();
    round.holdMs = Ms(timer);
    round.stallMs = std::max(round.stallMs, Ms(sinceTick));
    ticker.stop();
    for (const QString& line : awake.Report())
        round.taken += line.endsWith(QStringLiteral(": taken"));

    timer.start();
    awake.Release();
    while (LogindInhibitors() > 0 && timer.elapsed() < 5000)
        QCoreApplication::processEvents();
    round.releaseMs = Ms(timer);
    return round;
}

// A fresh logind mock takes over the name, as after a restart; returns the
// milliseconds from its taking the name until it lists every lock, or -1.
double MeasureRestart(platform::KeepAwake& awake, int locks, std::vector<std::unique_ptr<QProcess>>& mocks)
{
    QElapsedTimer timer;
    QDBusServiceWatcher watcher(QStringLiteral("org.freedesktop.login1"), QDBusConnection::systemBus(),
                                QDBusServiceWatcher::WatchForOwnerChange);
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceOwnerChanged,
                     [&](const QString&, const QString&, const QString& newOwner) {
                         if (!newOwner.isEmpty())
                             timer.start();
                     });
    auto mock = std::make_unique<QProcess>();
    mock->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mock->setStandardOutputFile(QProcess::nullDevice());
    mock->start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                 QStringLiteral("--template"), QStringLiteral("logind")});
    mocks.push_back(std::move(mock));
    QElapsedTimer limit;
    limit.start();
    while (limit.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (timer.isValid() && LogindInhibitors() == locks)
            return Ms(timer);
    }
    std::printf("no restart within 10 s: %s\n", qPrintable(awake.Report().join(QStringLiteral("; "))));
    return -1;
}

void Print(const char* label, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    std::printf("%-40s median %7.2f ms   max %7.2f ms\n", label, values[values.size() / 2], values.back());
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (LogindInhibitors() < 0) {
        std::fputs("bench_keep_awake: no logind on the system bus; build and run the target run_bench_keep_awake\n", stderr);
        return 1;
    }
    const Round first = Measure();  // includes connecting to the session bus
    std::printf("first hold (connects to the buses)       %7.2f ms, loop stalled at most %.2f ms, %d locks taken\n",
                first.holdMs, first.stallMs, first.taken);
    std::vector<double> hold, release, stall, total;
    for (int i = 0; i < kRounds; ++i) {
        const Round round = Measure();
        hold.push_back(round.holdMs);
        release.push_back(round.releaseMs);
        stall.push_back(round.stallMs);
        total.push_back(round.holdMs + round.releaseMs);
        if (round.taken != first.taken)
            std::printf("round %d took %d locks, not %d\n", i, round.taken, first.taken);
    }
    std::printf("over %d rounds, %d locks each:\n", kRounds, first.taken);
    Print("take every lock (every answer in)", hold);
    Print("release (logind holds nothing)", release);
    Print("take and release", total);
    Print("longest event loop stall while taking", stall);

    // Each mock replaces the last on the bus, which then holds no name.
    std::vector<std::unique_ptr<QProcess>> mocks;
    std::vector<double> restarts;
    {
        QEventLoop loop;
        platform::KeepAwake awake([&] { loop.quit(); });
        awake.Hold();
        if (!awake.Settled())
            loop.exec();
        const int locks = LogindInhibitors();
        for (int i = 0; i < kRestarts; ++i)
            if (const double ms = MeasureRestart(awake, locks, mocks); ms >= 0)
                restarts.push_back(ms);
    }
    for (const auto& mock : mocks) {
        mock->terminate();
        mock->waitForFinished();
    }
    if (restarts.empty())
        return 1;
    std::printf("over %zu restarts of logind:\n", restarts.size());
    Print("locks back after logind restarted", restarts);
    return 0;
}
