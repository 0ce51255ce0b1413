// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <thread>
#include <vector>

namespace platform {

// Threads that keep the processor's other hardware threads busy, so that a
// fast discharge drains the battery with every core and not just the
// window's. They only burn: no widget, no power source, no shared state
// but their stop flag.
class BurnWorkers {
public:
    virtual ~BurnWorkers() = default;
    // Runs `count` workers, at most Count(): 0 stops them all and returns
    // once they are gone. Setting the state in force does nothing.
    virtual void Burn(int count) = 0;
    void SetBurning(bool burning) { Burn(burning ? Count() : 0); }
    virtual bool Burning() const = 0;
    // The workers at full strength.
    virtual int Count() const = 0;
};

// The real pool: one std::thread per hardware thread but the window's,
// created on each start and joined on each stop, so no worker outlives a
// stop or the pool.
class ThreadBurnWorkers : public BurnWorkers {
public:
    // QThread::idealThreadCount() - 1: the window's loop keeps the last one busy.
    static int DefaultCount();

    explicit ThreadBurnWorkers(int count = DefaultCount());
    ~ThreadBurnWorkers() override;
    ThreadBurnWorkers(const ThreadBurnWorkers&) = delete;
    ThreadBurnWorkers& operator=(const ThreadBurnWorkers&) = delete;

    void Burn(int count) override;
    bool Burning() const override { return !threads_.empty(); }
    int Count() const override { return count_; }

private:
    void Stop();
    const int count_;
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
    bool warned_ = false;
};

}  // namespace platform
