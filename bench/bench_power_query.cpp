// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of one power status query, which the fast discharge loop makes on
// every pass. Prints microseconds per call for fixture trees and this
// machine's own /sys/class/power_supply.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "power/linux_power_source.h"
#include "support/power_supply_tree.h"

namespace {

constexpr int kCalls = 20000;

void Measure(const char* label, const QString& directory)
{
    power::LinuxPowerSource source(directory);
    SYSTEM_POWER_STATUS status{};
    int succeeded = 0;
    for (int i = 0; i < kCalls / 10; ++i)  // warm the caches
        succeeded += source.Query(status);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kCalls; ++i)
        succeeded += source.Query(status);
    const double microseconds = static_cast<double>(timer.nsecsElapsed()) / 1000.0 / kCalls;
    std::printf("%-36s %8.2f us/query  (%s; ac %d flag %d percent %d remaining %d full %d)\n", label, microseconds,
                succeeded > 0 ? "ok" : "failed", status.ACLineStatus, status.BatteryFlag, status.BatteryLifePercent,
                status.BatteryLifeTime, status.BatteryFullLifeTime);
}

// The floor under a query: one attribute file opened, read and closed.
void MeasureOneAttributeRead(const QString& file)
{
    const QByteArray path = QFile::encodeName(file);
    char buffer[65];
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kCalls; ++i) {
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            [[maybe_unused]] const ssize_t size = ::read(fd, buffer, sizeof buffer);
            ::close(fd);
        }
    }
    std::printf("%-36s %8.2f us/read   (one attribute, for scale)\n", "open+read+close of one file",
                static_cast<double>(timer.nsecsElapsed()) / 1000.0 / kCalls);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QTemporaryDir root;
    if (!root.isValid()) {
        std::fprintf(stderr, "cannot create a temporary directory\n");
        return 1;
    }
    std::printf("%d queries each\n", kCalls);
    const QString f2 = power_supply_tree::Build(root.filePath("f2"), power_supply_tree::ChargeUnitsDischarging());
    MeasureOneAttributeRead(f2 + "/BAT0/status");
    Measure("F2 charge units, discharging", f2);
    Measure("F4 two batteries, on battery", power_supply_tree::Build(root.filePath("f4"), power_supply_tree::TwoBatteriesSecondDrained()));
    Measure("/sys/class/power_supply", QStringLiteral("/sys/class/power_supply"));
    return 0;
}
