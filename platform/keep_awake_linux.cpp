// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a Linux machine awake: logind's block inhibitors on the system bus
// (held by an open file descriptor), plus the session's own inhibitors, since
// desktops run their idle and lid policies themselves. Every call is
// asynchronous, so the window never waits for a slow or missing service.
// Services restart under a running program (an update does this), and slow
// ones answer after we stopped waiting: every answer is followed to its end,
// and a service that comes back is asked again.
#include "platform/keep_awake.h"

#include "storage/lock_lines.h"

#include <QLoggingCategory>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QTimer>
#include <QVariantMap>
#include <algorithm>
#include <iterator>
#include <limits>
#include <utility>
#include <vector>

Q_LOGGING_CATEGORY(lcKeepAwake, "dorvik.keepawake")

namespace platform {

// Receives the portal's Response signals: QtDBus delivers signals to slots only.
class PortalResponses : public QObject {
    Q_OBJECT
public:
    std::function<void(const QString& path, uint response)> onResponse;

public slots:
    void Response(uint response, const QVariantMap&, const QDBusMessage& message)
    {
        if (onResponse)
            onResponse(message.path(), response);
    }
};

namespace {

// How long the first summary waits for an answer; the call itself waits for
// ever, since an answer after this still holds a lock that must be kept or
// given back.
constexpr int kAnswerTimeoutMs = 2000;
constexpr int kNoCallTimeout = std::numeric_limits<int>::max();  // libdbus: no timeout
// A service that has just taken its name may not have its objects yet.
constexpr int kRetryMs = 100;
constexpr int kRetries = 20;
// GNOME and portal inhibit flags: suspend | idle.
constexpr uint kSuspendAndIdle = 4 | 8;
const QString kAppId = QStringLiteral("io.github.dorvik.Dorvik");
const QString kWho = QStringLiteral("Dorvik");
const QString kWhy = QStringLiteral("Calibrating the battery: the machine must run until the battery is empty");
const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

enum class AskState { Waiting, Taken, Released, Abandoned, Refused, Absent, NoAnswer, NotNeeded, Lost };

// Turns a successful answer into the action that gives the lock back; an
// empty action means the answer held nothing.
using TakeFn = std::function<std::function<void()>(const QDBusMessage& reply)>;

struct Lock {
    Lock(QString name, QString owner, QDBusConnection connection)
        : label(std::move(name)), serviceLabel(std::move(owner)), bus(std::move(connection))
    {
    }
    QString label;
    QString serviceLabel;  // the service in words, for "after logind restarted"
    QDBusConnection bus;
    QString service;    // the bus name whose owner holds the lock
    QDBusMessage call;  // asked again when the service comes back
    TakeFn take;
    std::function<void(const QDBusMessage& reply)> onTaken;
    QString what;  // logind's lock type
    AskState state = AskState::Waiting;
    QString reason;
    std::function<void()> giveBack;
    // Bumped by every ask and every loss: an answer to an older ask is
    // given back as it arrives.
    quint64 generation = 0;
    bool pending = false;  // the current ask's answer is still on its way
    bool late = false;     // taken after the summary stopped waiting
    bool kept = false;     // the service brought it back itself
    QString after;         // why it was asked again: "logind restarted"
    int restarts = 0;
    int retries = 0;
    // A logind lock lost with its service: logind may bring its inhibitors
    // back from its own store, so the descriptor stays open until we know.
    std::function<void()> orphan;
    QStringList requestPaths;  // the portal's request objects
};
using LockPtr = std::shared_ptr<Lock>;

// The words after "taken": when and how the lock came.
QString TakenDetail(const Lock& lock)
{
    if (lock.kept)
        return QStringLiteral("kept through a restart of ") + lock.serviceLabel;
    QString text;
    if (!lock.after.isEmpty())
        text += (lock.restarts > 0 ? QStringLiteral(" again after ") : QStringLiteral(" after ")) + lock.after;
    if (lock.restarts > 1)
        text += QStringLiteral(" (%1 restarts)").arg(lock.restarts);
    if (lock.late)
        text += QStringLiteral(", answered late");
    return text;
}

storage::LockLine LockOf(const Lock& lock)
{
    using Out = storage::LockState;
    const QString after = lock.after.isEmpty() ? QString() : QStringLiteral(" after ") + lock.after;
    switch (lock.state) {
    case AskState::Waiting: return {lock.label, Out::Waiting, after};
    case AskState::Taken: return {lock.label, Out::Taken, TakenDetail(lock)};
    case AskState::Released: return {lock.label, Out::Released, {}};
    case AskState::Abandoned:
        return {lock.label, Out::Released,
                lock.pending ? QStringLiteral("; its answer is given back when it comes") : QStringLiteral(" before its answer")};
    case AskState::Refused: return {lock.label, Out::Refused, QStringLiteral(" (%1)").arg(lock.reason) + after};
    case AskState::Absent: return {lock.label, Out::Absent, after};
    case AskState::NoAnswer:
        return {lock.label, Out::Waiting,
                QStringLiteral("no answer within %1 s").arg(kAnswerTimeoutMs / 1000)
                    + (lock.pending ? QStringLiteral(", still waiting") : QString()) + after};
    case AskState::NotNeeded: return {lock.label, Out::NotNeeded, {}};
    case AskState::Lost:
        return {lock.label, Out::Lost,
                QStringLiteral(" when %1 stopped; taken again when it is back").arg(lock.serviceLabel)};
    }
    return {lock.label, Out::Unknown, {}};
}

QString LineOf(const Lock& lock)
{
    return storage::LockLineText(LockOf(lock));
}

bool IsError(const QDBusMessage& reply, std::initializer_list<const char*> names)
{
    return std::any_of(names.begin(), names.end(),
                       [&](const char* name) { return reply.errorName() == QLatin1String(name); });
}

bool NotReadyYet(const QDBusMessage& reply)
{
    return IsError(reply, {"org.freedesktop.DBus.Error.UnknownObject", "org.freedesktop.DBus.Error.UnknownMethod",
                           "org.freedesktop.DBus.Error.UnknownInterface"});
}

void RecordFailure(Lock& lock, const QDBusMessage& reply)
{
    if (IsError(reply, {"org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
                        "org.freedesktop.DBus.Error.Disconnected"})) {
        lock.state = AskState::Absent;
    } else if (IsError(reply, {"org.freedesktop.DBus.Error.NoReply", "org.freedesktop.DBus.Error.Timeout"})) {
        lock.state = AskState::NoAnswer;
    } else {
        lock.state = AskState::Refused;
        lock.reason = reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
    }
}

// Fire and forget: the service drops our inhibitors anyway when our bus
// name vanishes, so nothing waits for this answer. Never starts a service.
void Send(QDBusConnection bus, const QString& service, const QString& path, const QString& interface,
          const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    call.setAutoStartService(false);
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
    return [handle] { Send(QDBusConnection::sessionBus(), kPortal, handle, kRequest, QStringLiteral("Close"), {}); };
}

QDBusMessage Call(const QString& service, const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments, bool startService)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    call.setAutoStartService(startService);
    return call;
}

QDBusMessage LogindCall(const QString& method, const QVariantList& arguments)
{
    return Call(kLogind, QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
                method, arguments, true);
}

// The logind inhibitors this process holds, from ListInhibitors' answer
// a(ssssuu): what, who, why, mode, uid, pid.
QStringList OurInhibitors(const QDBusMessage& reply)
{
    QStringList ours;
    if (reply.type() != QDBusMessage::ReplyMessage)
        return ours;
    const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString what, who, why, mode;
        uint uid = 0, pid = 0;
        list.beginStructure();
        list >> what >> who >> why >> mode >> uid >> pid;
        list.endStructure();
        if (who == kWho && mode == QLatin1String("block") && pid == QCoreApplication::applicationPid())
            ours << what;
    }
    list.endArray();
    return ours;
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
    int portalTokens = 0;
    QObject context;  // owns the watchers; replies stop arriving when it goes
    PortalResponses responses;
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

