// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "powerhelper/battery_attributes.h"

#include <QStringList>
#include <utility>
#include <vector>

namespace powerhelper {

inline const QString kDischargeOnMains = QStringLiteral("discharge-on-mains");
inline const QString kLiftChargeLimit = QStringLiteral("lift-charge-limit");

// A setting the helper set, and what it held before.
struct Change {
    QString attribute;
    QString found;
};

// Which of kDischargeOnMains and kLiftChargeLimit the battery offers:
// force-discharge among the charge behaviours; an end threshold below 100 or
// conservation mode on.
QStringList Offers(const BatteryAttributes& battery);

// Whether the change can be asked for at all, before anyone is asked for
// permission.
Outcome CheckDischargeOnMains(const BatteryAttributes& battery);
Outcome CheckLiftChargeLimit(const BatteryAttributes& battery);

// Make the change, each write read back. On success changes lists every
// setting set, with what it held before; on failure what was written is
// put back and changes stays empty.
Outcome DischargeOnMains(const BatteryAttributes& battery, std::vector<Change>& changes);
Outcome LiftChargeLimit(const BatteryAttributes& battery, std::vector<Change>& changes);

// Writes found values back (attribute, value), thresholds in an order the
// driver accepts. Goes on past a failure; the outcome names every one.
Outcome PutBack(const BatteryAttributes& battery, const std::vector<std::pair<QString, QString>>& values);

}  // namespace powerhelper
