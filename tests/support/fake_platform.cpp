#include "support/fake_platform.h"

#include <limits>

struct FakePlatform::Timer {
    qint64 interval;
    qint64 nextDue;
    std::function<void()> onTick;
    bool alive = true;
};

class FakePlatform::TimerHandle : public platform::IntervalTimer {
public:
    TimerHandle(FakePlatform& owner, std::shared_ptr<Timer> timer) : owner_(owner), timer_(std::move(timer)) {}
    ~TimerHandle() override { timer_->alive = false; }
    void SetInterval(int milliseconds) override
    {
        timer_->interval = milliseconds;
        timer_->nextDue = owner_.ElapsedMs() + milliseconds;
    }

private:
    FakePlatform& owner_;
    std::shared_ptr<Timer> timer_;
};

FakePlatform::FakePlatform(QDateTime start) : start_(std::move(start)) {}

void FakePlatform::At(qint64 elapsedMs, std::function<void()> action)
{
    actions_.emplace(elapsedMs, std::move(action));
}

void FakePlatform::Sleep(int milliseconds)
{
    sleeps.append(milliseconds);
    Advance(milliseconds);
}

std::unique_ptr<platform::IntervalTimer> FakePlatform::CreateTimer(int intervalMs, std::function<void()> onTick)
{
    auto timer = std::make_shared<Timer>(Timer{intervalMs, elapsedMs_ + intervalMs, std::move(onTick)});
    timers_.push_back(timer);
    return std::make_unique<TimerHandle>(*this, timer);
}

void FakePlatform::Launch(const QString& program, const QStringList& arguments)
{
    launches.append({program, arguments});
}

QDateTime FakePlatform::Now()
{
    return start_.addMSecs(elapsedMs_ - elapsedMs_ % 1000);
}


int FakePlatform::ShowMessageBox(const QString& text, int style, const QString& title, const QString& extraButton)
{
    Box box{text, style, title, platform::vbCancel, extraButton};
    if (!answerers_.empty()) {
        auto answerer = std::move(answerers_.front());
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
    if (elapsedMs_ > deadlineMs) {
        deadlineHit = true;
        RequestEnd();
        return;
    }
    DeliverDue();
    if (onPump)
        onPump();
}

// One pass of the event loop: every due action, and at most one tick per
// timer however many intervals have passed (missed ticks are dropped).
void FakePlatform::DeliverDue()
{
    while (!actions_.empty() && actions_.begin()->first <= elapsedMs_) {
        auto action = std::move(actions_.begin()->second);
        actions_.erase(actions_.begin());
        action();
    }
    const auto timers = timers_;
    for (const auto& timer : timers) {
        if (timer->alive && timer->nextDue <= elapsedMs_) {
            timer->nextDue = elapsedMs_ + timer->interval;
            timer->onTick();
        }
    }
}

qint64 FakePlatform::NextDue() const
{
    qint64 next = std::numeric_limits<qint64>::max();
    if (!actions_.empty())
        next = actions_.begin()->first;
    for (const auto& timer : timers_) {
        if (timer->alive)
            next = std::min(next, timer->nextDue);
    }
    return next;
}

void FakePlatform::RunIdle(qint64 milliseconds)
{
    const qint64 end = elapsedMs_ + milliseconds;
    while (!HasEnded()) {
        const qint64 next = NextDue();
        if (next > end)
            break;
        elapsedMs_ = std::max(elapsedMs_, next);
        DeliverDue();
    }
    if (elapsedMs_ < end)
        elapsedMs_ = end;
}
