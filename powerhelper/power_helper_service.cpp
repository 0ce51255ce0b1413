// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/power_helper_service.h"

#include "powerhelper/battery_changes.h"
#include "powerhelper/callers.h"
#include "powerhelper/log.h"
#include "powerhelper/put_back.h"

#include <QDBusError>

namespace powerhelper {
namespace {

const QString kAuthorityUnavailable = QStringLiteral("io.github.dorvik.PowerHelper1.Error.AuthorityUnavailable");

// The inhibit shares the discharge's action: both only hold the charge back.
QString ActionId(const QString& offer) {
    return QStringLiteral("io.github.dorvik.") + (offer == kLiftChargeLimit ? kLiftChargeLimit : kDischargeOnMains);
}

QDBusError::ErrorType ErrorOf(const Outcome& outcome) {
    return outcome.kind == Outcome::Kind::Invalid ? QDBusError::InvalidArgs : QDBusError::Failed;
}

Outcome Check(const QString& sysfsRoot, const QString& battery, const QString& offer) {
    Outcome outcome;
    if (const auto attributes = BatteryAttributes::Open(sysfsRoot, battery, outcome))
        outcome = offer == kLiftChargeLimit ? CheckLiftChargeLimit(*attributes) : CheckChargeBehaviour(*attributes, offer);
    return outcome;
}

}  // namespace

PowerHelperService::PowerHelperService(const QDBusConnection& bus, QString sysfsRoot, LedgerFile file, QObject* parent)
    : QObject(parent),
      bus_(bus),
      sysfsRoot_(std::move(sysfsRoot)),
      file_(std::move(file)),
      callers_(new Callers(bus, this)) {
    connect(callers_, &Callers::left, this, &PowerHelperService::CallerLeft);
    connect(callers_, &Callers::identified, this, &PowerHelperService::DecideGranted);
}

void PowerHelperService::DischargeOnMains(const QString& battery) { Change(battery, kDischargeOnMains); }

void PowerHelperService::InhibitCharge(const QString& battery) { Change(battery, kInhibitCharge); }

void PowerHelperService::LiftChargeLimit(const QString& battery) { Change(battery, kLiftChargeLimit); }

QStringList PowerHelperService::Offers(const QString& battery) {
    ++received_;
    Outcome outcome;
    const auto attributes = BatteryAttributes::Open(sysfsRoot_, battery, outcome);
    if (!attributes) {
        sendErrorReply(ErrorOf(outcome), outcome.message);
        return {};
    }
    Settle();
    return powerhelper::Offers(*attributes);
}

void PowerHelperService::Change(const QString& battery, const QString& offer) {
    ++received_;
    const QString caller = message().service();
    if (stopping_)
        return sendErrorReply(QDBusError::Failed, QStringLiteral("the helper is stopping"));
    if (const Outcome outcome = Check(sysfsRoot_, battery, offer); !outcome.ok())
        return sendErrorReply(ErrorOf(outcome), outcome.message);
    if (PendingOf(caller) >= kMaxPendingPerCaller)
        return sendErrorReply(QDBusError::LimitsExceeded,
                              QStringLiteral("%1 changes are already waiting for an answer").arg(kMaxPendingPerCaller));
    callers_->Watch(caller);
    setDelayedReply(true);
    const quint64 id = nextCall_++;
    calls_[id] = {caller, battery, offer, message(), {}};
    // Asked once, held to the end: a caller holding a change under the same
    // action on the same battery is not asked again.
    if (ledger_.HoldsUnder(caller, battery, ActionId(offer)))
        return Decide(id, Authorization::Allowed, {});
    CheckAuthorization(bus_, caller, ActionId(offer), {{QStringLiteral("battery"), battery}},
                       message().isInteractiveAuthorizationAllowed(), this,
                       [this, id](Authorization authorization, const QString& why) { Decide(id, authorization, why); });
}

void PowerHelperService::Decide(quint64 id, Authorization authorization, const QString& why) {
    const auto it = calls_.find(id);
    if (it == calls_.end())
        return;  // answered already, as the helper stopped
    // The ledger keeps the caller's user: a grant that came before the bus
    // said who the caller is waits for that answer.
    if (authorization == Authorization::Allowed && it->second.withdrawn.isEmpty()
        && !callers_->UserOf(it->second.caller) && !callers_->Gone(it->second.caller)) {
        it->second.granted = true;
        return;
    }
    const Call call = it->second;
    calls_.erase(it);
    const QString who = callers_->Describe(call.caller);
    const std::optional<uint> uid = callers_->UserOf(call.caller);
    QDBusMessage reply;
    if (authorization == Authorization::Unavailable) {
        qCWarning(lcPowerHelper).noquote() << "cannot ask about" << call.offer << "on" << call.battery << "for" << who
                                           << ":" << why;
        reply = call.request.createErrorReply(kAuthorityUnavailable, why);
    } else if (authorization == Authorization::Refused) {
        qCInfo(lcPowerHelper).noquote() << "refused" << call.offer << "on" << call.battery << "to" << who << ":" << why;
        reply = call.request.createErrorReply(QDBusError::AccessDenied, why);
    } else if (!call.withdrawn.isEmpty() || !uid) {
        const QString reason = !call.withdrawn.isEmpty() ? call.withdrawn : QStringLiteral("the caller has left");
        qCInfo(lcPowerHelper).noquote() << "not applying" << call.offer << "on" << call.battery << "for" << who
                                        << "though granted:" << reason;
        reply = call.request.createErrorReply(QDBusError::Failed, reason);
    } else if (const Outcome outcome = Apply(call, *uid); !outcome.ok()) {
        qCWarning(lcPowerHelper).noquote() << call.offer << "on" << call.battery << "failed for" << who << ":"
                                           << outcome.message;
        reply = call.request.createErrorReply(ErrorOf(outcome), outcome.message);
    } else {
        qCInfo(lcPowerHelper).noquote() << call.offer << "on" << call.battery << "for" << who;
        reply = call.request.createReply();
    }
    bus_.send(reply);
    ForgetIfDone(call.caller);
    Settle();
}

Outcome PowerHelperService::Apply(const Call& call, uint uid) {
    const Holder holder{call.caller, uid, ActionId(call.offer)};
    QList<Setting> recorded;
    // Kept on disk before sysfs is written, so that a crash cannot lose it.
    const BeforeWrite keep = [&](const QString& attribute, const QString& found) -> Outcome {
        const Setting setting{call.battery, attribute};
        if (!ledger_.Record(holder, setting, found))
            return {};
        QString error;
        if (!file_.Save(ledger_, &error)) {
            ledger_.Drop(call.caller, setting);
            return Outcome::Failed(QStringLiteral("cannot keep a record of the change: %1").arg(error));
        }
        recorded << setting;
        return {};
    };
    Outcome outcome;
    std::vector<powerhelper::Change> changes;
    if (const auto attributes = BatteryAttributes::Open(sysfsRoot_, call.battery, outcome))
        outcome = call.offer == kLiftChargeLimit ? powerhelper::LiftChargeLimit(*attributes, changes, keep)
                                                 : SetChargeBehaviour(*attributes, call.offer, changes, keep);
    if (!outcome.ok() && !recorded.isEmpty()) {
        for (const Setting& setting : recorded)
            ledger_.Drop(call.caller, setting);
        QString error;
        if (!file_.Save(ledger_, &error))
            qCWarning(lcPowerHelper).noquote() << error;
    }
    return outcome;
}

bool PowerHelperService::Restore(const QString& battery) {
    return RestoreSetting(battery, QString());
}

bool PowerHelperService::RestoreSetting(const QString& battery, const QString& offer) {
    ++received_;
    const QString caller = message().service();
    if (!offer.isEmpty() && AttributesOf(offer).isEmpty()) {
        sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("\"%1\" is not an offer").arg(offer));
        return false;
    }
    Outcome outcome;
    if (!battery.isEmpty() && !ledger_.HoldsUnder(caller, battery, {}) &&
        !BatteryAttributes::Open(sysfsRoot_, battery, outcome)) {
        sendErrorReply(ErrorOf(outcome), outcome.message);
        return false;
    }
    Withdraw(caller, battery, offer, QStringLiteral("the caller asked to put it back meanwhile"));
    const bool released = Release(caller, battery, offer, QStringLiteral("as asked"));
    ForgetIfDone(caller);
    Settle();
    return released;
}

