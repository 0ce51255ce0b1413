// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace power_supply_tree {

// Writes a power_supply class directory under root the way sysfs lays it
// out (each supply a directory under devices/, linked from power_supply/)
// and returns it. A supply is "NAME: attribute=value; attribute=value";
// every value gets the kernel's trailing newline.
QString Build(const QString& root, const QStringList& supplies);

// Attribute sets of real machines, from public bug reports and UPower's tests.
QStringList EnergyUnitsAtThreshold();     // F1
QStringList ChargeUnitsDischarging();     // F2
QStringList TwoBatteriesSecondDrained();  // F4
QStringList PeripheralBatteriesOnly();    // F5

}  // namespace power_supply_tree
