// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <functional>

namespace demo {

// Milliseconds of the machine's awake clock since the process started: it
// stops while the machine sleeps.
qint64 MonotonicMs();

// The simulated battery's clock: it runs `factor` times as fast as the real
// one. A new factor applies from the moment it is set, so the time neither
// jumps nor goes back when the lapse changes.
class ScaledClock {
public:
    explicit ScaledClock(std::function<qint64()> realMs = MonotonicMs);

    void SetFactor(int factor);
    int Factor() const { return factor_; }
    qint64 NowMs() const;

private:
    qint64 ScaledAt(qint64 realMs) const;

    std::function<qint64()> realMs_;
    qint64 realAtChange_;
    qint64 scaledAtChange_ = 0;
    int factor_ = 1;
};

}  // namespace demo
