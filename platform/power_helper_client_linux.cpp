// SPDX-License-Identifier: GPL-3.0-or-later
// The power helper on the system bus, called asynchronously.
#include "platform/power_helper_client.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QObject>
#include <QTimer>

namespace platform {
namespace {

// A polkit password dialog may stay open for a while.
constexpr int kAnswerTimeoutMs = 5 * 60 * 1000;

class HelperChargeControl final : public ChargeControl {
public:
    void QueryOffers(const QString& battery, Offered done) override {
        Call(QStringLiteral("Offers"), battery, [done](const QDBusPendingCall& call) {
            const QDBusPendingReply<QStringList> reply = call;
            if (reply.isError())
                done({}, ChargeControlReason(reply.error().name(), reply.error().message()));
            else
                done(reply.value(), QString());
        });
    }
    void DischargeOnMains(const QString& battery, Done done) override {
        Change(QStringLiteral("DischargeOnMains"), battery, std::move(done));
    }
    void LiftChargeLimit(const QString& battery, Done done) override {
        Change(QStringLiteral("LiftChargeLimit"), battery, std::move(done));
    }
    void Restore(const QString& battery, Done done) override {
        Change(QStringLiteral("Restore"), battery, std::move(done));
    }

private:
    void Change(const QString& method, const QString& battery, Done done) {
        Call(method, battery, [done](const QDBusPendingCall& call) {
            if (call.isError())
                done(false, ChargeControlReason(call.error().name(), call.error().message()));
            else
                done(true, QString());
        });
    }

    void Call(const QString& method, const QString& battery, std::function<void(const QDBusPendingCall&)> answer) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("io.github.dorvik.PowerHelper"), QStringLiteral("/io/github/dorvik/PowerHelper"),
            QStringLiteral("io.github.dorvik.PowerHelper1"), method);
        message << battery;
        message.setInteractiveAuthorizationAllowed(true);
        const QDBusConnection bus = QDBusConnection::systemBus();
        if (!bus.isConnected()) {
            // A pending call on no bus never finishes: answer, later as ever.
            const QDBusError error(QDBusError::Disconnected, bus.lastError().message());
            QTimer::singleShot(0, &context_, [answer = std::move(answer), error] {
                answer(QDBusPendingCall::fromError(error));
            });
            return;
        }
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, kAnswerTimeoutMs),
                                                    &context_);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_,
                         [watcher, answer = std::move(answer)] {
                             watcher->deleteLater();
                             answer(*watcher);
                         });
    }

    // Answers still on their way are dropped with it.
    QObject context_;
};

}  // namespace

std::unique_ptr<ChargeControl> MakeChargeControl() {
    if (QFileInfo::exists(QStringLiteral("/.flatpak-info")))
        return MakeUnavailableChargeControl(QStringLiteral("not available inside the Flatpak sandbox"));
    return std::make_unique<HelperChargeControl>();
}

}  // namespace platform
