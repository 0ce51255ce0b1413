// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace platform {

// Changes the battery's charging through Dorvik's power helper, a system
// service that asks polkit for permission: discharging on mains, holding
// the charge, lifting the charge limit, and putting back what this program
// changed. The calls never wait: each answer comes to its callback while
// the event loop runs. reason is a short line for the user, empty when it
// went through. interactive lets polkit ask for a password: only for what
// the user has just asked for, never for a call made in the background.
class ChargeControl {
public:
    using Offered = std::function<void(const QStringList& offers, const QString& reason)>;
    using Done = std::function<void(bool ok, const QString& reason)>;

    // What the battery offers; RestoreSetting names the same words.
    static inline const QString kDischargeOnMains = QStringLiteral("discharge-on-mains");
    static inline const QString kLiftChargeLimit = QStringLiteral("lift-charge-limit");
    static inline const QString kInhibitCharge = QStringLiteral("inhibit-charge");

    virtual ~ChargeControl() = default;
    virtual void QueryOffers(const QString& battery, Offered done) = 0;
    virtual void DischargeOnMains(const QString& battery, bool interactive, Done done) = 0;
    virtual void LiftChargeLimit(const QString& battery, bool interactive, Done done) = 0;
    virtual void InhibitCharge(const QString& battery, bool interactive, Done done) = 0;
    // Puts back what this program changed on the battery. The helper also
    // does so by itself when the program ends.
    virtual void Restore(const QString& battery, Done done) = 0;
    // Puts back only what the offer changed; the others stay held.
    virtual void RestoreSetting(const QString& battery, const QString& offer, Done done) = 0;

    // Runs when the helper leaves the bus, or another takes its name, while
    // this program holds a change: the helper has put every change back.
    void OnHelperLost(std::function<void()> lost) { helperLost_ = std::move(lost); }

protected:
    void HelperLost() const
    {
        if (helperLost_)
            helperLost_();
    }

private:
    std::function<void()> helperLost_;
};

// The power helper on the system bus; one that reports it is not available
// on Windows and inside a Flatpak sandbox.
std::unique_ptr<ChargeControl> MakeChargeControl();

// One that answers every call with reason, at once.
std::unique_ptr<ChargeControl> MakeUnavailableChargeControl(const QString& reason);

// The user's line for a D-Bus error from the helper.
QString ChargeControlReason(const QString& errorName, const QString& message);
// Its reason for a change polkit refused.
inline const QString kNotAuthorised = QStringLiteral("not authorised");

}  // namespace platform
