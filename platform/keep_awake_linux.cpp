// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a Linux machine awake: logind's block inhibitors on the system bus,
// plus the session's own inhibitors, since desktops run their idle and lid
// policies themselves. Every call is asynchronous, so the window never waits
// for a slow or missing service. Services restart under a running program (an
// update does this), and slow ones answer after we stopped waiting: every
// answer is followed to its end, and a service that comes back is asked again.
#include "platform/keep_awake.h"

#include <QDBusServiceWatcher>
#include <QObject>
#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "platform/keep_awake_lock_linux.h"
#include "platform/keep_awake_portal_linux.h"

namespace platform {

using namespace keep_awake;

struct KeepAwake::Impl {
    std::function<void()> onSettled;
    std::vector<LockPtr> logind;
    std::vector<LockPtr> session;
    LockPtr portal;
    bool held = false;
    bool summarized = false;
    bool portalAsked = false;
    QObject context;  // owns the watchers; replies stop arriving when it goes
    Asker asker{&context, [this] { return held; }, [this](Lock& lock) { Answered(lock); }};
    Portal portalService{[this](Lock& lock) { Answered(lock); }};
    bool watching = false;

    std::vector<LockPtr> All() const
    {
        std::vector<LockPtr> all = logind;
        all.insert(all.end(), session.begin(), session.end());
        if (portal)
            all.push_back(portal);
        return all;
    }

    bool AllAnswered(const std::vector<LockPtr>& locks) const
    {
        return std::none_of(locks.begin(), locks.end(), [](const LockPtr& l) { return l->state == AskState::Waiting; });
    }

    bool AnyTaken(const std::vector<LockPtr>& locks) const
    {
        return std::any_of(locks.begin(), locks.end(), [](const LockPtr& l) { return l->state == AskState::Taken; });
    }

    // A change after the summary gets a line of its own.
    void Note(const Lock& lock) const
    {
        if (summarized)
            qCInfo(lcKeepAwake, "%s", qUtf8Printable(LineOf(lock)));
    }

    void Ask(const LockPtr& lock) { asker.Ask(lock); }

    void Answered(const Lock& lock)
    {
        Note(lock);
        OnAnswer();
    }

    void OnAnswer()
    {
        // The portal is for sandboxes, where none of the session services is reachable.
        if (portal->state == AskState::Waiting && !portalAsked && AllAnswered(session)) {
            if (AnyTaken(session))
                portal->state = AskState::NotNeeded;
            else
                AskPortal();
        }
        if (summarized || !AllAnswered(All()))
            return;
        summarized = true;
        qCInfo(lcKeepAwake, "keeping the machine awake: %s", qUtf8Printable(storage::LockLineTexts(Locks()).join(QStringLiteral("; "))));
        if (onSettled)
            onSettled();
    }

    void AskPortal()
    {
        portalAsked = true;
        portalService.Prepare(portal);
        Ask(portal);
    }

    void Watch()
    {
        if (watching)
            return;
        watching = true;
        const auto follow = [this](QDBusServiceWatcher* watcher) {
            QObject::connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, &context,
                             [this](const QString& service, const QString& oldOwner, const QString& newOwner) {
                                 OnOwnerChanged(service, oldOwner, newOwner);
                             });
        };
        const auto mode = QDBusServiceWatcher::WatchForOwnerChange;
        if (QDBusConnection::systemBus().isConnected())
            follow(new QDBusServiceWatcher(kLogind, QDBusConnection::systemBus(), mode, &context));
        if (QDBusConnection::sessionBus().isConnected()) {
            auto* watcher = new QDBusServiceWatcher(kPortal, QDBusConnection::sessionBus(), mode, &context);
            for (const LockPtr& lock : session)
                watcher->addWatchedService(lock->service);
            follow(watcher);
        }
    }

    std::vector<LockPtr> LocksOf(const QString& service) const
    {
        std::vector<LockPtr> locks;
        for (const LockPtr& lock : All())
            if (lock->service == service)
                locks.push_back(lock);
        return locks;
    }

