// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/demo_charge_control.h"

#include <QTimer>

namespace demo {

void DemoChargeControl::QueryOffers(const QString&, Offered done)
{
    Later([this, done] {
        QStringList offers{kDischargeOnMains, kInhibitCharge};
        if (battery_.ChargeLimit() < 100 || limitFound_ > 0)
            offers << kLiftChargeLimit;
        done(offers, QString());
    });
}

void DemoChargeControl::DischargeOnMains(const QString&, bool, Done done)
{
    Later([this, done] {
        battery_.SetForceDischarge(true);
        done(true, QString());
    });
}

void DemoChargeControl::LiftChargeLimit(const QString&, bool, Done done)
{
    Later([this, done] {
        if (battery_.ChargeLimit() < 100) {
            limitFound_ = battery_.ChargeLimit();
            battery_.SetChargeLimit(100);
        }
        done(true, QString());
    });
}

void DemoChargeControl::InhibitCharge(const QString&, bool, Done done)
{
    Later([this, done] {
        battery_.SetInhibitCharge(true);
        done(true, QString());
    });
}

void DemoChargeControl::Restore(const QString&, Done done)
{
    Later([this, done] {
        PutBack(kDischargeOnMains);
        PutBack(kLiftChargeLimit);
        done(true, QString());
    });
}

void DemoChargeControl::RestoreSetting(const QString&, const QString& offer, Done done)
{
    Later([this, offer, done] {
        PutBack(offer);
        done(true, QString());
    });
}

// The discharge and the rest share one setting, charge_behaviour: putting
// back either returns it to auto.
void DemoChargeControl::PutBack(const QString& offer)
{
    if (offer == kLiftChargeLimit) {
        if (limitFound_ > 0)
            battery_.SetChargeLimit(limitFound_);
        limitFound_ = 0;
        return;
    }
    battery_.SetForceDischarge(false);
    battery_.SetInhibitCharge(false);
}

void DemoChargeControl::Later(std::function<void()> answer)
{
    QTimer::singleShot(0, &context_, std::move(answer));
}

}  // namespace demo
