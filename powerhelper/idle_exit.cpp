// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/idle_exit.h"

#include "powerhelper/log.h"
#include "powerhelper/power_helper_service.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusPendingCallWatcher>

namespace powerhelper {

IdleExit::IdleExit(const QDBusConnection& bus, PowerHelperService& service, int timeoutMs, QObject* parent)
    : QObject(parent), bus_(bus), service_(service) {
    timer_.setSingleShot(true);
    timer_.setInterval(timeoutMs);
    connect(&timer_, &QTimer::timeout, this, &IdleExit::TimedOut);
    connect(&service_, &PowerHelperService::idle, &timer_, qOverload<>(&QTimer::start));
    timer_.start();
}

void IdleExit::TimedOut() {
    if (!service_.Idle() || releasing_)
        return;
    releasing_ = true;
    const quint64 callsBefore = service_.CallsReceived();
    // The reply comes after every call the bus routed to the name before it
    // was released: once it is in, no call can be on its way.
    auto* release = new QDBusPendingCallWatcher(
        bus_.interface()->asyncCall(QStringLiteral("ReleaseName"), kServiceName), this);
    connect(release, &QDBusPendingCallWatcher::finished, this, [this, release, callsBefore] {
        release->deleteLater();
        Released(callsBefore);
    });
}

void IdleExit::Released(quint64 callsBefore) {
    releasing_ = false;
    if (service_.Idle() && service_.CallsReceived() == callsBefore) {
        qCInfo(lcPowerHelper) << "idle: exiting";
        QCoreApplication::quit();
        return;
    }
    if (!bus_.registerService(kServiceName))
        qCWarning(lcPowerHelper) << "cannot take the name again:" << bus_.lastError().message();
    timer_.start();
}

}  // namespace powerhelper
