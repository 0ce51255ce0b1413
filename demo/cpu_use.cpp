// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/cpu_use.h"

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace demo {

qint64 ProcessCpuMs()
{
#ifdef Q_OS_WIN
    FILETIME creation, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exited, &kernel, &user))
        return 0;
    const auto hundredNs = [](FILETIME t) {
        return (static_cast<qint64>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return (hundredNs(kernel) + hundredNs(user)) / 10'000;
#else
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    const auto ms = [](timeval t) { return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_usec / 1000; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
#endif
}

CpuUse::CpuUse(std::function<qint64()> wallMs, std::function<qint64()> cpuMs, qint64 windowMs)
    : wallMs_(std::move(wallMs)), cpuMs_(std::move(cpuMs)), windowMs_(windowMs)
{
}

void CpuUse::Sample()
{
    readings_.push_back({wallMs_(), cpuMs_()});
    // Keep the newest reading that is at least a window old as the base.
    while (readings_.size() > 2 && readings_.back().wallMs - readings_[1].wallMs >= windowMs_)
        readings_.pop_front();
}

double CpuUse::Processors(int processors) const
{
    if (readings_.size() < 2)
        return 0.0;
    const qint64 wall = readings_.back().wallMs - readings_.front().wallMs;
    const qint64 cpu = readings_.back().cpuMs - readings_.front().cpuMs;
    if (wall <= 0)
        return 0.0;
    return std::clamp(static_cast<double>(cpu) / static_cast<double>(wall), 0.0, double(std::max(1, processors)));
}

double DrawForCpuUse(double busy, int processors)
{
    const double others = processors > 1 ? std::clamp((busy - 1.0) / (processors - 1), 0.0, 1.0) : 0.0;
    return kIdleDrawW + kBusyProcessorDrawW * std::clamp(busy, 0.0, 1.0) + kOtherProcessorsDrawW * others;
}

}  // namespace demo
