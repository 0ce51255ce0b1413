#pragma once

#include <QList>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "platform/platform.h"

// A platform for tests: a clock that Sleep and the pump advance instead of
// blocking, a pump that delivers due timer ticks and scripted actions,
// message boxes answered from a script and recorded.
class FakePlatform : public platform::Platform {
public:
    struct Box {
        QString text;
        int style;
        QString title;
        int answer;
        QString extraButton;
    };
    struct LaunchRecord {
        QString program;
        QStringList arguments;
    };

    explicit FakePlatform(QDateTime start = QDateTime(QDate(2026, 3, 7), QTime(10, 0, 0)));

    // Clock.
    qint64 ElapsedMs() const { return elapsedMs_; }
    QDateTime StartTime() const { return start_; }
    // Moves the clock without processing anything.
    void Advance(qint64 milliseconds) { elapsedMs_ += milliseconds; }
    // The idle event loop for a while: ticks and actions as they fall due.
    void RunIdle(qint64 milliseconds);
    // Simulated cost of one pump of a busy handler (keeps fast loops moving).
    qint64 pumpCostMs = 1;
    // A handler still pumping at this time is ended, so a wrong script fails
    // its test instead of hanging it.
    qint64 deadlineMs = 100LL * 3600 * 1000;
    bool deadlineHit = false;

    // Script: an action runs inside the first pump at or after the time.
    void At(qint64 elapsedMs, std::function<void()> action);
    // Runs inside every pump, after ticks and actions.
    std::function<void()> onPump;
    // Answers for the boxes to come, in order. Without one, an OK-only box
    // answers OK and any other box counts as unexpected and answers Cancel.
    void Answer(int answer) { answers_.push_back(answer); }
    void Answer(std::function<int(const Box&)> answerer) { answerers_.push_back(std::move(answerer)); }
    int unexpectedBoxes = 0;

    // Records.
    QList<Box> boxes;
    QList<LaunchRecord> launches;
    QList<int> sleeps;
    qint64 pumps = 0;
    bool endCalled = false;

    // The power options panel the machine has.
    std::optional<platform::CommandLine> panel = platform::CommandLine{QStringLiteral("power-panel"), {}};

    void Sleep(int milliseconds) override;
    std::unique_ptr<platform::IntervalTimer> CreateTimer(int intervalMs, std::function<void()> onTick) override;
    void Launch(const QString& program, const QStringList& arguments) override;
    std::optional<platform::CommandLine> PowerOptionsPanel() override { return panel; }
    QDateTime Now() override;
    qint64 SleptMs() override { return sleptMs; }
    void HoldAwake() override { awakeHeld = true; ++awakeHolds; }
    void ReleaseAwake() override { awakeHeld = false; }
    QStringList AwakeReport() override { return awakeReport; }

    // The machine sleeps: the wall clock moves on, nothing runs.
    void SystemSleep(qint64 milliseconds)
    {
        elapsedMs_ += milliseconds;
        sleptMs += milliseconds;
    }
    qint64 sleptMs = 0;
    bool awakeHeld = false;
    int awakeHolds = 0;
    QStringList awakeReport{QStringLiteral("logind idle: taken")};

protected:
    int ShowMessageBox(const QString& text, int style, const QString& title, const QString& extraButton) override;
    void PumpEvents() override;
    void OnEnd() override { endCalled = true; }

private:
    struct Timer;
    class TimerHandle;
    void DeliverDue();
    qint64 NextDue() const;

    QDateTime start_;
    qint64 elapsedMs_ = 0;
    std::multimap<qint64, std::function<void()>> actions_;
    std::deque<int> answers_;
    std::deque<std::function<int(const Box&)>> answerers_;
    std::vector<std::shared_ptr<Timer>> timers_;
};
