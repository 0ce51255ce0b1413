// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/power_helper_service.h"

#include "powerhelper/battery_changes.h"
#include "powerhelper/log.h"
#include "powerhelper/polkit_check.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <map>

namespace powerhelper {
namespace {

QString ActionId(const QString& action) { return QStringLiteral("io.github.dorvik.") + action; }

QDBusError::ErrorType ErrorOf(const Outcome& outcome) {
    return outcome.kind == Outcome::Kind::Invalid ? QDBusError::InvalidArgs : QDBusError::Failed;
}

}  // namespace

PowerHelperService::PowerHelperService(const QDBusConnection& bus, QString sysfsRoot, QObject* parent)
    : QObject(parent),
      bus_(bus),
      sysfsRoot_(std::move(sysfsRoot)),
      watcher_(new QDBusServiceWatcher(QString(), bus, QDBusServiceWatcher::WatchForUnregistration, this)) {
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &PowerHelperService::CallerLeft);
}

void PowerHelperService::DischargeOnMains(const QString& battery) { Change(battery, kDischargeOnMains); }

void PowerHelperService::LiftChargeLimit(const QString& battery) { Change(battery, kLiftChargeLimit); }

QStringList PowerHelperService::Offers(const QString& battery) {
    Outcome outcome;
    const auto attributes = BatteryAttributes::Open(sysfsRoot_, battery, outcome);
    if (!attributes) {
        sendErrorReply(ErrorOf(outcome), outcome.message);
        return {};
    }
    Settle();
    return powerhelper::Offers(*attributes);
}

void PowerHelperService::Change(const QString& battery, const QString& action) {
    const bool discharge = action == kDischargeOnMains;
    Outcome outcome;
    if (const auto attributes = BatteryAttributes::Open(sysfsRoot_, battery, outcome))
        outcome = discharge ? CheckDischargeOnMains(*attributes) : CheckLiftChargeLimit(*attributes);
    if (!outcome.ok()) {
        sendErrorReply(ErrorOf(outcome), outcome.message);
        return;
    }
    const QString caller = message().service();
    // Watched before anything is written, so that its leaving is not missed.
    watcher_->addWatchedService(caller);
    setDelayedReply(true);
    const QDBusMessage request = message();
    ++pending_;
    CheckAuthorization(bus_, caller, ActionId(action), this,
                       [this, request, caller, battery, discharge, action](bool allowed, const QString& why) {
        --pending_;
        auto answer = [&](const QDBusMessage& reply) {
            bus_.send(reply);
            Settle();
        };
        if (!allowed) {
            qCInfo(lcPowerHelper) << "refused" << action << "on" << battery << "to" << caller << ":" << why;
            answer(request.createErrorReply(QDBusError::AccessDenied, why));
            return;
        }
        if (!bus_.interface()->isServiceRegistered(caller)) {
            answer(request.createErrorReply(QDBusError::Failed, QStringLiteral("the caller has left")));
            return;
        }
        Outcome outcome;
        std::vector<powerhelper::Change> changes;
        if (const auto attributes = BatteryAttributes::Open(sysfsRoot_, battery, outcome))
            outcome = discharge ? powerhelper::DischargeOnMains(*attributes, changes)
                                : powerhelper::LiftChargeLimit(*attributes, changes);
        if (!outcome.ok()) {
            qCWarning(lcPowerHelper) << action << "on" << battery << "failed:" << outcome.message;
            answer(request.createErrorReply(ErrorOf(outcome), outcome.message));
            return;
        }
        for (const powerhelper::Change& change : changes)
            ledger_.Record(caller, {battery, change.attribute}, change.found);
        qCInfo(lcPowerHelper) << action << "on" << battery << "for" << caller;
        answer(request.createReply());
    });
}

void PowerHelperService::Restore(const QString& battery) {
    Outcome outcome;
    if (!BatteryAttributes::Open(sysfsRoot_, battery, outcome) && outcome.kind == Outcome::Kind::Invalid &&
        !battery.isEmpty()) {
        sendErrorReply(QDBusError::InvalidArgs, outcome.message);
        return;
    }
    RestoreCaller(message().service(), battery, QStringLiteral("as asked"));
}

void PowerHelperService::RestoreCaller(const QString& caller, const QString& battery, const QString& why) {
    std::vector<Restoration> restorations = ledger_.Release(caller, battery);
    if (!ledger_.Holds(caller))
        watcher_->removeWatchedService(caller);
    std::map<QString, std::vector<std::pair<QString, QString>>> byBattery;
    for (const Restoration& restoration : restorations)
        byBattery[restoration.setting.battery].emplace_back(restoration.setting.attribute, restoration.value);
    QStringList failures;
    for (const auto& [name, values] : byBattery) {
        qCInfo(lcPowerHelper) << "restoring" << name << "for" << caller << why;
        Outcome outcome;
        if (const auto attributes = BatteryAttributes::Open(sysfsRoot_, name, outcome))
            outcome = PutBack(*attributes, values);
        if (!outcome.ok()) {
            qCWarning(lcPowerHelper) << "could not restore" << name << ":" << outcome.message;
            failures << outcome.message;
        }
    }
    if (!failures.isEmpty() && calledFromDBus())
        sendErrorReply(QDBusError::Failed, failures.join(QStringLiteral("; ")));
    Settle();
}

void PowerHelperService::CallerLeft(const QString& caller) {
    RestoreCaller(caller, QString(), QStringLiteral("as it left the bus"));
}

void PowerHelperService::RestoreEverything() {
    for (const QString& caller : ledger_.Callers())
        RestoreCaller(caller, QString(), QStringLiteral("as the helper stops"));
}

void PowerHelperService::Settle() {
    if (Idle())
        emit idle();
}

}  // namespace powerhelper
