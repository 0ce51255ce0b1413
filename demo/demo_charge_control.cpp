// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/demo_charge_control.h"

#include <QTimer>

namespace demo {

void DemoChargeControl::QueryOffers(const QString&, Offered done)
{
    Later([this, done] {
        QStringList offers{kDischargeOnMains};
        if (battery_.ChargeLimit() < 100 || limitFound_ > 0)
            offers << kLiftChargeLimit;
        done(offers, QString());
    });
}

void DemoChargeControl::DischargeOnMains(const QString&, Done done)
{
    Later([this, done] {
        battery_.SetForceDischarge(true);
        done(true, QString());
    });
}

void DemoChargeControl::LiftChargeLimit(const QString&, Done done)
{
    Later([this, done] {
        if (battery_.ChargeLimit() < 100) {
            limitFound_ = battery_.ChargeLimit();
            battery_.SetChargeLimit(100);
        }
        done(true, QString());
    });
}

void DemoChargeControl::Restore(const QString&, Done done)
{
    Later([this, done] {
        battery_.SetForceDischarge(false);
        if (limitFound_ > 0)
            battery_.SetChargeLimit(limitFound_);
        limitFound_ = 0;
        done(true, QString());
    });
}

void DemoChargeControl::Later(std::function<void()> answer)
{
    QTimer::singleShot(0, &context_, std::move(answer));
}

}  // namespace demo
