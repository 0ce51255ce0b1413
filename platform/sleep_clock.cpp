#include "platform/sleep_clock.h"

#include <algorithm>
#include <atomic>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <time.h>
#endif

namespace platform {
namespace {

#ifdef Q_OS_WIN
// The interrupt time without its bias leaves out sleep; the tick count keeps it.
qint64 SleptEstimate()
{
    ULONGLONG unbiased = 0;  // 100 ns units
    if (!QueryUnbiasedInterruptTime(&unbiased))
        return 0;
    return static_cast<qint64>(GetTickCount64()) - static_cast<qint64>(unbiased / 10000);
}
#else
qint64 Nanoseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<qint64>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The boot-time clock counts sleep and the monotonic clock does not. Reading
// the monotonic clock on both sides of the boot-time one keeps the time
// between the reads out of the difference.
qint64 SleptEstimate()
{
    const qint64 before = Nanoseconds(CLOCK_MONOTONIC);
    const qint64 boot = Nanoseconds(CLOCK_BOOTTIME);
    const qint64 after = Nanoseconds(CLOCK_MONOTONIC);
    return (boot - before / 2 - after / 2) / 1'000'000;
}
#endif

}  // namespace

qint64 SleptMsSinceBoot()
{
    // The two clocks tick apart by a little, so a reading can come out a
    // millisecond (on Windows a tick) low; the largest seen so far stands.
    static std::atomic<qint64> largest{0};
    const qint64 estimate = std::max<qint64>(SleptEstimate(), 0);
    qint64 seen = largest.load();
    while (estimate > seen && !largest.compare_exchange_weak(seen, estimate)) {
    }
    return std::max(seen, estimate);
}

}  // namespace platform
