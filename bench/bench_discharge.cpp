// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real calibration run on the Qt platform (offscreen) through to
// its discharge loop, and prints what the fast and slow modes cost: status
// passes per second, CPU share of one core, the delay from a posted click
// to its handler, and resident memory across a million passes.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <vector>

#include "app/frmMain.h"
#include "platform/qt_platform.h"
#include "power/simulated_battery.h"

namespace {

// Counts status passes: every pass of the discharge loop reads the status once.
class CountingSource : public power::PowerStatusSource {
public:
    explicit CountingSource(power::PowerStatusSource& inner) : inner_(inner) {}
    int Query(SYSTEM_POWER_STATUS& status) override
    {
        ++queries;
        return inner_.Query(status);
    }
    qint64 queries = 0;

private:
    power::PowerStatusSource& inner_;
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    return -1;
}

void PostClick(QWidget* button)
{
    const QPointF at(button->width() / 2.0, button->height() / 2.0);
    const QPointF global = button->mapToGlobal(at);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(button, new QMouseEvent(type, at, global, Qt::LeftButton,
                                                            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                                            Qt::NoModifier));
}

double Percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(share * double(values.size())))];
}

// Drives the run from inside its own pumps, one step after another.
class Driver : public QObject {
public:
    Driver(frmMain& window, power::SimulatedBattery& battery, CountingSource& counter)
        : w_(window), battery_(battery), counter_(counter)
    {
        connect(&poll_, &QTimer::timeout, this, [this] { Step(); });
        poll_.start(5);
        connect(w_.cmdFast, &QPushButton::clicked, this, [this] { OnModeClick(); });
        sinceClick_.start();
    }

private:
    void AnswerBoxes()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        box->button(box->button(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok)->click();
    }

    void Step()
    {
        AnswerBoxes();
        switch (stage_) {
        case 0:  // wait for the unplug request, then unplug
            if (w_.StatusText().startsWith(QStringLiteral("Please REMOVE"))) {
                battery_.SetAcPlugged(false);
                stage_ = 1;
            }
            break;
        case 1:  // discharge running: measure fast mode for 10 s
            if (w_.StatusText().startsWith(QStringLiteral("Start="))) {
                BeginWindow();
                stage_ = 2;
            }
            break;
        case 2:
            if (clock_.elapsed() >= 10000) {
                EndWindow("fast");
                w_.cmdFast->click();
                BeginWindow();
                stage_ = 3;
            }
            break;
        case 3:
            if (clock_.elapsed() >= 10000) {
                EndWindow("slow");
                w_.cmdFast->click();
                stage_ = 4;
            }
            break;
        case 4:  // click latency in fast mode, over more than a minute so
                 // that the sampled time includes the log writes' pauses
            if (!latencyClock_.isValid())
                latencyClock_.start();
            if (latencyClock_.elapsed() >= 65000 && !clickPending_) {
                const auto slow = std::count_if(latencies_.begin(), latencies_.end(), [](double ms) { return ms > 20; });
                std::printf("click to handler in fast discharge: median %.2f ms, p99 %.2f ms, max %.1f ms "
                            "(%zu clicks, %ld over 20 ms)\n",
                            Percentile(latencies_, 0.5), Percentile(latencies_, 0.99),
                            *std::max_element(latencies_.begin(), latencies_.end()), latencies_.size(), long(slow));
                std::fflush(stdout);
                stage_ = 5;
                rssBefore_ = ResidentKiB();
                passesAtStart_ = counter_.queries;
                clock_.start();
            } else if (!clickPending_ && w_.Fast == 1 && sinceClick_.elapsed() >= 40) {
                clickPending_ = true;
                clickClock_.start();
                PostClick(w_.cmdFast);
                PostClick(w_.cmdFast);
            }
            break;
        case 5:  // a million passes
            if (counter_.queries - passesAtStart_ >= 1000000) {
                const long rssAfter = ResidentKiB();
                std::printf("a million fast passes: %.1f s; resident memory %ld KiB before, %ld KiB after (growth %ld KiB)\n",
                            clock_.elapsed() / 1000.0, rssBefore_, rssAfter, rssAfter - rssBefore_);
                battery_.SetAcPlugged(true);
                stage_ = 6;
            }
            break;
        default:
            break;
        }
    }

    void OnModeClick()
    {
        if (stage_ == 4 && clickPending_ && w_.Fast == 0) {
            latencies_.push_back(clickClock_.nsecsElapsed() / 1e6);
            clickPending_ = false;
            sinceClick_.start();
        }
    }

    void BeginWindow()
    {
        clock_.start();
        cpuAtStart_ = CpuSeconds();
        passesAtStart_ = counter_.queries;
    }

    void EndWindow(const char* mode)
    {
        const double wall = clock_.elapsed() / 1000.0;
        std::printf("%s discharge: %.0f status passes per second, CPU %.3f of one core over %.1f s\n", mode,
                    double(counter_.queries - passesAtStart_) / wall, (CpuSeconds() - cpuAtStart_) / wall, wall);
        std::fflush(stdout);
    }

    frmMain& w_;
    power::SimulatedBattery& battery_;
    CountingSource& counter_;
    QTimer poll_;
    int stage_ = 0;
    QElapsedTimer clock_;
    QElapsedTimer clickClock_;
    QElapsedTimer latencyClock_;
    QElapsedTimer sinceClick_;
    bool clickPending_ = false;
    std::vector<double> latencies_;
    double cpuAtStart_ = 0;
    qint64 passesAtStart_ = 0;
    long rssBefore_ = 0;
};

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir directory;

    QElapsedTimer simulated;
    simulated.start();
    qint64 skipped = 0;
    power::SimulatedBattery battery([&] { return simulated.elapsed() + skipped; });
    battery.SetAcPlugged(true);
    battery.SetChargePercent(100);
    SYSTEM_POWER_STATUS full{};
    battery.Query(full);
    skipped = power::SimulatedBattery::kTrickleMs + 1000;  // the top-up at 100 is over
    CountingSource counter(battery);

    platform::QtPlatform qt([] {});
    frmMain window(qt, counter, directory.filePath(QStringLiteral("Dorvik.log")));
    window.Load();
    Driver driver(window, battery, counter);
    window.Command1->click();
    std::printf("run ended after %lld status reads\n", static_cast<long long>(counter.queries));
    return 0;
}
