// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

#include "demo/scaled_clock.h"
#include "platform/qt_platform.h"

namespace demo {

// The Qt platform on the demo's time lapse: the clock, the window's timer
// and the run's sleeps all follow the simulated battery's clock, so that a
// demo run shows the minutes, the log and the record of the battery's
// simulated life, not of the few real minutes it took.
class DemoPlatform : public platform::QtPlatform {
public:
    // wallStart: the simulated wall clock's time as the scaled clock reads 0.
    DemoPlatform(ScaledClock& clock, std::function<void()> quit,
                 const QDateTime& wallStart = QDateTime::currentDateTime());

    // The simulated machine's power helper, in place of the system's.
    void SetCharging(platform::ChargeControl* charging) { charging_ = charging; }
    platform::ChargeControl& Charging() override { return charging_ ? *charging_ : QtPlatform::Charging(); }

    QDateTime Now() override;
    qint64 AwakeMs() override;
    void Sleep(int milliseconds) override;
    std::unique_ptr<platform::IntervalTimer> CreateTimer(int intervalMs, std::function<void()> onTick) override;
    // The real boot and the simulated machine's switch-offs counted in the
    // records' folder: a run it switched off reads as switched off, a killed
    // demo as killed.
    QString BootId() override;
    void SetBootDirectory(const QString& directory) { bootDirectory_ = directory; }

private:
    ScaledClock& clock_;
    const QDateTime start_;
    platform::ChargeControl* charging_ = nullptr;
    QString bootDirectory_;
};

// Where a launch's simulated wall clock starts: at `now`, or, when an earlier
// launch's lapse ran ahead of it, a minute after the latest time recorded in
// the demo's run records, so that its runs follow one another in time.
QDateTime SimulatedStart(const QString& runRecordDirectory, const QDateTime& now);

}  // namespace demo
