// SPDX-License-Identifier: GPL-3.0-or-later
#include "power/linux_supply_details.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace power::sysfs {
namespace {

// A sum only when every battery knows its part: a partial one would mislead.
// Absurd charges times absurd voltages can overflow: that is unknown too.
std::optional<double> SumOverAll(const std::vector<DetailedBattery>& batteries, std::optional<double> Battery::*value)
{
    double sum = 0;
    for (const DetailedBattery& detailed : batteries) {
        const auto part = detailed.battery.*value;
        if (!part)
            return std::nullopt;
        sum += *part;
    }
    return std::isfinite(sum) ? std::optional<double>(sum) : std::nullopt;
}

std::optional<double> MeanVoltage(const std::vector<DetailedBattery>& batteries)
{
    double sum = 0;
    int known = 0;
    for (const DetailedBattery& detailed : batteries) {
        if (detailed.voltageNowV) {
            sum += *detailed.voltageNowV;
            ++known;
        }
    }
    return known > 0 ? std::optional<double>(sum / known) : std::nullopt;
}

// Old firmware writes the status in lower case.
QString StatusText(const std::optional<std::string>& status)
{
    if (!status)
        return {};
    for (const char* known : {"Charging", "Discharging", "Full", "Not charging", "Unknown"}) {
        if (EqualsIgnoringCase(*status, known))
            return QString::fromLatin1(known);
    }
    return QString::fromStdString(*status);
}

QString CombinedStatus(const std::vector<DetailedBattery>& batteries)
{
    const auto any = [&](BatteryState state) {
        return std::any_of(batteries.begin(), batteries.end(),
                           [state](const DetailedBattery& detailed) { return detailed.battery.state == state; });
    };
    if (any(BatteryState::Charging))
        return QStringLiteral("Charging");
    if (any(BatteryState::Discharging))
        return QStringLiteral("Discharging");
    return StatusText(batteries.front().status);
}

}  // namespace

DetailedBattery ReadDetails(const char* name, const Supply& supply, const Battery& battery)
{
    const auto voltage = PositiveOrNothing(supply.Magnitude("voltage_now"));
    return {name,
            battery,
            supply.Text("status"),
            supply.Text("model_name"),
            supply.Text("technology"),
            Scaled(voltage, 1e-6),
            supply.Number("cycle_count"),
            PositiveOrNothing(supply.Magnitude("time_to_full_now")),
            supply.Text("manufacturer"),
            supply.Text("serial_number")};
}

BatteryDetails DetailsOf(std::vector<DetailedBattery> batteries)
{
    BatteryDetails details;
    if (batteries.empty())
        return details;
    // Directory order is the driver's whim; "the first battery" must not be.
    std::sort(batteries.begin(), batteries.end(),
              [](const DetailedBattery& a, const DetailedBattery& b) { return a.name < b.name; });
    details.energyNowWh = SumOverAll(batteries, &Battery::energyWh);
    details.energyFullWh = SumOverAll(batteries, &Battery::reportedFullWh);
    details.energyDesignWh = SumOverAll(batteries, &Battery::designWh);
    details.powerW = SumOverAll(batteries, &Battery::rateW);
    details.voltageV = MeanVoltage(batteries);
    // Many firmwares write 0 or -1 for a count they do not keep; a fraction
    // of a cycle is no count either.
    const auto cycles = batteries.front().cycleCount;
    if (cycles && *cycles >= 1 && *cycles < 1e9)
        details.cycleCount = static_cast<int>(*cycles);
    // Batteries that charge one after the other are full when the last is.
    for (const DetailedBattery& detailed : batteries) {
        if (detailed.timeToFullS)
            details.timeToFullMinutes = std::max(details.timeToFullMinutes.value_or(0), *detailed.timeToFullS / 60);
    }
    QStringList models, makers, serials;
    for (const DetailedBattery& detailed : batteries) {
        if (detailed.model)
            models << QString::fromStdString(*detailed.model);
        if (detailed.manufacturer)
            makers << QString::fromStdString(*detailed.manufacturer);
        if (detailed.serial)
            serials << QString::fromStdString(*detailed.serial);
        if (detailed.technology && details.technology.isEmpty())
            details.technology = QString::fromStdString(*detailed.technology);
    }
    details.model = models.join(QStringLiteral(", "));
    details.manufacturer = makers.join(QStringLiteral(", "));
    details.serial = serials.join(QStringLiteral(", "));
    details.status = CombinedStatus(batteries);
    details.name = QString::fromStdString(batteries.front().name);
    return details;
}

}  // namespace power::sysfs
