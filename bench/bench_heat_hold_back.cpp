// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real calibration run on the Qt platform (offscreen) into a fast
// discharge with the real burn workers, then warms the battery past 40 °C
// and prints how soon the workers are held back, and how soon they are back
// at full strength once it cools under 37 °C.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "bench/full_battery_on_mains.h"
#include "bench/process_threads.h"
#include "app/frmMain.h"
#include "platform/burn_workers.h"
#include "platform/qt_platform.h"
#include "power/simulated_battery.h"

namespace {

using Clock = std::chrono::steady_clock;

// The simulated battery with a temperature the bench sets.
class WarmingBattery : public power::PowerStatusSource {
public:
    explicit WarmingBattery(power::PowerStatusSource& inner) : inner_(inner) {}
    int Query(SYSTEM_POWER_STATUS& status) override { return inner_.Query(status); }
    power::Temperatures ReadTemperatures() override { return {.batteryCelsius = celsius.load()}; }
    std::atomic<double> celsius{30};

private:
    power::PowerStatusSource& inner_;
};

// Milliseconds from now until the process runs `threads` threads.
double MsUntilThreads(int threads)
{
    const auto since = Clock::now();
    while (ThreadCount() != threads && Clock::now() - since < std::chrono::seconds(10))
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir directory;
    FullBatteryOnMains full;
    power::SimulatedBattery& battery = full.battery;
    WarmingBattery warming(battery);
    platform::QtPlatform qt([] {});
    frmMain window(qt, warming, directory.filePath(QStringLiteral("Dorvik.log")));
    window.Load();
    const int full_ = qt.Workers().Count();

    std::atomic<int> stage = 0;
    std::thread measure;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(box->button(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok)->click();
        if (stage == 0 && window.StatusText().startsWith(QStringLiteral("Please REMOVE"))) {
            battery.SetAcPlugged(false);
            stage = 1;
        } else if (stage == 1 && window.StatusText().startsWith(QStringLiteral("Start="))) {
            stage = 2;
            // Measured from its own thread while the run pumps on.
            // Counted with the measuring thread itself.
            measure = std::thread([&, fast = ThreadCount() + 1] {
                std::this_thread::sleep_for(std::chrono::seconds(2));
                warming.celsius = 40.5;
                const double held = MsUntilThreads(fast - (full_ - full_ / 2));
                std::this_thread::sleep_for(std::chrono::seconds(2));
                warming.celsius = 36.5;
                const double restored = MsUntilThreads(fast);
                std::printf("workers: %d at full strength, %d held back\n", full_, full_ / 2);
                std::printf("battery past 40 °C to the workers held back: %.1f ms (target <= 2000 ms)\n", held);
                std::printf("battery under 37 °C to full strength again: %.1f ms\n", restored);
                std::fflush(stdout);
                stage = 3;
            });
        } else if (stage == 3) {
            stage = 4;
            battery.SetAcPlugged(true);
        }
    });
    poll.start(5);
    window.Command1->click();
    if (measure.joinable())
        measure.join();
    return 0;
}
