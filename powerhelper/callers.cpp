// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/callers.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace powerhelper {

Callers::Callers(const QDBusConnection& bus, QObject* parent)
    : QObject(parent),
      bus_(bus),
      watcher_(new QDBusServiceWatcher(QString(), bus, QDBusServiceWatcher::WatchForUnregistration, this)) {
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &Callers::Left);
}

void Callers::Watch(const QString& caller) {
    if (Watched(caller))
        return;
    callers_[caller] = {};
    // The watch is asked for before the identity: a caller that the bus still
    // knows when it answers cannot leave unnoticed afterwards.
    watcher_->addWatchedService(caller);
    Ask(caller, QStringLiteral("GetConnectionUnixUser"), &Caller::uid);
    Ask(caller, QStringLiteral("GetConnectionUnixProcessID"), &Caller::pid);
}

void Callers::Ask(const QString& caller, const QString& method, std::optional<uint> Caller::*into) {
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"), method);
    call << caller;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending, caller, into] {
        pending->deleteLater();
        const QDBusPendingReply<uint> reply = *pending;
        const auto it = callers_.find(caller);
        if (it == callers_.end())
            return;
        if (reply.isError())
            it->second.gone = true;
        else
            it->second.*into = reply.value();
        if (into == &Caller::uid)
            emit identified(caller);
    });
}

void Callers::Forget(const QString& caller) {
    if (callers_.erase(caller))
        watcher_->removeWatchedService(caller);
}

std::optional<uint> Callers::UserOf(const QString& caller) const {
    const auto it = callers_.find(caller);
    return it == callers_.end() || it->second.gone ? std::nullopt : it->second.uid;
}

bool Callers::Gone(const QString& caller) const {
    const auto it = callers_.find(caller);
    return it != callers_.end() && it->second.gone;
}

QString Callers::Describe(const QString& caller) const {
    const auto it = callers_.find(caller);
    const auto number = [](std::optional<uint> value) {
        return value ? QString::number(*value) : QStringLiteral("unknown");
    };
    if (it == callers_.end())
        return caller;
    return QStringLiteral("%1 (uid %2, pid %3)").arg(caller, number(it->second.uid), number(it->second.pid));
}

void Callers::Left(const QString& caller) {
    const auto it = callers_.find(caller);
    if (it == callers_.end())
        return;
    it->second.gone = true;
    emit left(caller);
}

}  // namespace powerhelper
