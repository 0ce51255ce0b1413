// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/burn_workers.h"

#include <QLoggingCategory>
#include <QThread>
#include <algorithm>
#include <cstdint>
#include <system_error>
#include <utility>

namespace platform {
namespace {

Q_LOGGING_CATEGORY(lcWorkers, "dorvik.workers")

// A few microseconds of integer arithmetic between two looks at the stop
// flag, far inside the millisecond a stop may wait for one worker.
constexpr int kStepsPerLook = 1 << 12;

void BurnUntilStopped(const std::atomic<bool>& stop, std::uint64_t seed)
{
    std::uint64_t x = seed | 1;
    while (!stop.load(std::memory_order_relaxed)) {
        for (int i = 0; i < kStepsPerLook; ++i) {
            x ^= x << 13;  // xorshift: cheap, and nothing a compiler can fold away
            x ^= x >> 7;
            x ^= x << 17;
        }
        // Hands the result to the compiler as if it were used, so the
        // arithmetic is not dead code.
        asm volatile("" : : "r"(x));
    }
}

}  // namespace

int ThreadBurnWorkers::DefaultCount()
{
    return std::max(0, QThread::idealThreadCount() - 1);
}

ThreadBurnWorkers::ThreadBurnWorkers(int count) : count_(std::max(0, count))
{
}

ThreadBurnWorkers::~ThreadBurnWorkers()
{
    Burn(0);
}

void ThreadBurnWorkers::Burn(int count)
{
    count = std::clamp(count, 0, count_);
    if (count == int(threads_.size()))
        return;
    if (Burning())
        Stop();
    if (count > 0) {
        stop_.store(false, std::memory_order_relaxed);
        try {
            for (int i = 0; i < count; ++i)
                threads_.emplace_back(BurnUntilStopped, std::cref(stop_), std::uint64_t(i) * 0x9E3779B97F4A7C15u + 1);
        } catch (const std::system_error& error) {
            // Fewer workers only drain the battery more slowly; said once,
            // as the run asks again at every pass.
            if (!std::exchange(warned_, true))
                qCWarning(lcWorkers, "only %d of %d worker threads started: %s", int(threads_.size()), count, error.what());
        }
        if (!threads_.empty())
            qCInfo(lcWorkers, "%d worker threads burning", int(threads_.size()));
    }
}

void ThreadBurnWorkers::Stop()
{
    stop_.store(true, std::memory_order_relaxed);
    for (std::thread& thread : threads_)
        thread.join();
    threads_.clear();
    qCInfo(lcWorkers, "worker threads stopped");
}

}  // namespace platform
