// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/power_helper_client.h"

namespace platform {
namespace {

class UnavailableChargeControl final : public ChargeControl {
public:
    explicit UnavailableChargeControl(QString reason) : reason_(std::move(reason)) {}
    void QueryOffers(const QString&, Offered done) override { done({}, reason_); }
    void DischargeOnMains(const QString&, bool, Done done) override { done(false, reason_); }
    void LiftChargeLimit(const QString&, bool, Done done) override { done(false, reason_); }
    void InhibitCharge(const QString&, bool, Done done) override { done(false, reason_); }
    void Restore(const QString&, Done done) override { done(false, reason_); }
    void RestoreSetting(const QString&, const QString&, Done done) override { done(false, reason_); }

private:
    QString reason_;
};

}  // namespace

std::unique_ptr<ChargeControl> MakeUnavailableChargeControl(const QString& reason) {
    return std::make_unique<UnavailableChargeControl>(reason);
}

QString ChargeControlReason(const QString& errorName, const QString& message) {
    const QString bus = QStringLiteral("org.freedesktop.DBus.Error.");
    if (errorName == bus + QLatin1String("ServiceUnknown") || errorName == bus + QLatin1String("NameHasNoOwner") ||
        errorName.startsWith(bus + QLatin1String("Spawn")))
        return QStringLiteral("the power helper is not installed");
    if (errorName == bus + QLatin1String("AccessDenied"))
        return kNotAuthorised;
    if (errorName == QLatin1String("io.github.dorvik.PowerHelper1.Error.AuthorityUnavailable"))
        return QStringLiteral("the authorization service is not running");
    if (errorName == bus + QLatin1String("NoReply") || errorName == bus + QLatin1String("Timeout"))
        return QStringLiteral("the power helper did not answer");
    if (errorName == bus + QLatin1String("Disconnected") || errorName == bus + QLatin1String("NoServer"))
        return QStringLiteral("there is no system bus");
    if (errorName == bus + QLatin1String("InvalidArgs") || errorName == bus + QLatin1String("Failed"))
        return QStringLiteral("refused: %1").arg(message);
    return QStringLiteral("the power helper failed: %1").arg(message.isEmpty() ? errorName : message);
}

}  // namespace platform
