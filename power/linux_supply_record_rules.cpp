// SPDX-License-Identifier: GPL-3.0-or-later
#include "power/linux_supply_record_rules.h"

#include "power/power_status_rules.h"

namespace power::sysfs {
namespace {

bool AnyBatteryIs(const Supplies& supplies, BatteryState state)
{
    for (const Battery& battery : supplies.batteries) {
        if (battery.state == state)
            return true;
    }
    return false;
}

std::uint8_t PercentOf(const std::vector<Battery>& batteries)
{
    if (batteries.size() == 1)
        return batteries.front().percent ? power::RoundedPercent(*batteries.front().percent) : power::kUnknownByte;

    // Several batteries: by their energies when all are known, so that a
    // small drained battery weighs less than a large full one.
    double energy = 0, fullEnergy = 0, percentSum = 0;
    int knownPercents = 0;
    bool allEnergiesKnown = true;
    for (const Battery& battery : batteries) {
        allEnergiesKnown = allEnergiesKnown && battery.energyWh && battery.fullEnergyWh;
        energy += battery.energyWh.value_or(0);
        fullEnergy += battery.fullEnergyWh.value_or(0);
        if (battery.percent) {
            percentSum += *battery.percent;
            ++knownPercents;
        }
    }
    if (allEnergiesKnown && fullEnergy > 0)
        return power::RoundedPercent(100.0 * energy / fullEnergy);
    return knownPercents > 0 ? power::RoundedPercent(percentSum / knownPercents) : power::kUnknownByte;
}

power::BatteryTimes TimesOf(const std::vector<Battery>& batteries)
{
    double energy = 0, fullEnergy = 0, rate = 0;
    for (const Battery& battery : batteries) {
        energy += battery.energyWh.value_or(0);
        fullEnergy += battery.fullEnergyWh.value_or(0);
        rate += battery.rateW.value_or(0);
    }
    return power::TimesOnBattery(energy, fullEnergy, rate);
}

}  // namespace

std::uint8_t AcLineStatusOf(const Supplies& supplies)
{
    if (supplies.lineOnline || AnyBatteryIs(supplies, BatteryState::Charging))
        return power::kAcOnline;
    if (AnyBatteryIs(supplies, BatteryState::Discharging))
        return power::kAcOffline;
    if (supplies.batteries.empty())
        return power::kAcOnline;  // a desktop, a VM, a container
    if (supplies.hasLineSupply)
        return power::kAcOffline;
    return power::kUnknownByte;
}

SYSTEM_POWER_STATUS RecordOf(const Supplies& supplies)
{
    SYSTEM_POWER_STATUS status{};
    status.ACLineStatus = AcLineStatusOf(supplies);
    status.BatteryLifeTime = power::kUnknownTime;
    status.BatteryFullLifeTime = power::kUnknownTime;
    if (supplies.batteries.empty()) {
        status.BatteryFlag = power::kFlagNoSystemBattery;
        status.BatteryLifePercent = power::kUnknownByte;
        return status;
    }
    status.BatteryLifePercent = PercentOf(supplies.batteries);
    status.BatteryFlag = status.BatteryLifePercent == power::kUnknownByte
                             ? power::kUnknownByte
                             : power::BatteryFlagFor(status.BatteryLifePercent,
                                                     AnyBatteryIs(supplies, BatteryState::Charging));
    if (status.ACLineStatus == power::kAcOffline) {
        const power::BatteryTimes times = TimesOf(supplies.batteries);
        status.BatteryLifeTime = times.remaining;
        status.BatteryFullLifeTime = times.full;
    }
    return status;
}

}  // namespace power::sysfs
