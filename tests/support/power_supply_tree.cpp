// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/power_supply_tree.h"

#include <QDir>
#include <QFile>

namespace power_supply_tree {

QString Build(const QString& root, const QStringList& supplies)
{
    QDir rootDir(root);
    rootDir.mkpath(QStringLiteral("power_supply"));
    for (const QString& supply : supplies) {
        const QString name = supply.section(QStringLiteral(": "), 0, 0);
        const QString device = QStringLiteral("devices/") + name;
        rootDir.mkpath(device);
        for (const QString& assignment : supply.section(QStringLiteral(": "), 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QFile file(rootDir.filePath(device + QLatin1Char('/') + assignment.section(QLatin1Char('='), 0, 0).trimmed()));
            if (!file.open(QIODevice::WriteOnly) || file.write(assignment.section(QLatin1Char('='), 1).toUtf8() + '\n') < 0)
                qFatal("cannot write %s", qPrintable(file.fileName()));
        }
        QFile::link(QStringLiteral("../") + device, rootDir.filePath(QStringLiteral("power_supply/") + name));
    }
    return rootDir.filePath(QStringLiteral("power_supply"));
}

QStringList EnergyUnitsAtThreshold()
{
    return {"BAT0: type=Battery; present=1; status=Not charging; cycle_count=326; energy_full_design=80400000; "
            "energy_full=69240000; energy_now=65440000; power_now=0; charge_control_start_threshold=90; "
            "charge_control_end_threshold=95",
            "AC: type=Mains; online=1"};
}

QStringList ChargeUnitsDischarging()
{
    return {"BAT0: type=Battery; present=1; status=Discharging; technology=Li-poly; voltage_min_design=11400000; "
            "voltage_now=12600000; current_now=756000; charge_full_design=4912000; charge_full=4804000; "
            "charge_now=4723000; capacity=98; capacity_level=Normal",
            "AC: type=Mains; online=0"};
}

QStringList TwoBatteriesSecondDrained()
{
    return {"BAT0: type=Battery; present=1; status=Discharging; energy_full=60000000; energy_full_design=80000000; "
            "energy_now=48000000; voltage_now=12000000; power_now=12000000",
            "BAT1: type=Battery; present=1; status=Unknown; voltage_min_design=10800000; voltage_now=10532000; "
            "power_now=0; energy_full_design=31320000; energy_full=30380000; energy_now=0; capacity=0; "
            "capacity_level=Critical",
            "AC: type=Mains; online=0"};
}

QStringList PeripheralBatteriesOnly()
{
    return {"hidpp_battery_3: type=Battery; scope=Device; present=1; online=1; status=Discharging; capacity=30",
            "hid-0018:04F3:2AF0.0002-battery: type=Battery; scope=Device; status=Unknown; capacity=100",
            "AC: type=Mains; online=1"};
}

}  // namespace power_supply_tree
