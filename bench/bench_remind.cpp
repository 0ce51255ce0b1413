// SPDX-License-Identifier: GPL-3.0-or-later
// Prints what `dorvik --remind` costs at a login when nothing is due: wall
// time and peak resident memory of the whole process, among 20 run records
// of a few hundred samples each, the newest one ran out ten days ago.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <vector>

extern char** environ;

namespace {

void Write(const QString& path, const QByteArray& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A run of `minutes` samples; the newest ran out, the others were plugged in.
QByteArray Record(const QDateTime& start, int minutes, bool ranOut)
{
    QByteArray text = "dorvik-run-record,1\nstart," + start.toString(Qt::ISODate).toLatin1() +
                      "\nmodels,5B10W13975\ndesign_wh,57.02\nfull_wh,50.11\ncycles,123\nmode,fast\n"
                      "time,awake_s,ac,percent,status,mode,energy_wh,full_wh,design_wh,power_w,voltage_v\n";
    for (int m = 0; m < minutes; ++m) {
        const double left = 1.0 - double(m) / minutes;
        text += start.addSecs(m * 60).toString(Qt::ISODate).toLatin1() + ',' + QByteArray::number(m * 60) + ",0," +
                QByteArray::number(int(100 * left)) + ",Discharging,fast," + QByteArray::number(50.11 * left, 'f', 2) +
                ",50.11,57.02,12.5," + QByteArray::number(11.1 + 1.5 * left, 'f', 3) + '\n';
    }
    const QByteArray end = start.addSecs(minutes * 60).toString(Qt::ISODate).toLatin1();
    return text + (ranOut ? "end,ran-out-on-mains," : "end,replugged,") + end + '\n';
}

struct Cost {
    double ms;
    double cpuMs;  // user and system: what a busy machine's queue does not add
    long maxRssKb;
};

double Ms(const timeval& t)
{
    return t.tv_sec * 1e3 + t.tv_usec / 1e3;
}

Cost RunOnce(const char* program)
{
    char* argv[] = {const_cast<char*>(program), const_cast<char*>("--remind"), nullptr};
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0)
        qFatal("cannot start %s", program);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        qFatal("dorvik --remind failed");
    return {double(timer.nsecsElapsed()) / 1e6, Ms(usage.ru_utime) + Ms(usage.ru_stime), usage.ru_maxrss};
}

}  // namespace

int main()
{
    QTemporaryDir home;
    const QString runs = home.filePath(QStringLiteral("dorvik/runs"));
    QDir().mkpath(runs);
    const QDateTime now = QDateTime::currentDateTime();
    for (int run = 0; run < 20; ++run) {
        const QDateTime start = now.addDays(-10 - 5 * (19 - run));
        Write(runs + start.toUTC().toString(QStringLiteral("/'run-'yyyyMMdd-HHmmss'Z.csv'")),
              Record(start, 300 + 20 * run, run == 19));
    }
    const QString battery = home.filePath(QStringLiteral("sys/BAT0"));
    QDir().mkpath(battery);
    Write(battery + QStringLiteral("/type"), "Battery\n");
    Write(battery + QStringLiteral("/cycle_count"), "130\n");
    qputenv("XDG_STATE_HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qputenv("DORVIK_POWER_SUPPLY_DIR", home.filePath(QStringLiteral("sys")).toLocal8Bit());

    std::vector<double> ms, cpuMs;
    long rss = 0;
    for (int round = 0; round < 15; ++round) {
        const Cost cost = RunOnce(DORVIK_PROGRAM);
        ms.push_back(cost.ms);
        cpuMs.push_back(cost.cpuMs);
        rss = std::max(rss, cost.maxRssKb);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    double load = 0;
    getloadavg(&load, 1);
    std::printf("dorvik --remind, nothing due, 20 records: median %.1f ms, worst %.1f ms over %zu runs (target < 100 ms); "
                "processor time median %.1f ms; load average %.1f\n",
                ms[ms.size() / 2], ms.back(), ms.size(), cpuMs[cpuMs.size() / 2], load);
    std::printf("dorvik --remind peak resident memory: %.1f MB (target < 30 MB)\n", rss / 1024.0);
    return 0;
}
