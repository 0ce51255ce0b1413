#include "support/power_supply_tree.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

namespace power_supply_tree {
namespace {

void WriteAttribute(const QDir& device, const QString& assignment)
{
    const qsizetype equals = assignment.indexOf(QLatin1Char('='));
    if (equals < 0)
        throw std::invalid_argument("attribute without '=': " + assignment.toStdString());
    QFile file(device.filePath(assignment.left(equals).trimmed()));
    if (!file.open(QIODevice::WriteOnly) || file.write(assignment.mid(equals + 1).toUtf8() + '\n') < 0)
        throw std::runtime_error("cannot write " + file.fileName().toStdString());
}

}  // namespace

QString Build(const QString& root, const QStringList& supplies)
{
    QDir rootDir(root);
    rootDir.mkpath(QStringLiteral("power_supply"));
    rootDir.mkpath(QStringLiteral("devices"));
    for (const QString& supply : supplies) {
        const qsizetype colon = supply.indexOf(QStringLiteral(": "));
        const QString name = colon < 0 ? supply.chopped(supply.endsWith(QLatin1Char(':'))) : supply.left(colon);
        rootDir.mkpath(QStringLiteral("devices/") + name);
        const QDir device(rootDir.filePath(QStringLiteral("devices/") + name));
        if (colon >= 0) {
            for (const QString& assignment : supply.mid(colon + 2).split(QLatin1Char(';'), Qt::SkipEmptyParts))
                WriteAttribute(device, assignment.trimmed());
        }
        QFile::link(QStringLiteral("../devices/") + name, rootDir.filePath(QStringLiteral("power_supply/") + name));
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

QStringList CapacityOnlyWithVendorNoise()
{
    return {"battery: type=Battery; present=1; status=Charging; capacity=77; voltage_max=4400000; voltage_now=4268584",
            "bms: type=BMS; capacity=77; current_now=-1543885; power_now=52842898",
            "charge_pump_master: type=Nothing attached"};
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

QStringList UsbCAdaptorAtThreshold()
{
    return {"ucsi-source-psy-USBC000:001: type=USB; online=1; scope=System; usb_type=C [PD] PD_PPS; "
            "voltage_now=5000000; current_now=3000000",
            "ucsi-source-psy-USBC000:002: type=USB; online=0",
            "AC: type=Mains; online=1",
            "BAT0: type=Battery; status=Not charging; capacity=80"};
}

}  // namespace power_supply_tree
