// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <deque>
#include <functional>

namespace demo {

// Processor time this process has used, user and system, in milliseconds.
qint64 ProcessCpuMs();

// How many processors' worth of time the process used over the last few
// seconds, from samples that the caller takes regularly.
class CpuUse {
public:
    CpuUse(std::function<qint64()> wallMs, std::function<qint64()> cpuMs, qint64 windowMs = 3000);

    void Sample();
    // 0 (idle) to `processors` (every processor busy all the time).
    double Processors(int processors) const;

private:
    struct Reading {
        qint64 wallMs;
        qint64 cpuMs;
    };
    std::function<qint64()> wallMs_;
    std::function<qint64()> cpuMs_;
    qint64 windowMs_;
    std::deque<Reading> readings_;
};

// A notebook's draw: the idle machine's, plus what one busy processor adds,
// plus as much again when all the others are busy too (the first core
// wakes the package, the others only add their own share).
inline constexpr double kIdleDrawW = 6.0;
inline constexpr double kBusyProcessorDrawW = 24.0;
inline constexpr double kOtherProcessorsDrawW = 24.0;
double DrawForCpuUse(double busy, int processors);

}  // namespace demo
