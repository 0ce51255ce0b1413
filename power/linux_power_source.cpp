// SPDX-License-Identifier: GPL-3.0-or-later
#include "power/linux_power_source.h"

#include <QFile>

#include "power/linux_charge_blockers.h"
#include "power/linux_supply_details.h"
#include "power/linux_supply_record_rules.h"
#include "power/linux_sysfs_supplies.h"
#include "power/power_status_rules.h"
#include "power/system_power_source.h"

namespace power {

LinuxPowerSource::LinuxPowerSource(QString directory, QString platformDirectory)
    : directory_(QFile::encodeName(directory).toStdString()),
      platformDirectory_(QFile::encodeName(platformDirectory).toStdString())
{
}

int LinuxPowerSource::Query(SYSTEM_POWER_STATUS& status)
{
    const auto supplies = sysfs::ReadSupplies(directory_);
    if (!supplies) {
        status = power::UnknownPowerStatus();
        return 0;
    }
    status = sysfs::RecordOf(*supplies);
    return 1;
}

BatteryDetails LinuxPowerSource::Details()
{
    std::vector<sysfs::DetailedBattery> batteries;
    sysfs::ReadSupplies(directory_, sysfs::Reading::Details,
                        [&](const char* name, const sysfs::Supply& supply, const sysfs::Battery& battery) {
                            batteries.push_back(sysfs::ReadDetails(name, supply, battery));
                        });
    return sysfs::DetailsOf(std::move(batteries));
}

QStringList LinuxPowerSource::ChargeBlockers()
{
    std::vector<sysfs::ChargeSettings> batteries;
    const auto supplies = sysfs::ReadSupplies(
        directory_, sysfs::Reading::Record,
        [&](const char* name, const sysfs::Supply& supply, const sysfs::Battery& battery) {
            batteries.push_back(sysfs::ReadChargeSettings(name, supply, battery));
        });
    const bool onMains = supplies && sysfs::AcLineStatusOf(*supplies) == power::kAcOnline;
    const bool conservation = sysfs::ConservationModeOn(platformDirectory_);
    QStringList blockers = sysfs::BlockersOf(std::move(batteries), onMains && !conservation);
    if (conservation)
        blockers << sysfs::ConservationModeBlocker();
    return blockers;
}

Temperatures LinuxPowerSource::ReadTemperatures()
{
    return temperatures_ ? temperatures_->Read() : Temperatures{};
}

std::unique_ptr<PowerStatusSource> CreateSystemPowerSource()
{
    // DORVIK_POWER_SUPPLY_DIR points Dorvik at another tree, for tests and
    // for reading a tree copied from another machine.
    const QString directory = qEnvironmentVariable("DORVIK_POWER_SUPPLY_DIR");
    auto source =
        std::make_unique<LinuxPowerSource>(directory.isEmpty() ? QStringLiteral("/sys/class/power_supply") : directory);
    source->WatchTemperatures(CreateSystemTemperatureSource());
    return source;
}

}  // namespace power
