#pragma once

#include <QString>
#include <QStringList>

// Builds a power_supply class directory the way sysfs lays it out: each
// supply a directory under devices/, linked from power_supply/.
//
// A supply is written "NAME: attribute=value; attribute=value"; every value
// is written with the kernel's trailing newline.
namespace power_supply_tree {

// Writes the supplies under root and returns the class directory.
QString Build(const QString& root, const QStringList& supplies);

// Attribute sets of real machines, from public bug reports and UPower's
// own tests.
QStringList EnergyUnitsAtThreshold();         // F1
QStringList ChargeUnitsDischarging();         // F2
QStringList CapacityOnlyWithVendorNoise();    // F3
QStringList TwoBatteriesSecondDrained();      // F4
QStringList PeripheralBatteriesOnly();        // F5
QStringList UsbCAdaptorAtThreshold();         // F7

}  // namespace power_supply_tree