    void OnOwnerChanged(const QString& service, const QString& oldOwner, const QString& newOwner)
    {
        if (!held)
            return;
        const std::vector<LockPtr> locks = LocksOf(service);
        if (!oldOwner.isEmpty())
            for (const LockPtr& lock : locks)
                Lose(*lock);
        if (newOwner.isEmpty())
            return;
        std::vector<LockPtr> back;
        std::copy_if(locks.begin(), locks.end(), std::back_inserter(back), [](const LockPtr& lock) {
            return lock->state == AskState::Lost || lock->state == AskState::Absent;
        });
        const bool orphans = std::any_of(back.begin(), back.end(), [](const LockPtr& l) { return bool(l->orphan); });
        if (orphans)
            AskWhatLogindKept(&context, [this] { return held; },
                              [this, back](const QStringList& kept) { TakeAgain(back, kept); });
        else
            TakeAgain(back, {});
    }

    void Lose(Lock& lock)
    {
        // Waiting without a call on its way: a retry pending, or the portal not asked yet.
        const bool retrying = lock.state == AskState::Waiting && lock.retries > 0;
        if (lock.state != AskState::Taken && !lock.pending && !retrying)
            return;
        ++lock.generation;  // the old owner's answer, if any, holds nothing
        lock.pending = false;
        // A cookie means nothing to the next owner; a descriptor may.
        lock.orphan = lock.state == AskState::Taken && !lock.what.isEmpty() ? std::exchange(lock.giveBack, {})
                                                                              : std::function<void()>();
        lock.giveBack = {};
        lock.state = AskState::Lost;
        qCInfo(lcKeepAwake, "%s", qUtf8Printable(LineOf(lock)));
    }

    void TakeAgain(const std::vector<LockPtr>& locks, const QStringList& kept)
    {
        for (const LockPtr& lock : locks) {
            if (!held || (lock->state != AskState::Lost && lock->state != AskState::Absent))
                continue;  // released or changed while logind was asked
            const bool restarted = lock->state == AskState::Lost;
            lock->restarts += restarted;
            lock->after = lock->serviceLabel + (restarted ? QStringLiteral(" restarted") : QStringLiteral(" started"));
            lock->retries = 0;
            lock->late = false;
            lock->kept = lock->orphan && kept.contains(lock->what);
            if (lock->kept) {
                lock->giveBack = std::exchange(lock->orphan, {});
                lock->state = AskState::Taken;
                qCInfo(lcKeepAwake, "%s", qUtf8Printable(LineOf(*lock)));
                continue;
            }
            lock->orphan = {};  // closes the old descriptor
            Ask(lock);
        }
    }

    void Hold()
    {
        if (held)
            return;
        held = true;
        summarized = false;
        portalAsked = false;
        logind.clear();
        session.clear();
        // Separate calls: polkit would judge a combined "idle:sleep:handle-lid-switch"
        // by its strictest part and refuse it all.
        for (const char* what : {"idle", "sleep", "handle-lid-switch"}) {
            logind.push_back(LogindLock(QString::fromLatin1(what)));
            Ask(logind.back());
        }
        for (const LockPtr& lock : SessionLocks()) {
            session.push_back(lock);
            Ask(lock);
        }
        portal = portalService.NewLock();
        Watch();
    }


    void Release()
    {
        if (!held)
            return;
        held = false;
        for (const LockPtr& lock : All()) {
            lock->orphan = {};
            if (lock->state == AskState::Taken) {
                std::exchange(lock->giveBack, {})();
                lock->state = AskState::Released;
            } else if (lock->pending || lock->state == AskState::Waiting) {
                // An answer on its way is given back as it arrives; a retry stops.
                lock->generation += !lock->pending;
                lock->state = AskState::Abandoned;
            } else if (lock->state == AskState::Lost) {
                lock->state = AskState::Released;
            }
        }
        portalService.Unfollow(portal);
    }

    QList<storage::LockLine> Locks() const
    {
        QList<storage::LockLine> locks;
        const std::vector<LockPtr> all = All();
        for (const LockPtr& lock : all)
            locks << LockOf(*lock);
        if (!all.empty() && AllAnswered(all) && held && !AnyTaken(all))
            locks << storage::NothingTakenLine();
        return locks;
    }
};

KeepAwake::KeepAwake(std::function<void()> onSettled) : impl_(std::make_unique<Impl>())
{
    impl_->onSettled = std::move(onSettled);
}

KeepAwake::~KeepAwake()
{
    Release();
}

void KeepAwake::Hold()
{
    impl_->Hold();
}

void KeepAwake::Release()
{
    impl_->Release();
}

QList<storage::LockLine> KeepAwake::Locks() const
{
    return impl_->Locks();
}

bool KeepAwake::Settled() const
{
    return impl_->AllAnswered(impl_->All());
}

}  // namespace platform
