// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a Linux machine awake: logind's block inhibitors on the system bus
// (held by an open file descriptor), plus the session's own inhibitors, since
// desktops run their idle and lid policies themselves. Every call is
// asynchronous, so the window never waits for a slow or missing service.
#include "platform/keep_awake.h"
#include "platform/log_output.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QVariantMap>
#include <algorithm>
#include <utility>
#include <vector>

namespace platform {
namespace {

constexpr int kAnswerTimeoutMs = 2000;
// GNOME and portal inhibit flags: suspend | idle.
constexpr uint kSuspendAndIdle = 4 | 8;
const QString kAppId = QStringLiteral("io.github.dorvik.Dorvik");
const QString kWho = QStringLiteral("Dorvik");
const QString kWhy = QStringLiteral("Calibrating the battery: the machine must run until the battery is empty");

enum class LockState { Waiting, Taken, Released, Abandoned, Refused, Absent, NoAnswer, NotNeeded };

struct Lock {
    explicit Lock(QString name) : label(std::move(name)) {}
    QString label;
    LockState state = LockState::Waiting;
    QString reason;
    std::function<void()> giveBack;
};
using LockPtr = std::shared_ptr<Lock>;

// Turns a successful answer into the action that gives the lock back; an
// empty action means the answer held nothing.
using TakeFn = std::function<std::function<void()>(const QDBusMessage& reply)>;

QString LineOf(const Lock& lock)
{
    switch (lock.state) {
    case LockState::Waiting: return lock.label + QStringLiteral(": waiting for an answer");
    case LockState::Taken: return lock.label + QStringLiteral(": taken");
    case LockState::Released: return lock.label + QStringLiteral(": released");
    case LockState::Abandoned: return lock.label + QStringLiteral(": released before its answer");
    case LockState::Refused: return lock.label + QStringLiteral(": refused (%1)").arg(lock.reason);
    case LockState::Absent: return lock.label + QStringLiteral(": not present");
    case LockState::NoAnswer:
        return lock.label + QStringLiteral(": no answer within %1 s").arg(kAnswerTimeoutMs / 1000);
    case LockState::NotNeeded: return lock.label + QStringLiteral(": not needed");
    }
    return lock.label;
}

void RecordFailure(Lock& lock, const QDBusMessage& reply)
{
    const QString name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")
        || name == QLatin1String("org.freedesktop.DBus.Error.Disconnected")) {
        lock.state = LockState::Absent;
    } else if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply")
               || name == QLatin1String("org.freedesktop.DBus.Error.Timeout")) {
        lock.state = LockState::NoAnswer;
    } else {
        lock.state = LockState::Refused;
        lock.reason = name + QStringLiteral(": ") + reply.errorMessage();
    }
}

// Fire and forget: the service drops our inhibitors anyway when our bus
// name vanishes, so nothing waits for this answer.
void Send(QDBusConnection bus, const QString& service, const QString& path, const QString& interface,
          const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    bus.send(call);
}

// A cookie-based session inhibitor, given back with the named method.
TakeFn CookieTake(const QString& service, const QString& path, const QString& interface, const QString& release)
{
    return [=](const QDBusMessage& reply) -> std::function<void()> {
        const QVariant cookie = reply.arguments().value(0);
        if (!cookie.isValid())
            return {};
        return [=] { Send(QDBusConnection::sessionBus(), service, path, interface, release, {cookie}); };
    };
}

// logind holds the lock while any copy of the returned descriptor is open;
// Qt's copy is close-on-exec, so launched programs do not inherit it.
std::function<void()> DescriptorTake(const QDBusMessage& reply)
{
    auto fd = std::make_shared<QDBusUnixFileDescriptor>(reply.arguments().value(0).value<QDBusUnixFileDescriptor>());
    if (!fd->isValid())
        return {};
    return [fd] { *fd = QDBusUnixFileDescriptor(); };
}

std::function<void()> PortalTake(const QDBusMessage& reply)
{
    const QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
    if (handle.isEmpty())
        return {};
    return [handle] {
        Send(QDBusConnection::sessionBus(), QStringLiteral("org.freedesktop.portal.Desktop"), handle,
             QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close"), {});
    };
}

QDBusMessage Call(const QString& service, const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments, bool startService)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    call.setAutoStartService(startService);
    return call;
}

}  // namespace

