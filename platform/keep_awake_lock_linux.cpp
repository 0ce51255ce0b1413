// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/keep_awake_lock_linux.h"

#include <QDBusError>
#include <QDBusPendingCallWatcher>
#include <QTimer>
#include <algorithm>
#include <limits>

Q_LOGGING_CATEGORY(lcKeepAwake, "dorvik.keepawake")

namespace platform::keep_awake {

const QString kAppId = QStringLiteral("io.github.dorvik.Dorvik");
const QString kWho = QStringLiteral("Dorvik");
const QString kWhy = QStringLiteral("Calibrating the battery: the machine must run until the battery is empty");

namespace {

constexpr int kNoCallTimeout = std::numeric_limits<int>::max();  // libdbus: no timeout

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

}  // namespace

LockPtr NewLock(const QString& label, const QString& serviceLabel, QDBusConnection bus, QDBusMessage call, TakeFn take)
{
    auto lock = std::make_shared<Lock>(label, serviceLabel, std::move(bus));
    lock->service = call.service();
    lock->call = std::move(call);
    lock->take = std::move(take);
    return lock;
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

QDBusMessage Call(const QString& service, const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments, bool startService)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    call.setAutoStartService(startService);
    return call;
}

void Send(QDBusConnection bus, const QString& service, const QString& path, const QString& interface,
          const QString& method, const QVariantList& arguments)
{
    bus.send(Call(service, path, interface, method, arguments, false));
}

Asker::Asker(QObject* context, std::function<bool()> held, std::function<void(Lock&)> answered)
    : context_(context), held_(std::move(held)), answered_(std::move(answered))
{
}

void Asker::Ask(const LockPtr& lock)
{
    const quint64 generation = ++lock->generation;
    lock->state = AskState::Waiting;
    lock->pending = true;
    if (!lock->bus.isConnected()) {  // Qt's call would never finish: answer for the bus, from the event loop
        const QDBusMessage absent = QDBusMessage::createError(
            QStringLiteral("org.freedesktop.DBus.Error.Disconnected"), lock->bus.lastError().message());
        QMetaObject::invokeMethod(
            context_, [this, lock, absent, generation] { OnReply(lock, absent, generation); },
            Qt::QueuedConnection);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(lock->bus.asyncCall(lock->call, kNoCallTimeout), context_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context_,
                     [this, lock, generation](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         OnReply(lock, finished->reply(), generation);
                     });
    QTimer::singleShot(kAnswerTimeoutMs, context_, [this, lock, generation] {
        if (lock->generation != generation || lock->state != AskState::Waiting)
            return;
        lock->state = AskState::NoAnswer;
        answered_(*lock);
    });
}

void Asker::OnReply(const LockPtr& lock, const QDBusMessage& reply, quint64 generation)
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
            QTimer::singleShot(kRetryMs, context_, [this, lock, generation] {
                if (held_() && lock->generation == generation)
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
    answered_(*lock);
}

}  // namespace platform::keep_awake
