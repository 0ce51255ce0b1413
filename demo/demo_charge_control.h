// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include "platform/power_helper_client.h"
#include "power/simulated_battery.h"

namespace demo {

// The power helper of the simulated machine: no bus, no password, but the
// same calls answered a moment later, as the real one answers.
class DemoChargeControl final : public platform::ChargeControl {
public:
    explicit DemoChargeControl(power::SimulatedBattery& battery) : battery_(battery) {}

    void QueryOffers(const QString& battery, Offered done) override;
    void DischargeOnMains(const QString& battery, bool interactive, Done done) override;
    void LiftChargeLimit(const QString& battery, bool interactive, Done done) override;
    // The adaptor runs the machine and the battery rests.
    void InhibitCharge(const QString& battery, bool interactive, Done done) override;
    void Restore(const QString& battery, Done done) override;
    void RestoreSetting(const QString& battery, const QString& offer, Done done) override;

private:
    void Later(std::function<void()> answer);
    void PutBack(const QString& offer);

    power::SimulatedBattery& battery_;
    int limitFound_ = 0;  // the limit before this program lifted it; 0 when it did not
    QObject context_;     // answers on their way are dropped with it
};

}  // namespace demo
