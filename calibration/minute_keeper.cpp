// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/minute_keeper.h"

namespace calibration {

MinuteKeeper::MinuteKeeper(platform::Platform& platform, std::function<void()> work)
    : p_(platform), work_(std::move(work)), doneAtMs_(platform.AwakeMs()),
      timer_(platform.CreateTimer(kTickMs, [this] { Tick(); }))
{
}

MinuteKeeper::~MinuteKeeper() = default;

void MinuteKeeper::WorkDone()
{
    doneAtMs_ = p_.AwakeMs();
}

// The loop pumps once per pass and a pump delivers at most one tick, so two
// ticks without a pass between them mean the loop is held in a pump: only
// then does the timer stand in for it, and the loop's own rhythm, paced by
// the window's ticks, is left alone.
void MinuteKeeper::Tick()
{
    const bool held = !passedSinceTick_;
    passedSinceTick_ = false;
    // A tick early rather than a tick late: never more than a minute old.
    if (!held || working_ || p_.AwakeMs() - doneAtMs_ < kMinuteMs - kTickMs)
        return;
    working_ = true;
    // Runs inside whatever event loop the box keeps: End and untrapped
    // errors stop here, as they do where a handler is entered.
    try {
        try {
            work_();
            WorkDone();
        } catch (const platform::UntrappedError& error) {
            p_.ReportAndEnd(error);
        }
    } catch (const platform::EndRequested&) {
        // The application is ending; the pump the loop waits in unwinds it.
    }
    working_ = false;
}

}  // namespace calibration
