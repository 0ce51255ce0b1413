// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "powerhelper/battery_attributes.h"

#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

namespace powerhelper {

inline const QString kDischargeOnMains = QStringLiteral("discharge-on-mains");
inline const QString kInhibitCharge = QStringLiteral("inhibit-charge");
inline const QString kLiftChargeLimit = QStringLiteral("lift-charge-limit");

// A setting the helper set, and what it held before.
struct Change {
    QString attribute;
    QString found;
};

// Called before a setting is set, with what it holds; a failure stops the
// change before anything is written.
using BeforeWrite = std::function<Outcome(const QString& attribute, const QString& found)>;

// The attributes an offer may change; empty for a word that is no offer.
QStringList AttributesOf(const QString& offer);

// Which offers the battery has: force-discharge and inhibit-charge among its
// charge behaviours; an end threshold below 100 or conservation mode on.
QStringList Offers(const BatteryAttributes& battery);

// Whether the change can be asked for at all, before anyone is asked for
// permission. The charge behaviour offers are kDischargeOnMains and
// kInhibitCharge.
Outcome CheckChargeBehaviour(const BatteryAttributes& battery, const QString& offer);
Outcome CheckLiftChargeLimit(const BatteryAttributes& battery);

// Make the change, each write read back. On success changes lists every
// setting set, with what it held before; on failure what was written is
// put back and changes stays empty.
Outcome SetChargeBehaviour(const BatteryAttributes& battery, const QString& offer, std::vector<Change>& changes,
                           const BeforeWrite& before);
Outcome LiftChargeLimit(const BatteryAttributes& battery, std::vector<Change>& changes, const BeforeWrite& before);

// Writes found values back (attribute, value), thresholds in an order the
// driver accepts. Goes on past a failure; the outcome names every one.
Outcome PutBack(const BatteryAttributes& battery, const std::vector<std::pair<QString, QString>>& values);

}  // namespace powerhelper