bool PowerHelperService::Release(const QString& caller, const QString& battery, const QString& offer,
                                 const QString& why) {
    const QString who = callers_->Describe(caller);
    const std::vector<Restoration> restorations = ledger_.Release(caller, battery, AttributesOf(offer));
    if (restorations.empty())
        return false;
    const QStringList failures = PutBackAll(sysfsRoot_, restorations, QStringLiteral("for %1 %2").arg(who, why));
    QString error;
    if (!file_.Save(ledger_, &error))
        qCWarning(lcPowerHelper).noquote() << error;
    if (!failures.isEmpty() && calledFromDBus())
        sendErrorReply(QDBusError::Failed, failures.join(QStringLiteral("; ")));
    return true;
}

void PowerHelperService::Withdraw(const QString& caller, const QString& battery, const QString& offer,
                                  const QString& why) {
    for (auto& [id, call] : calls_) {
        const bool sameSetting = offer.isEmpty() || AttributesOf(call.offer) == AttributesOf(offer);
        if (call.caller == caller && (battery.isEmpty() || call.battery == battery) && sameSetting)
            call.withdrawn = why;
    }
    DecideGranted(caller);
}

void PowerHelperService::DecideGranted(const QString& caller) {
    std::vector<quint64> granted;
    for (const auto& [id, call] : calls_) {
        if (call.caller == caller && call.granted)
            granted.push_back(id);
    }
    for (const quint64 id : granted)
        Decide(id, Authorization::Allowed, {});
}

void PowerHelperService::CallerLeft(const QString& caller) {
    Withdraw(caller, {}, {}, QStringLiteral("the caller left the bus"));
    Release(caller, {}, {}, QStringLiteral("as it left the bus"));
    ForgetIfDone(caller);
    Settle();
}

void PowerHelperService::Stop() {
    stopping_ = true;
    for (const auto& [id, call] : calls_) {
        qCInfo(lcPowerHelper).noquote() << "not applying" << call.offer << "on" << call.battery << "for"
                                        << callers_->Describe(call.caller) << ": the helper is stopping";
        bus_.send(call.request.createErrorReply(QDBusError::Failed, QStringLiteral("the helper is stopping")));
    }
    calls_.clear();
    for (const QString& caller : ledger_.Callers())
        Release(caller, {}, {}, QStringLiteral("as the helper stops"));
}

int PowerHelperService::PendingOf(const QString& caller) const {
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                          [&](const auto& entry) { return entry.second.caller == caller; }));
}

void PowerHelperService::ForgetIfDone(const QString& caller) {
    if (PendingOf(caller) == 0 && !ledger_.Holds(caller))
        callers_->Forget(caller);
}

void PowerHelperService::Settle() {
    if (Idle())
        emit idle();
}

}  // namespace powerhelper
