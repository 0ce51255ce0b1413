// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "platform/platform.h"
#include "support/fake_burn_workers.h"
#include "support/fake_charge_control.h"

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

    explicit FakePlatform(QDateTime start = QDateTime(QDate(2026, 3, 7), QTime(10, 0, 0))) : start_(std::move(start)) {}

    qint64 ElapsedMs() const { return elapsedMs_; }
    QDateTime StartTime() const { return start_; }
    // Moves the clock without processing anything.
    void Advance(qint64 milliseconds) { elapsedMs_ += milliseconds; }
    // The idle event loop for a while: ticks and actions as they fall due.
    void RunIdle(qint64 milliseconds);
    // The machine sleeps: the wall clock moves on, the awake clock does
    // not, nothing runs.
    void SystemSleep(qint64 milliseconds) { elapsedMs_ += milliseconds, sleptMs += milliseconds; }
    // Script: an action runs inside the first pump at or after the time.
    void At(qint64 elapsedMs, std::function<void()> action) { actions_.emplace(elapsedMs, std::move(action)); }
    // Answers for the boxes to come, in order. Without one, an OK-only box
    // answers OK and any other box counts as unexpected and answers Cancel.
    void Answer(int answer) { answers_.push_back(answer); }
    void Answer(std::function<int(const Box&)> answerer) { answerers_.push_back(std::move(answerer)); }

    qint64 pumpCostMs = 1;  // simulated cost of one pump, keeps busy loops moving
    std::function<void()> onPump;  // runs inside every pump, after ticks and actions
    std::function<void()> onClockRead;  // runs inside every clock read, before it reads
    qint64 wallShiftMs = 0;  // the wall clock set forward (or back, below 0) by the user
    std::optional<platform::CommandLine> panel = platform::CommandLine{QStringLiteral("power-panel"), {}};
    QList<storage::LockLine> awakeLocks{{QStringLiteral("logind idle"), storage::LockState::Taken, {}}};
    // Records.
    QList<Box> boxes;
    QList<LaunchRecord> launches;
    QList<int> sleeps;
    QList<platform::DesktopNotice> notices;
    QList<platform::TaskbarProgress> progress;
    int unexpectedBoxes = 0;
    qint64 pumps = 0, sleptMs = 0;
    bool endCalled = false, awakeHeld = false;
    int awakeHolds = 0, noticesWithdrawn = 0;
    FakeBurnWorkers workers{[this] { return elapsedMs_; }};
    FakeChargeControl charging = NoChargeOffers();

    void Sleep(int milliseconds) override { sleeps.append(milliseconds), Advance(milliseconds); }
    std::unique_ptr<platform::IntervalTimer> CreateTimer(int intervalMs, std::function<void()> onTick) override;
    void Launch(const QString& program, const QStringList& arguments) override { launches.append({program, arguments}); }
    std::optional<platform::CommandLine> PowerOptionsPanel() override { return panel; }
    platform::BurnWorkers& Workers() override { return workers; }
    platform::ChargeControl& Charging() override { return charging; }
    std::unique_ptr<platform::SideChoice> OfferChoice(const QString& text, const QString& button,
                                                      std::function<void()> pressed) override;
    // The choices offered, and the press of the one still shown.
    QStringList choicesOffered;
    bool PressChoice();
    QDateTime Now() override;
    qint64 SleptMs() override;
    qint64 AwakeMs() override;
    void HoldAwake() override { awakeHeld = true, ++awakeHolds; }
    void ReleaseAwake() override { awakeHeld = false; }
    QList<storage::LockLine> AwakeLocks() override { return awakeLocks; }
    bool AwakeSettled() override { return storage::AllAnswered(awakeLocks); }

protected:
    int ShowMessageBox(const QString& text, int style, const QString& title, const QString& extraButton) override;
    void PumpEvents() override;
    void OnEnd() override { endCalled = true; }
    void SendNotice(const platform::DesktopNotice& notice) override { notices.append(notice); }
    void SendProgress(const platform::TaskbarProgress& shown) override { progress.append(shown); }
    void WithdrawNotice() override { ++noticesWithdrawn; }

public:
    bool ClickNotice() { return NoticeClicked(); }

private:
    // Most runs meet a battery that offers nothing, as most machines do.
    static FakeChargeControl NoChargeOffers()
    {
        FakeChargeControl none;
        none.offers.clear();
        return none;
    }
    struct Timer {
        qint64 interval, nextDue;
        std::function<void()> onTick;
        bool alive = true;
    };
    class TimerHandle;
    void DeliverDue();

    QDateTime start_;
    qint64 elapsedMs_ = 0;
    std::multimap<qint64, std::function<void()>> actions_;
    std::deque<int> answers_;
    std::deque<std::function<int(const Box&)>> answerers_;
    std::vector<std::shared_ptr<Timer>> timers_;
    std::shared_ptr<std::function<void()>> choicePressed_;
};
