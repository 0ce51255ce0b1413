// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

#include "platform/platform.h"

namespace calibration {

// Keeps the discharge's minute going while its loop is held inside a pump.
// A nested handler's modal box (status, help, View Result) stops the loop
// for as long as it stays open, but timers go on ticking inside the box, so
// a timer does the minute's work the loop would have done: the log and the
// record are never more than about a minute old, whatever box is open.
class MinuteKeeper {
public:
    static constexpr int kTickMs = 1000;
    static constexpr qint64 kMinuteMs = 60 * 1000;

    // work: the minute's log write and sample, from the run's own state.
    // Time is measured on the platform's awake clock, so a suspend causes
    // no burst of catching up.
    MinuteKeeper(platform::Platform& platform, std::function<void()> work);
    ~MinuteKeeper();
    MinuteKeeper(const MinuteKeeper&) = delete;
    MinuteKeeper& operator=(const MinuteKeeper&) = delete;

    // The loop reached the top of a pass.
    void LoopPassed() { passedSinceTick_ = true; }
    // The loop did the minute's work itself.
    void WorkDone();

private:
    void Tick();

    platform::Platform& p_;
    std::function<void()> work_;
    qint64 doneAtMs_;
    bool passedSinceTick_ = true;
    bool working_ = false;
    std::unique_ptr<platform::IntervalTimer> timer_;
};

}  // namespace calibration