    void Ask(const LockPtr& lock)
    {
        const quint64 generation = ++lock->generation;
        lock->state = AskState::Waiting;
        lock->pending = true;
        if (!lock->bus.isConnected()) {  // Qt's call would never finish: answer for the bus, from the event loop
            const QDBusMessage absent = QDBusMessage::createError(
                QStringLiteral("org.freedesktop.DBus.Error.Disconnected"), lock->bus.lastError().message());
            QMetaObject::invokeMethod(
                &context, [this, lock, absent, generation] { OnReply(lock, absent, generation); },
                Qt::QueuedConnection);
            return;
        }
        auto* watcher = new QDBusPendingCallWatcher(lock->bus.asyncCall(lock->call, kNoCallTimeout), &context);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context,
                         [this, lock, generation](QDBusPendingCallWatcher* finished) {
                             finished->deleteLater();
                             OnReply(lock, finished->reply(), generation);
                         });
        QTimer::singleShot(kAnswerTimeoutMs, &context, [this, lock, generation] {
            if (lock->generation != generation || lock->state != AskState::Waiting)
                return;
            lock->state = AskState::NoAnswer;
            Note(*lock);
            OnAnswer();
        });
    }

    void OnReply(const LockPtr& lock, const QDBusMessage& reply, quint64 generation)
    {
        const bool answered = reply.type() == QDBusMessage::ReplyMessage;
        std::function<void()> giveBack = answered ? lock->take(reply) : std::function<void()>();
        if (generation != lock->generation || lock->state == AskState::Abandoned) {
            // Nobody wants this lock any more: released, lost or asked again.
            if (generation == lock->generation)
                lock->pending = false;
            if (giveBack) {
                giveBack();
                qCInfo(lcKeepAwake, "%s: a late answer, given back at once", qUtf8Printable(lock->label));
            }
            return;
        }
        lock->pending = false;
        const bool late = lock->state == AskState::NoAnswer;
        if (!answered) {
            // The service's objects may not be there yet just after it started.
            if (!lock->after.isEmpty() && lock->retries < kRetries && NotReadyYet(reply)) {
                ++lock->retries;
                QTimer::singleShot(kRetryMs, &context, [this, lock, generation] {
                    if (held && lock->generation == generation)
                        Ask(lock);
                });
                return;
            }
            RecordFailure(*lock, reply);
        } else if ((lock->giveBack = std::move(giveBack))) {
            lock->state = AskState::Taken;
            lock->late = late;
            if (lock->onTaken)
                lock->onTaken(reply);
        } else {
            lock->state = AskState::Refused;
            lock->reason = QStringLiteral("the answer held no lock");
        }
        Note(*lock);
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

    LockPtr NewLock(const QString& label, const QString& serviceLabel, QDBusConnection bus, QDBusMessage call,
                    TakeFn take)
    {
        auto lock = std::make_shared<Lock>(label, serviceLabel, std::move(bus));
        lock->service = call.service();
        lock->call = std::move(call);
        lock->take = std::move(take);
        return lock;
    }

    void AskLogind(const QString& what)
    {
        auto lock = NewLock(QStringLiteral("logind ") + what, QStringLiteral("logind"), QDBusConnection::systemBus(),
                            LogindCall(QStringLiteral("Inhibit"), {what, kWho, kWhy, QStringLiteral("block")}),
                            DescriptorTake);
        lock->what = what;
        logind.push_back(lock);
        Ask(lock);
    }

    // Asked only where the service runs: autostart is off, so an absent one
    // answers ServiceUnknown at once.
    void AskSession(const QString& label, const QString& service, const QString& path, const QString& interface,
                    const QVariantList& arguments, const QString& release)
    {
        auto lock = NewLock(label, label, QDBusConnection::sessionBus(),
                            Call(service, path, interface, QStringLiteral("Inhibit"), arguments, false),
                            CookieTake(service, path, interface, release));
        session.push_back(lock);
        Ask(lock);
    }

    // The portal answers with a request object, and may refuse later through
    // that object's Response signal. Its path is known before the call (from
    // the handle token), so a quick refusal is not missed; older portals
    // choose their own path, which is followed once the answer names it.
    void FollowRequest(const LockPtr& lock, const QString& path)
    {
        if (path.isEmpty() || lock->requestPaths.contains(path))
            return;
        lock->requestPaths << path;
        lock->bus.connect(kPortal, path, kRequest, QStringLiteral("Response"), &responses,
                          SLOT(Response(uint, QVariantMap, QDBusMessage)));
    }

    void Unfollow(const LockPtr& lock)
    {
        for (const QString& path : std::exchange(lock->requestPaths, {}))
            lock->bus.disconnect(kPortal, path, kRequest, QStringLiteral("Response"), &responses,
                                 SLOT(Response(uint, QVariantMap, QDBusMessage)));
    }

    void AskPortal()
    {
        portalAsked = true;
        const QString token = QStringLiteral("dorvik%1").arg(++portalTokens);
        const QVariantMap options{{QStringLiteral("reason"), kWhy}, {QStringLiteral("handle_token"), token}};
        const LockPtr lock = portal;
        lock->call = Call(kPortal, QStringLiteral("/org/freedesktop/portal/desktop"),
                          QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"),
                          {QString(), kSuspendAndIdle, options}, true);
        lock->take = PortalTake;
        // Weakly: the lock owns this function, and must not own itself.
        lock->onTaken = [this, weak = std::weak_ptr<Lock>(lock)](const QDBusMessage& reply) {
            if (const LockPtr taken = weak.lock())
                FollowRequest(taken, reply.arguments().value(0).value<QDBusObjectPath>().path());
        };
        if (lock->bus.isConnected()) {
            QString sender = lock->bus.baseService().mid(1);
            sender.replace(QLatin1Char('.'), QLatin1Char('_'));
            FollowRequest(lock, QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token));
        }
        Ask(lock);
    }

    void OnPortalResponse(const QString& path, uint response)
    {
        const LockPtr lock = portal;
        if (!lock || response == 0 || !lock->requestPaths.contains(path))
            return;
        if (lock->state != AskState::Taken && lock->state != AskState::Waiting && lock->state != AskState::NoAnswer)
            return;
        ++lock->generation;  // an answer still on its way holds nothing now
        lock->pending = false;
        lock->giveBack = {};  // the portal ends the request itself
        lock->state = AskState::Refused;
        lock->reason = QStringLiteral("the portal answered %1: %2")
                           .arg(response)
                           .arg(response == 1 ? QStringLiteral("cancelled by the user")
                                              : QStringLiteral("refused or failed"));
        Unfollow(lock);
        Note(*lock);
        OnAnswer();
    }

    void Watch()
    {
        if (watching)
            return;
        watching = true;
        responses.onResponse = [this](const QString& path, uint response) { OnPortalResponse(path, response); };
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
            AskWhatLogindKept(back, 0);
        else
            TakeAgain(back, {});
    }

    // logind brings back the inhibitors it stored across its restart: keep
    // those rather than hold each twice.
    void AskWhatLogindKept(const std::vector<LockPtr>& back, int attempt)
    {
        auto* watcher = new QDBusPendingCallWatcher(
            QDBusConnection::systemBus().asyncCall(LogindCall(QStringLiteral("ListInhibitors"), {}), kAnswerTimeoutMs),
            &context);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context,
                         [this, back, attempt](QDBusPendingCallWatcher* finished) {
                             finished->deleteLater();
                             const QDBusMessage reply = finished->reply();
                             if (held && attempt < kRetries && NotReadyYet(reply))
                                 QTimer::singleShot(kRetryMs, &context,
                                                    [this, back, attempt] { AskWhatLogindKept(back, attempt + 1); });
                             else
                                 TakeAgain(back, OurInhibitors(reply));
                         });
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
        portal = NewLock(QStringLiteral("desktop portal"), QStringLiteral("the desktop portal"),
                         QDBusConnection::sessionBus(), {}, {});
        portal->service = kPortal;
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
        Unfollow(portal);
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

#include "keep_awake_linux.moc"
