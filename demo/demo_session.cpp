// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/demo_session.h"

#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <cstdlib>

#include "storage/run_liveness.h"

namespace demo {

void SwitchOffNow()
{
    std::_Exit(0);
}

DemoSession::DemoSession(QString resultLogPath, QString runRecordDirectory, std::function<void()> quit,
                         std::function<void()> switchOff)
    : cpu_(MonotonicMs, ProcessCpuMs),
      battery_([this] { return clock_.NowMs(); }),
      platform_(clock_, std::move(quit), SimulatedStart(runRecordDirectory, QDateTime::currentDateTime())),
      window_(platform_, battery_, std::move(resultLogPath), runRecordDirectory),
      simulator_(battery_, clock_),
      switchOff_(switchOff ? std::move(switchOff) : [] { SwitchOffNow(); })
{
    platform_.SetCharging(&charging_);
    platform_.SetBootDirectory(runRecordDirectory);
    recordDirectory_ = std::move(runRecordDirectory);
    battery_.SetCapacityWh(kCapacityWh);
    battery_.SetChargeRateW(kChargeRateW);
    battery_.SetDrawHook([this] {
        const int processors = QThread::idealThreadCount();
        return DrawForCpuUse(cpu_.Processors(processors), processors);
    });
    cpu_.Sample();
    // A click on a notice brings the window forward, as in dorvik.
    platform_.OnNoticeActivated([this] {
        window_.showNormal();
        window_.raise();
        window_.activateWindow();
    });
    QObject::connect(&simulator_, &BatterySimulatorWindow::closed, [this] { platform_.RequestEnd(); });
    // A timer, so that the machine also dies while the calibration run pumps.
    QObject::connect(&refresh_, &QTimer::timeout, [this] { Refresh(); });
    refresh_.start(kRefreshMs);
}

void DemoSession::Start()
{
    PlaceWindows();
    window_.Load();
    if (!platform_.HasEnded())
        simulator_.show();
}

void DemoSession::Refresh()
{
    cpu_.Sample();
    simulator_.Refresh();
    if (!switchedOff_ && !simulator_.AcPlugged() && battery_.SwitchedOff()) {
        switchedOff_ = true;
        storage::EndSimulatedBoot(recordDirectory_);
        switchOff_();
    }
}

// Side by side, the pair centred on the screen.
void DemoSession::PlaceWindows()
{
    constexpr int kGap = 24;
    simulator_.adjustSize();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int width = window_.width() + kGap + simulator_.width();
    const int left = area.left() + std::max(0, (area.width() - width) / 2);
    const int top = area.top() + std::max(0, (area.height() - window_.height()) / 3);
    window_.move(left, top);
    simulator_.move(left + window_.width() + kGap, top);
}

}  // namespace demo
