// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real calibration run on the Qt platform (offscreen) through to
// its discharge loop, and prints what the fast and slow modes cost: status
// passes per second, CPU use in cores and as a share of the hardware
// threads, the delay from a posted click to its handler, resident memory
// across a million passes, how soon the burn workers are gone after a
// switch to slow, a replug and an Exit, and the thread count after the run.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include "bench/full_battery_on_mains.h"
#include "bench/process_threads.h"
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

// Per thread, the nanoseconds it ran or waited to run (/proc schedstat):
// what the process asked of the processors, whatever other load got them.
std::map<std::string, double> RunnableNs()
{
    std::map<std::string, double> result;
    DIR* tasks = opendir("/proc/self/task");
    while (const dirent* entry = tasks ? readdir(tasks) : nullptr) {
        std::ifstream stat(std::string("/proc/self/task/") + entry->d_name + "/schedstat");
        double run = 0, wait = 0;
        if (entry->d_name[0] != '.' && stat >> run >> wait)
            result[entry->d_name] = run + wait;
    }
    if (tasks)
        closedir(tasks);
    return result;
}

double RunnableSecondsSince(const std::map<std::string, double>& before)
{
    double ns = 0;
    for (const auto& [tid, now] : RunnableNs())
        ns += now - (before.count(tid) ? before.at(tid) : 0.0);
    return ns / 1e9;
}

// Watches, from a thread of its own, how long after a moment the process
// takes to get back to a thread count (its own thread not counted).
class StopWatch {
public:
    void Start(int threads)
    {
        Join();
        done_ = false;
        watcher_ = std::thread([this, threads, since = std::chrono::steady_clock::now()] {
            while (ThreadCount() - 1 > threads)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            ms_ = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
            done_ = true;
        });
    }
    bool Done() const { return done_; }
    double Join()
    {
        if (watcher_.joinable())
            watcher_.join();
        return ms_;
    }
    ~StopWatch() { Join(); }

private:
    std::thread watcher_;
    std::atomic<bool> done_{false};
    double ms_ = -1;
};

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
    // exitRun: a short run that the user ends with Exit after a few
    // seconds of fast discharge.
    Driver(frmMain& window, power::SimulatedBattery& battery, CountingSource& counter, bool exitRun = false)
        : w_(window), battery_(battery), counter_(counter), exitRun_(exitRun)
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
                threadsBefore = ThreadCount();
                battery_.SetAcPlugged(false);
                stage_ = 1;
            }
            break;
        case 1:  // discharge running: measure fast mode for 10 s
            if (w_.StatusText().startsWith(QStringLiteral("Start="))) {
                BeginWindow();
                stage_ = exitRun_ ? 10 : 2;
            }
            break;
        case 2:
            if (clock_.elapsed() >= 10000) {
                EndWindow("fast");
                std::printf("threads: %d before the discharge, %d in fast discharge\n", threadsBefore, ThreadCount());
                stopWatch_.Start(threadsBefore);
                w_.cmdFast->click();
                BeginWindow();
                stage_ = 3;
            }
            break;
        case 3:
            if (clock_.elapsed() >= 10000) {
                std::printf("workers gone after a switch to slow: %.1f ms\n", stopWatch_.Join());
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
        case 5:  // a million passes, then a replug outside the log passes'
                 // second, which does not look at the adaptor
            if (counter_.queries - passesAtStart_ >= 1000000 && w_.Seconds % 60 > 5 && w_.Seconds % 60 < 50) {
                const long rssAfter = ResidentKiB();
                std::printf("a million fast passes: %.1f s; resident memory %ld KiB before, %ld KiB after (growth %ld KiB)\n",
                            clock_.elapsed() / 1000.0, rssBefore_, rssAfter, rssAfter - rssBefore_);
                stopWatch_.Start(threadsBefore);
                battery_.SetAcPlugged(true);
                stage_ = 6;
            }
            break;
        case 6:
            if (stopWatch_.Done()) {
                std::printf("workers gone after a replug: %.1f ms\n", stopWatch_.Join());
                stage_ = 7;
            }
            break;
        case 10:  // a few seconds of fast discharge, then Exit
            if (clock_.elapsed() >= 3000) {
                stage_ = 11;
                stopWatch_.Start(threadsBefore);
                w_.cmdExit->click();
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
        runnableAtStart_ = RunnableNs();
        passesAtStart_ = counter_.queries;
    }

    void EndWindow(const char* mode)
    {
        const double wall = clock_.elapsed() / 1000.0;
        const double cores = (CpuSeconds() - cpuAtStart_) / wall;
        const int threads = QThread::idealThreadCount();
        const double asked = RunnableSecondsSince(runnableAtStart_) / wall;
        std::printf("%s discharge: %.0f status passes per second, CPU %.3f cores, %.3f of the %d hardware threads, "
                    "over %.1f s; running or ready to run: %.3f cores, %.3f of them (the rest went to other load)\n",
                    mode, double(counter_.queries - passesAtStart_) / wall, cores, cores / threads, threads, wall, asked,
                    asked / threads);
        std::fflush(stdout);
    }

    frmMain& w_;
    power::SimulatedBattery& battery_;
    CountingSource& counter_;
    QTimer poll_;
    const bool exitRun_;
    int stage_ = 0;
    StopWatch stopWatch_;
    QElapsedTimer clock_;
    QElapsedTimer clickClock_;
    QElapsedTimer latencyClock_;
    QElapsedTimer sinceClick_;
    bool clickPending_ = false;
    std::vector<double> latencies_;
    double cpuAtStart_ = 0;
    std::map<std::string, double> runnableAtStart_;
    qint64 passesAtStart_ = 0;
    long rssBefore_ = 0;

public:
    int threadsBefore = -1;
    double ExitStopMs() { return stopWatch_.Join(); }
};

// One run on a battery full on mains, driven by a Driver; returns when
// the run does.
void RunOnce(const QString& logPath, bool exitRun)
{
    FullBatteryOnMains full;
    power::SimulatedBattery& battery = full.battery;
    CountingSource counter(battery);

    platform::QtPlatform qt([] {});
    frmMain window(qt, counter, logPath);
    window.Load();
    Driver driver(window, battery, counter, exitRun);
    window.Command1->click();
    if (exitRun) {
        const double stopMs = driver.ExitStopMs();  // its watcher gone first
        std::printf("workers gone after Exit: %.1f ms; threads: %d before the discharge, %d after the run\n",
                    stopMs, driver.threadsBefore, ThreadCount());
    } else {
        std::printf("run ended after %lld status reads; threads: %d before the discharge, %d after the run\n",
                    static_cast<long long>(counter.queries), driver.threadsBefore, ThreadCount());
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir directory;
    RunOnce(directory.filePath(QStringLiteral("Dorvik.log")), false);
    RunOnce(directory.filePath(QStringLiteral("Dorvik-exit.log")), true);
    return 0;
}
