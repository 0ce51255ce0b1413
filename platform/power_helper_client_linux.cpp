// SPDX-License-Identifier: GPL-3.0-or-later
// The power helper on the system bus, called asynchronously.
#include "platform/power_helper_client.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QFileInfo>
#include <QObject>
#include <QSet>
#include <QTimer>

namespace platform {
namespace {

const QString kService = QStringLiteral("io.github.dorvik.PowerHelper");

// Longer than the helper's own wait for polkit (240 s), so that its answer,
// a password dialog's included, always comes before this gives up.
constexpr int kAnswerTimeoutMs = 330 * 1000;

class HelperChargeControl final : public ChargeControl {
public:
    HelperChargeControl()
    {
        const QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected())
            return;
        watcher_ = new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, &context_);
        QObject::connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, &context_,
                         [this](const QString&, const QString& oldOwner, const QString&) {
                             // A helper that starts on the first call is no loss.
                             if (oldOwner.isEmpty() || held_.isEmpty())
                                 return;
                             held_.clear();
                             HelperLost();
                         });
    }

    void QueryOffers(const QString& battery, Offered done) override {
        Call(QStringLiteral("Offers"), {battery}, false, [done](const QDBusPendingCall& call) {
            const QDBusPendingReply<QStringList> reply = call;
            if (reply.isError())
                done({}, ChargeControlReason(reply.error().name(), reply.error().message()));
            else
                done(reply.value(), QString());
        });
    }
    void DischargeOnMains(const QString& battery, bool interactive, Done done) override {
        Change(QStringLiteral("DischargeOnMains"), kDischargeOnMains, battery, interactive, std::move(done));
    }
    void LiftChargeLimit(const QString& battery, bool interactive, Done done) override {
        Change(QStringLiteral("LiftChargeLimit"), kLiftChargeLimit, battery, interactive, std::move(done));
    }
    void InhibitCharge(const QString& battery, bool interactive, Done done) override {
        Change(QStringLiteral("InhibitCharge"), kInhibitCharge, battery, interactive, std::move(done));
    }
    void Restore(const QString& battery, Done done) override {
        Call(QStringLiteral("Restore"), {battery}, false, Answered([this, battery](bool ok) {
                 if (ok)
                     Drop(battery, {});
             }, std::move(done)));
    }
    void RestoreSetting(const QString& battery, const QString& offer, Done done) override {
        Call(QStringLiteral("RestoreSetting"), {battery, offer}, false, Answered([this, battery, offer](bool ok) {
                 if (ok)
                     Drop(battery, offer);
             }, std::move(done)));
    }

private:
    using Answer = std::function<void(const QDBusPendingCall&)>;

    static Answer Answered(std::function<void(bool)> note, Done done) {
        return [note = std::move(note), done = std::move(done)](const QDBusPendingCall& call) {
            note(!call.isError());
            if (call.isError())
                done(false, ChargeControlReason(call.error().name(), call.error().message()));
            else
                done(true, QString());
        };
    }

    // A grant whose answer came too late for this side is put back, so that
    // nothing stays changed that the run no longer knows of.
    void Change(const QString& method, const QString& offer, const QString& battery, bool interactive, Done done) {
        Call(method, {battery}, interactive, [this, battery, offer, done = std::move(done)](const QDBusPendingCall& call) {
            if (!call.isError()) {
                held_.insert(battery + QLatin1Char('/') + offer);
                return done(true, QString());
            }
            if (call.error().type() == QDBusError::NoReply || call.error().type() == QDBusError::Timeout)
                RestoreSetting(battery, offer, [](bool, const QString&) {});
            done(false, ChargeControlReason(call.error().name(), call.error().message()));
        });
    }

    void Drop(const QString& battery, const QString& offer) {
        held_.removeIf([&](const QString& key) {
            return offer.isEmpty() ? key.startsWith(battery + QLatin1Char('/')) : key == battery + QLatin1Char('/') + offer;
        });
    }

    void Call(const QString& method, const QVariantList& arguments, bool interactive, Answer answer) {
        QDBusMessage message = QDBusMessage::createMethodCall(kService, QStringLiteral("/io/github/dorvik/PowerHelper"),
                                                              QStringLiteral("io.github.dorvik.PowerHelper1"), method);
        message.setArguments(arguments);
        message.setInteractiveAuthorizationAllowed(interactive);
        const QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected()) {
            // A pending call on no bus never finishes: answer, later as ever.
            const QDBusError error(QDBusError::Disconnected, bus.lastError().message());
            QTimer::singleShot(0, &context_, [answer = std::move(answer), error] {
                answer(QDBusPendingCall::fromError(error));
            });
            return;
        }
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, kAnswerTimeoutMs), &context_);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_,
                         [watcher, answer = std::move(answer)] {
                             watcher->deleteLater();
                             answer(*watcher);
                         });
    }

    // Answers still on their way are dropped with it.
    QObject context_;
    QDBusServiceWatcher* watcher_ = nullptr;
    QSet<QString> held_;  // "battery/offer" granted and not yet put back
};

}  // namespace

std::unique_ptr<ChargeControl> MakeChargeControl() {
    if (QFileInfo::exists(QStringLiteral("/.flatpak-info")))
        return MakeUnavailableChargeControl(QStringLiteral("not available inside the Flatpak sandbox"));
    return std::make_unique<HelperChargeControl>();
}

}  // namespace platform
