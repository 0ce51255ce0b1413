// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/scaled_clock.h"

#include <algorithm>

#include "platform/sleep_clock.h"

namespace demo {

qint64 MonotonicMs()
{
    static const qint64 started = platform::AwakeMsSinceBoot();
    return platform::AwakeMsSinceBoot() - started;
}

ScaledClock::ScaledClock(std::function<qint64()> realMs)
    : realMs_(std::move(realMs)), realAtChange_(realMs_())
{
}

void ScaledClock::SetFactor(int factor)
{
    const qint64 real = realMs_();
    scaledAtChange_ = ScaledAt(real);
    realAtChange_ = real;
    factor_ = std::max(1, factor);
}

qint64 ScaledClock::NowMs() const
{
    return ScaledAt(realMs_());
}

qint64 ScaledClock::ScaledAt(qint64 realMs) const
{
    return scaledAtChange_ + std::max<qint64>(0, realMs - realAtChange_) * factor_;
}

}  // namespace demo
