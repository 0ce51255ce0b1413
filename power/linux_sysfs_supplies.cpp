// SPDX-License-Identifier: GPL-3.0-or-later
#include "power/linux_sysfs_supplies.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace power::sysfs {
namespace {

// Longer than any value the kernel writes; a longer file is not an attribute.
constexpr std::size_t kMaxAttributeBytes = 64;
// Stands in for an unknown voltage of a battery that reports charge only;
// for a single battery it cancels out of the times.
constexpr double kNominalVolts = 10.8;

std::string_view Trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

enum class Kind { Battery, LineSupply, Ignored };

bool IsLineType(std::string_view type)
{
    return type == "Mains" || type == "USB" || type.starts_with("USB_") || type == "BrickID" ||
           type == "Wireless";
}

Kind KindOf(const Supply& supply)
{
    const auto type = supply.Text("type");
    const bool battery = type && *type == "Battery";
    if (!battery && !(type && IsLineType(*type)))
        return Kind::Ignored;
    const auto scope = supply.Text("scope");
    if (scope && EqualsIgnoringCase(*scope, "Device"))
        return Kind::Ignored;  // a mouse's or a pen's, never the system's
    if (!battery)
        return Kind::LineSupply;
    const auto present = supply.Number("present");
    return present && *present == 0 ? Kind::Ignored : Kind::Battery;
}

BatteryState StateOf(const Supply& supply)
{
    const auto status = supply.Text("status");
    if (status && EqualsIgnoringCase(*status, "Charging"))
        return BatteryState::Charging;
    if (status && EqualsIgnoringCase(*status, "Discharging"))
        return BatteryState::Discharging;
    return BatteryState::Other;
}

std::optional<double> Volts(const Supply& supply)
{
    for (const char* attribute : {"voltage_max_design", "voltage_min_design", "voltage_now"}) {
        const auto microvolts = supply.Magnitude(attribute);
        if (microvolts && *microvolts > 1e6)
            return *microvolts / 1e6;
    }
    return std::nullopt;
}

// Now, full and design in one unit (µWh or µAh), as the battery reports them.
struct Gauge {
    double now;
    std::optional<double> full;
    std::optional<double> design;

    // A missing or zero full value falls back to the design value.
    std::optional<double> FullOrDesign() const
    {
        const auto reported = PositiveOrNothing(full);
        return reported ? reported : PositiveOrNothing(design);
    }
};

// Nothing when the battery does not report in this unit.
std::optional<Gauge> GaugeOf(const Supply& supply, const char* now, const char* full, const char* design,
                             Reading reading)
{
    const auto nowValue = supply.Magnitude(now);
    if (!nowValue)
        return std::nullopt;
    Gauge gauge{*nowValue, supply.Magnitude(full), std::nullopt};
    if (reading == Reading::Details || !PositiveOrNothing(gauge.full))
        gauge.design = supply.Magnitude(design);
    return gauge;
}

Battery ReadBattery(const Supply& supply, Reading reading)
{
    Battery battery;
    battery.state = StateOf(supply);
    if (const auto capacity = supply.Magnitude("capacity"))
        battery.percent = std::min(*capacity, 100.0);

    // Read only when needed: each attribute read costs a visit to the driver.
    std::optional<double> volts;
    const auto voltsOnce = [&] {
        if (!volts)
            volts = Volts(supply).value_or(kNominalVolts);
        return *volts;
    };

    double microToWh = 1e-6;
    auto gauge = GaugeOf(supply, "energy_now", "energy_full", "energy_full_design", reading);
    if (!gauge) {
        gauge = GaugeOf(supply, "charge_now", "charge_full", "charge_full_design", reading);
        if (gauge)
            microToWh = voltsOnce() * 1e-6;
    }
    if (gauge) {
        battery.energyWh = gauge->now * microToWh;
        battery.reportedFullWh = Scaled(gauge->full, microToWh);
        battery.designWh = Scaled(gauge->design, microToWh);
        if (const auto full = gauge->FullOrDesign()) {
            battery.fullEnergyWh = *full * microToWh;
            if (!battery.percent)
                battery.percent = 100.0 * gauge->now / *full;
        }
    }

    if (const auto power = supply.Number("power_now"))
        battery.rateW = std::abs(*power) * 1e-6;
    else if (const auto current = supply.Number("current_now"))
        battery.rateW = std::abs(*current) * voltsOnce() * 1e-6;
    return battery;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::optional<double> PositiveOrNothing(std::optional<double> value)
{
    return value && *value > 0 ? value : std::nullopt;
}

std::optional<double> Scaled(std::optional<double> value, double factor)
{
    return value ? std::optional<double>(*value * factor) : std::nullopt;
}

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Supply::Supply(int classDirectory, const char* name)
    : directory_(::openat(classDirectory, name, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC))
{
}

// O_NONBLOCK keeps a FIFO from hanging.
std::optional<std::string> Supply::Text(const char* attribute) const
{
    const FileDescriptor file(::openat(directory_.Get(), attribute, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.IsOpen())
        return std::nullopt;
    char buffer[kMaxAttributeBytes + 1];
    const ssize_t size = ::read(file.Get(), buffer, sizeof buffer);
    if (size <= 0 || static_cast<std::size_t>(size) > kMaxAttributeBytes)
        return std::nullopt;
    const std::string_view text = Trimmed(std::string_view(buffer, static_cast<std::size_t>(size)));
    if (text.empty())
        return std::nullopt;
    return std::string(text);
}

std::optional<double> Supply::Number(const char* attribute) const
{
    const auto text = Text(attribute);
    if (!text)
        return std::nullopt;
    double value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> Supply::Magnitude(const char* attribute) const
{
    const auto value = Number(attribute);
    return value && *value >= 0 ? value : std::nullopt;
}

bool AddSupply(Supplies& supplies, const Supply& supply, Reading reading)
{
    switch (KindOf(supply)) {
    case Kind::Battery:
        supplies.batteries.push_back(ReadBattery(supply, reading));
        return true;
    case Kind::LineSupply: {
        supplies.hasLineSupply = true;
        const auto online = supply.Number("online");
        supplies.lineOnline = supplies.lineOnline || (online && *online > 0);
        return false;
    }
    case Kind::Ignored:
        break;
    }
    return false;
}

std::optional<Supplies> ReadSupplies(const std::string& directory)
{
    return ReadSupplies(directory, Reading::Record, [](const char*, const Supply&, const Battery&) {});
}

}  // namespace power::sysfs