struct KeepAwake::Impl {
    std::function<void()> onSettled;
    std::vector<LockPtr> logind;
    std::vector<LockPtr> session;
    LockPtr portal;
    bool held = false;
    bool summarized = false;
    bool portalAsked = false;
    QObject context;  // owns the watchers; replies stop arriving when it goes

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
        return std::none_of(locks.begin(), locks.end(), [](const LockPtr& l) { return l->state == LockState::Waiting; });
    }

    bool AnyTaken(const std::vector<LockPtr>& locks) const
    {
        return std::any_of(locks.begin(), locks.end(), [](const LockPtr& l) { return l->state == LockState::Taken; });
    }

    LockPtr Ask(const QString& label, QDBusConnection bus, const QDBusMessage& call, TakeFn take)
    {
        auto lock = std::make_shared<Lock>(label);
        if (!bus.isConnected()) {  // Qt's call would never finish: answer for the bus, from the event loop
            const QDBusMessage absent = QDBusMessage::createError(
                QStringLiteral("org.freedesktop.DBus.Error.Disconnected"), bus.lastError().message());
            QMetaObject::invokeMethod(
                &context, [this, lock, absent] { OnReply(*lock, absent, {}); }, Qt::QueuedConnection);
            return lock;
        }
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerTimeoutMs), &context);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context,
                         [this, lock, take = std::move(take)](QDBusPendingCallWatcher* finished) {
                             finished->deleteLater();
                             OnReply(*lock, finished->reply(), take);
                         });
        return lock;
    }

    void OnReply(Lock& lock, const QDBusMessage& reply, const TakeFn& take)
    {
        const bool answered = reply.type() == QDBusMessage::ReplyMessage;
        if (lock.state == LockState::Abandoned) {  // released while the answer was on its way
            if (answered)
                if (auto giveBack = take(reply))
                    giveBack();
            return;
        }
        if (!answered) {
            RecordFailure(lock, reply);
        } else if ((lock.giveBack = take(reply))) {
            lock.state = LockState::Taken;
        } else {
            lock.state = LockState::Refused;
            lock.reason = QStringLiteral("the answer held no lock");
        }
        OnAnswer();
    }

    void OnAnswer()
    {
        // The portal is for sandboxes, where none of the session services is reachable.
        if (portal->state == LockState::Waiting && !portalAsked && AllAnswered(session)) {
            if (AnyTaken(session))
                portal->state = LockState::NotNeeded;
            else
                AskPortal();
        }
        if (summarized || !AllAnswered(All()))
            return;
        summarized = true;
        qCInfo(lcKeepAwake, "keeping the machine awake: %s", qUtf8Printable(Report().join(QStringLiteral("; "))));
        if (onSettled)
            onSettled();
    }

    void AskLogind(const QString& what)
    {
        const QDBusMessage call =
            Call(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                 QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"),
                 {what, kWho, kWhy, QStringLiteral("block")}, true);
        logind.push_back(Ask(QStringLiteral("logind ") + what, QDBusConnection::systemBus(), call, DescriptorTake));
    }

    // Asked only where the service runs: autostart is off, so an absent one
    // answers ServiceUnknown at once.
    void AskSession(const QString& label, const QString& service, const QString& path, const QString& interface,
                    const QVariantList& arguments, const QString& release)
    {
        const QDBusMessage call = Call(service, path, interface, QStringLiteral("Inhibit"), arguments, false);
        session.push_back(
            Ask(label, QDBusConnection::sessionBus(), call, CookieTake(service, path, interface, release)));
    }

    void AskPortal()
    {
        portalAsked = true;
        const QVariantMap options{{QStringLiteral("reason"), kWhy}};
        const QDBusMessage call =
            Call(QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
                 QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"),
                 {QString(), kSuspendAndIdle, options}, true);
        portal = Ask(portal->label, QDBusConnection::sessionBus(), call, PortalTake);
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
        for (const char* what : {"idle", "sleep", "handle-lid-switch"})
            AskLogind(QString::fromLatin1(what));
        AskSession(QStringLiteral("GNOME session manager"), QStringLiteral("org.gnome.SessionManager"),
                   QStringLiteral("/org/gnome/SessionManager"), QStringLiteral("org.gnome.SessionManager"),
                   {kAppId, 0u, kWhy, kSuspendAndIdle}, QStringLiteral("Uninhibit"));
        AskSession(QStringLiteral("power management"), QStringLiteral("org.freedesktop.PowerManagement"),
                   QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
                   QStringLiteral("org.freedesktop.PowerManagement.Inhibit"), {kWho, kWhy},
                   QStringLiteral("UnInhibit"));
        AskSession(QStringLiteral("screen saver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                   QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                   {kWho, kWhy}, QStringLiteral("UnInhibit"));
        portal = std::make_shared<Lock>(QStringLiteral("desktop portal"));
    }

    void Release()
    {
        if (!held)
            return;
        held = false;
        for (const LockPtr& lock : All()) {
            if (lock->state == LockState::Taken) {
                std::exchange(lock->giveBack, {})();
                lock->state = LockState::Released;
            } else if (lock->state == LockState::Waiting) {
                lock->state = LockState::Abandoned;
            }
        }
    }

    QStringList Report() const
    {
        QStringList lines;
        const std::vector<LockPtr> all = All();
        for (const LockPtr& lock : all)
            lines << LineOf(*lock);
        if (!all.empty() && AllAnswered(all) && held && !AnyTaken(all))
            lines << QStringLiteral("nothing was taken: the machine may sleep during the run");
        return lines;
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

QStringList KeepAwake::Report() const
{
    return impl_->Report();
}

bool KeepAwake::Settled() const
{
    return impl_->AllAnswered(impl_->All());
}

}  // namespace platform
