#include "power/linux_power_source.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <vector>

#include "power/system_power_source.h"
#include "power/power_status_rules.h"

namespace power {
namespace {

// Longer than any value the kernel writes; a longer file is not an attribute.
constexpr std::size_t kMaxAttributeBytes = 64;
// Stands in for an unknown voltage of a battery that reports charge only;
// for a single battery it cancels out of the times.
constexpr double kNominalVolts = 10.8;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_;
};

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

std::string_view Trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// One supply's directory. Attributes are read only when asked for, so a
// query touches few files.
class Supply {
public:
    Supply(int classDirectory, const char* name)
        : directory_(::openat(classDirectory, name, O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC))
    {
    }
    bool IsOpen() const { return directory_.IsOpen(); }

    // The trimmed text, or nothing when the file cannot be read, is empty or
    // is too long to be an attribute. O_NONBLOCK keeps a FIFO from hanging.
    std::optional<std::string> Text(const char* attribute) const
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

    // A finite number, or nothing.
    std::optional<double> Number(const char* attribute) const
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

    // A finite number of at least zero, or nothing.
    std::optional<double> Magnitude(const char* attribute) const
    {
        const auto value = Number(attribute);
        return value && *value >= 0 ? value : std::nullopt;
    }

private:
    FileDescriptor directory_;
};

enum class BatteryState { Charging, Discharging, Other };

struct Battery {
    BatteryState state = BatteryState::Other;
    std::optional<double> percent;
    std::optional<double> energyWh;
    std::optional<double> fullEnergyWh;
    std::optional<double> rateW;
};

struct Supplies {
    std::vector<Battery> batteries;
    bool hasLineSupply = false;
    bool lineOnline = false;
};

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

std::optional<double> PositiveOrNothing(std::optional<double> value)
{
    return value && *value > 0 ? value : std::nullopt;
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

// Now and full in one unit (µWh or µAh); a missing or zero full value
// falls back to the design value.
struct Gauge {
    double now;
    std::optional<double> full;
};

// Nothing when the battery does not report in this unit.
std::optional<Gauge> GaugeOf(const Supply& supply, const char* now, const char* full, const char* design)
{
    const auto nowValue = supply.Magnitude(now);
    if (!nowValue)
        return std::nullopt;
    auto fullValue = PositiveOrNothing(supply.Magnitude(full));
    if (!fullValue)
        fullValue = PositiveOrNothing(supply.Magnitude(design));
    return Gauge{*nowValue, fullValue};
}

Battery ReadBattery(const Supply& supply)
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
    auto gauge = GaugeOf(supply, "energy_now", "energy_full", "energy_full_design");
    if (!gauge) {
        gauge = GaugeOf(supply, "charge_now", "charge_full", "charge_full_design");
        if (gauge)
            microToWh = voltsOnce() * 1e-6;
    }
    if (gauge) {
        battery.energyWh = gauge->now * microToWh;
        if (gauge->full) {
            battery.fullEnergyWh = *gauge->full * microToWh;
            if (!battery.percent)
                battery.percent = 100.0 * gauge->now / *gauge->full;
        }
    }

    if (const auto power = supply.Number("power_now"))
        battery.rateW = std::abs(*power) * 1e-6;
    else if (const auto current = supply.Number("current_now"))
        battery.rateW = std::abs(*current) * voltsOnce() * 1e-6;
    return battery;
}

// Nothing when the directory cannot be read.
std::optional<Supplies> ReadSupplies(const std::string& directory)
{
    DIR* listing = ::opendir(directory.c_str());
    if (!listing)
        return std::nullopt;
    Supplies supplies;
    while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_name[0] == '.')
            continue;
        const Supply supply(::dirfd(listing), entry->d_name);
        if (!supply.IsOpen())
            continue;  // gone since the listing, or not a supply at all
        switch (KindOf(supply)) {
        case Kind::Battery:
            supplies.batteries.push_back(ReadBattery(supply));
            break;
        case Kind::LineSupply: {
            supplies.hasLineSupply = true;
            const auto online = supply.Number("online");
            supplies.lineOnline = supplies.lineOnline || (online && *online > 0);
            break;
        }
        case Kind::Ignored:
            break;
        }
    }
    ::closedir(listing);
    return supplies;
}

bool AnyBatteryIs(const Supplies& supplies, BatteryState state)
{
    for (const Battery& battery : supplies.batteries) {
        if (battery.state == state)
            return true;
    }
    return false;
}

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

}  // namespace

LinuxPowerSource::LinuxPowerSource(QString directory) : directory_(QFile::encodeName(directory).toStdString()) {}

int LinuxPowerSource::Query(SYSTEM_POWER_STATUS& status)
{
    const auto supplies = ReadSupplies(directory_);
    if (!supplies) {
        status = power::UnknownPowerStatus();
        return 0;
    }
    status = RecordOf(*supplies);
    return 1;
}

std::unique_ptr<PowerStatusSource> CreateSystemPowerSource()
{
    return std::make_unique<LinuxPowerSource>(QStringLiteral("/sys/class/power_supply"));
}

}  // namespace power
