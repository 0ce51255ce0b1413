// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <functional>
#include <vector>

#include "platform/power_helper_client.h"

// A ChargeControl for tests: it notes each call as "Method BATTERY", with
// " asking" when polkit may ask for a password, and answers from its fields,
// at once or, with deferred set, when Answer() is called, as the helper
// would after a password dialog.
class FakeChargeControl final : public platform::ChargeControl {
public:
    QStringList offers{kDischargeOnMains, kLiftChargeLimit};
    QString refusal;  // empty: every change goes through
    bool deferred = false;
    QStringList calls;

    void QueryOffers(const QString& battery, Offered done) override {
        calls << QStringLiteral("Offers ") + battery;
        Reply([this, done] { done(refusal.isEmpty() ? offers : QStringList(), refusal); });
    }
    void DischargeOnMains(const QString& b, bool asking, Done done) override { Change("DischargeOnMains", b, asking, done); }
    void LiftChargeLimit(const QString& b, bool asking, Done done) override { Change("LiftChargeLimit", b, asking, done); }
    void InhibitCharge(const QString& b, bool asking, Done done) override { Change("InhibitCharge", b, asking, done); }
    void Restore(const QString& battery, Done done) override { Change("Restore", battery, false, done); }
    void RestoreSetting(const QString& battery, const QString& offer, Done done) override {
        Change("RestoreSetting", battery + QLatin1Char(' ') + offer, false, done);
    }

    // Gives the answers held back while deferred, in the order asked.
    void Answer() {
        std::vector<std::function<void()>> answers;
        answers.swap(pending_);
        for (const auto& answer : answers)
            answer();
    }
    // The helper restarted: it has put everything back.
    void Lose() { HelperLost(); }

private:
    void Change(const char* method, const QString& battery, bool asking, Done done) {
        calls << QLatin1String(method) + QLatin1Char(' ') + battery + (asking ? QStringLiteral(" asking") : QString());
        Reply([this, done] { done(refusal.isEmpty(), refusal); });
    }
    void Reply(std::function<void()> answer) {
        if (deferred)
            pending_.push_back(std::move(answer));
        else
            answer();
    }

    std::vector<std::function<void()>> pending_;
};
