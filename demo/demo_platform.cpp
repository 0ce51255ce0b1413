// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/demo_platform.h"

#include <QTimer>
#include <algorithm>

#include "storage/date_text.h"
#include "report/run_record.h"
#include "storage/run_liveness.h"

namespace demo {
namespace {

// A real timer whose interval is the simulated one shortened by the lapse
// in force at each tick.
class ScaledTimer : public platform::IntervalTimer {
public:
    ScaledTimer(const ScaledClock& clock, int intervalMs, std::function<void()> onTick)
        : clock_(clock), intervalMs_(intervalMs)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, onTick = std::move(onTick)] {
            timer_.setInterval(RealInterval());
            onTick();
        });
        timer_.start(RealInterval());
    }
    void SetInterval(int milliseconds) override
    {
        intervalMs_ = milliseconds;
        timer_.setInterval(RealInterval());
    }

private:
    int RealInterval() const { return std::max(1, intervalMs_ / clock_.Factor()); }

    const ScaledClock& clock_;
    int intervalMs_;
    QTimer timer_;
};

}  // namespace

DemoPlatform::DemoPlatform(ScaledClock& clock, std::function<void()> quit, const QDateTime& wallStart)
    : QtPlatform(std::move(quit)), clock_(clock), start_(wallStart.addMSecs(-clock.NowMs()))
{
}

QDateTime SimulatedStart(const QString& runRecordDirectory, const QDateTime& now)
{
    QDateTime latest = now;
    for (const report::RunRecord& run : report::ReadRunRecords(runRecordDirectory).runs) {
        const QDateTime last = run.samples.isEmpty() ? run.facts.start : run.samples.last().time;
        latest = std::max(latest, last.addSecs(60));
    }
    return latest.toLocalTime();
}

QDateTime DemoPlatform::Now()
{
    return storage::WholeSeconds(start_.addMSecs(clock_.NowMs()));
}

// The run's minutes follow the lapse too; the scaled clock already stops
// while the machine sleeps.
qint64 DemoPlatform::AwakeMs()
{
    return clock_.NowMs();
}

void DemoPlatform::Sleep(int milliseconds)
{
    QtPlatform::Sleep(std::max(1, milliseconds / clock_.Factor()));
}

std::unique_ptr<platform::IntervalTimer> DemoPlatform::CreateTimer(int intervalMs, std::function<void()> onTick)
{
    return std::make_unique<ScaledTimer>(clock_, intervalMs, std::move(onTick));
}

QString DemoPlatform::BootId()
{
    return storage::SimulatedBootId(bootDirectory_);
}

}  // namespace demo
