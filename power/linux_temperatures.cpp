// SPDX-License-Identifier: GPL-3.0-or-later
#include "power/linux_temperatures.h"

#include <QFile>
#include <algorithm>
#include <string>

#include "power/linux_sysfs_supplies.h"

namespace power {
namespace {

// Zones report 0, -273.2 or an all-ones value when the sensor is absent.
constexpr double kLowestCelsius = -40;
constexpr double kHighestCelsius = 150;
// Zones have a handful of trip points; a listing beyond this is not real.
constexpr int kMaxTripPoints = 32;

std::optional<double> Celsius(std::optional<double> reading, double perDegree)
{
    if (!reading)
        return std::nullopt;
    const double celsius = *reading / perDegree;
    if (celsius <= kLowestCelsius || celsius >= kHighestCelsius || celsius == 0)
        return std::nullopt;
    return celsius;
}

std::optional<double> FirstPassiveTrip(const sysfs::Supply& zone)
{
    for (int n = 0; n < kMaxTripPoints; ++n) {
        const std::string prefix = "trip_point_" + std::to_string(n);
        const auto type = zone.Text((prefix + "_type").c_str());
        if (!type)
            return std::nullopt;
        if (*type != "passive")
            continue;
        if (const auto trip = Celsius(zone.Number((prefix + "_temp").c_str()), 1000))
            return trip;
    }
    return std::nullopt;
}

void AddZone(Temperatures& temperatures, const sysfs::Supply& zone)
{
    const auto celsius = Celsius(zone.Number("temp"), 1000);
    if (!celsius)
        return;
    const auto trip = FirstPassiveTrip(zone);
    if (trip) {
        const double margin = *trip - *celsius;
        temperatures.passiveMarginCelsius = std::min(margin, temperatures.passiveMarginCelsius.value_or(margin));
    }
    if (!temperatures.hottestZone || *celsius > temperatures.hottestZone->celsius) {
        const auto type = zone.Text("type");
        temperatures.hottestZone = ThermalZoneReading{
            type ? QString::fromStdString(*type) : QStringLiteral("unnamed"), *celsius, trip};
    }
}

}  // namespace

LinuxTemperatures::LinuxTemperatures(QString powerSupplyDirectory, QString thermalDirectory)
    : powerSupplyDirectory_(QFile::encodeName(powerSupplyDirectory).toStdString()),
      thermalDirectory_(QFile::encodeName(thermalDirectory).toStdString())
{
}

Temperatures LinuxTemperatures::Read()
{
    Temperatures temperatures;
    sysfs::ReadSupplies(powerSupplyDirectory_, sysfs::Reading::Record,
                        [&](const char*, const sysfs::Supply& supply, const sysfs::Battery&) {
                            const auto celsius = Celsius(supply.Number("temp"), 10);
                            if (celsius && *celsius > temperatures.batteryCelsius.value_or(*celsius - 1))
                                temperatures.batteryCelsius = celsius;
                        });
    sysfs::ForEachEntry(thermalDirectory_, [&](const char* name, const sysfs::Supply& zone) {
        if (std::string_view(name).starts_with("thermal_zone"))
            AddZone(temperatures, zone);
    });
    return temperatures;
}

std::unique_ptr<TemperatureSource> CreateSystemTemperatureSource()
{
    // The same variables that point the power status elsewhere, for tests
    // and for trees copied from another machine.
    const QString supplies = qEnvironmentVariable("DORVIK_POWER_SUPPLY_DIR");
    const QString thermal = qEnvironmentVariable("DORVIK_THERMAL_DIR");
    return std::make_unique<LinuxTemperatures>(supplies.isEmpty() ? QStringLiteral("/sys/class/power_supply") : supplies,
                                               thermal.isEmpty() ? QStringLiteral("/sys/class/thermal") : thermal);
}

}  // namespace power
