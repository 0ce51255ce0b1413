// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sleep_clock.h"

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <time.h>
#endif

namespace platform {
namespace {

#ifdef Q_OS_WIN
// The interrupt time without its bias leaves out sleep; the tick count keeps
// it. Reading the tick count first keeps the estimate from running ahead of
// the truth by more than the rounding to milliseconds.
qint64 SleptEstimate()
{
    const qint64 ticks = static_cast<qint64>(GetTickCount64());
    ULONGLONG unbiased = 0;  // 100 ns units
    if (!QueryUnbiasedInterruptTime(&unbiased))
        return 0;
    return ticks - static_cast<qint64>(unbiased / 10000);
}
#else
qint64 Nanoseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<qint64>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The boot-time clock counts sleep and the monotonic clock does not. With
// the monotonic clock read after the boot-time one, their difference is at
// or below the truth; the closest of a few tries leaves out most of any
// preemption between the reads.
qint64 SleptEstimate()
{
    qint64 best = 0;
    qint64 narrowest = -1;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const qint64 before = Nanoseconds(CLOCK_MONOTONIC);
        const qint64 boot = Nanoseconds(CLOCK_BOOTTIME);
        const qint64 after = Nanoseconds(CLOCK_MONOTONIC);
        if (narrowest < 0 || after - before < narrowest) {
            narrowest = after - before;
            best = boot - after;
        }
    }
    return best / 1'000'000;
}
#endif

}  // namespace

qint64 SleptMsSinceBoot()
{
    // An estimate never overshoots but may fall a little short (on Windows
    // by up to a tick), so the largest seen so far stands. Only the window's
    // thread asks.
    static qint64 largest = 0;
    largest = std::max(largest, SleptEstimate());
    return largest;
}

qint64 AwakeMsSinceBoot()
{
#ifdef Q_OS_WIN
    ULONGLONG unbiased = 0;  // 100 ns units, without the time spent asleep
    QueryUnbiasedInterruptTime(&unbiased);
    return static_cast<qint64>(unbiased / 10000);
#else
    return Nanoseconds(CLOCK_MONOTONIC) / 1'000'000;
#endif
}

}  // namespace platform
