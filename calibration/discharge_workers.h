// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/burn_workers.h"

namespace calibration {

// The burn workers as the discharge wants them: busy in fast mode only,
// from the discharge start until the adaptor is seen again, and never
// beyond the run, however it ends (the run owns this guard, so End's
// unwinding and an untrapped error stop them too).
class DischargeWorkers {
public:
    explicit DischargeWorkers(platform::BurnWorkers& workers) : workers_(workers) {}
    ~DischargeWorkers() { workers_.SetBurning(false); }
    DischargeWorkers(const DischargeWorkers&) = delete;
    DischargeWorkers& operator=(const DischargeWorkers&) = delete;

    // After each pump of the discharge, where the mode may have changed:
    // `count` workers in fast mode, as many as the heat allows.
    void Follow(bool fast, int count) { workers_.Burn(fast ? count : 0); }
    int Full() const { return workers_.Count(); }
    void Stop() { workers_.SetBurning(false); }

private:
    platform::BurnWorkers& workers_;
};

}  // namespace calibration
