// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fake_platform.h"

#include <limits>

class FakePlatform::TimerHandle : public platform::IntervalTimer {
public:
    TimerHandle(const qint64& now, std::shared_ptr<Timer> timer) : now_(now), timer_(std::move(timer)) {}
    ~TimerHandle() override { timer_->alive = false; }
    void SetInterval(int milliseconds) override { timer_->interval = milliseconds, timer_->nextDue = now_ + milliseconds; }

private:
    const qint64& now_;
    std::shared_ptr<Timer> timer_;
};

std::unique_ptr<platform::IntervalTimer> FakePlatform::CreateTimer(int intervalMs, std::function<void()> onTick)
{
    timers_.push_back(std::make_shared<Timer>(Timer{intervalMs, elapsedMs_ + intervalMs, std::move(onTick)}));
    return std::make_unique<TimerHandle>(elapsedMs_, timers_.back());
}

QDateTime FakePlatform::Now()
{
    if (onClockRead)
        onClockRead();
    const qint64 wallMs = elapsedMs_ + wallShiftMs;
    return start_.addMSecs(wallMs - (wallMs % 1000 + 1000) % 1000);
}

qint64 FakePlatform::SleptMs()
{
    if (onClockRead)
        onClockRead();
    return sleptMs;
}

qint64 FakePlatform::AwakeMs()
{
    if (onClockRead)
        onClockRead();
    return elapsedMs_ - sleptMs;
}

int FakePlatform::ShowMessageBox(const QString& text, int style, const QString& title, const QString& extraButton)
{
    Box box{text, style, title, platform::vbCancel, extraButton};
    if (!answerers_.empty()) {
        const auto answerer = std::move(answerers_.front());
        answerers_.pop_front();
        box.answer = answerer(box);
    } else if (!answers_.empty()) {
        box.answer = answers_.front();
        answers_.pop_front();
    } else if ((style & platform::kButtonSetMask) == platform::vbOKOnly) {
        box.answer = platform::vbOK;
    } else {
        ++unexpectedBoxes;
    }
    boxes.append(box);
    return box.answer;
}

void FakePlatform::PumpEvents()
{
    ++pumps;
    Advance(pumpCostMs);
    DeliverDue();
    if (onPump)
        onPump();
}

// One pass of the event loop: every due action, and at most one tick per
// timer however many intervals have passed (missed ticks are dropped).
void FakePlatform::DeliverDue()
{
    while (!actions_.empty() && actions_.begin()->first <= elapsedMs_) {
        const auto action = std::move(actions_.begin()->second);
        actions_.erase(actions_.begin());
        action();
    }
    for (const auto& timer : std::vector(timers_)) {
        if (timer->alive && timer->nextDue <= elapsedMs_) {
            timer->nextDue = elapsedMs_ + timer->interval;
            timer->onTick();
        }
    }
}

void FakePlatform::RunIdle(qint64 milliseconds)
{
    const qint64 end = elapsedMs_ + milliseconds;
    while (!HasEnded()) {
        qint64 next = actions_.empty() ? std::numeric_limits<qint64>::max() : actions_.begin()->first;
        for (const auto& timer : timers_)
            next = timer->alive ? std::min(next, timer->nextDue) : next;
        if (next > end)
            break;
        elapsedMs_ = std::max(elapsedMs_, next);
        DeliverDue();
    }
    elapsedMs_ = std::max(elapsedMs_, end);
}

namespace {

class FakeChoice : public platform::SideChoice {
public:
    explicit FakeChoice(std::shared_ptr<std::function<void()>> pressed) : pressed_(std::move(pressed)) {}
    ~FakeChoice() override { *pressed_ = {}; }

private:
    std::shared_ptr<std::function<void()>> pressed_;
};

}  // namespace

std::unique_ptr<platform::SideChoice> FakePlatform::OfferChoice(const QString& text, const QString& button,
                                                                std::function<void()> pressed)
{
    choicesOffered.append(text + QStringLiteral(" [") + button + QLatin1Char(']'));
    choicePressed_ = std::make_shared<std::function<void()>>(std::move(pressed));
    return std::make_unique<FakeChoice>(choicePressed_);
}

bool FakePlatform::PressChoice()
{
    if (!choicePressed_ || !*choicePressed_)
        return false;
    (*choicePressed_)();
    return true;
}
