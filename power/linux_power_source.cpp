#include "power/linux_power_source.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
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
    // As the battery reports them, without the fallback: for the details.
    std::optional<double> reportedFullWh;
    std::optional<double> designWh;
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

// Whether the details want the design value even where the full one is known.
enum class Reading { Record, Details };

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

std::optional<double> Scaled(std::optional<double> value, double factor)
{
    return value ? std::optional<double>(*value * factor) : std::nullopt;
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

// Calls visit(name, entry) for every directory under directory that can be
// opened, hidden ones aside. False when the directory cannot be read.
template <typename Visit>
bool ForEachEntry(const std::string& directory, Visit visit)
{
    DIR* listing = ::opendir(directory.c_str());
    if (!listing)
        return false;
    while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_name[0] == '.')
            continue;
        const Supply supply(::dirfd(listing), entry->d_name);
        if (supply.IsOpen())  // else gone since the listing, or not a directory
            visit(entry->d_name, supply);
    }
    ::closedir(listing);
    return true;
}

// Nothing when the directory cannot be read. onBattery(name, supply,
// battery) may read more of each system battery while it is open.
template <typename OnBattery>
std::optional<Supplies> ReadSupplies(const std::string& directory, Reading reading, OnBattery onBattery)
{
    Supplies supplies;
    const bool readable = ForEachEntry(directory, [&](const char* name, const Supply& supply) {
        switch (KindOf(supply)) {
        case Kind::Battery:
            supplies.batteries.push_back(ReadBattery(supply, reading));
            onBattery(name, supply, supplies.batteries.back());
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
    });
    if (!readable)
        return std::nullopt;
    return supplies;
}

std::optional<Supplies> ReadSupplies(const std::string& directory)
{
    return ReadSupplies(directory, Reading::Record, [](const char*, const Supply&, const Battery&) {});
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

// One system battery as the details report it.
struct DetailedBattery {
    std::string name;
    Battery battery;
    std::optional<std::string> status;
    std::optional<std::string> model;
    std::optional<std::string> technology;
    std::optional<double> voltageNowV;
    std::optional<double> cycleCount;
};

DetailedBattery ReadDetails(const char* name, const Supply& supply, const Battery& battery)
{
    const auto voltage = PositiveOrNothing(supply.Magnitude("voltage_now"));
    return {name,
            battery,
            supply.Text("status"),
            supply.Text("model_name"),
            supply.Text("technology"),
            Scaled(voltage, 1e-6),
            supply.Number("cycle_count")};
}

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
    // Many firmwares write 0 or -1 for a count they do not keep.
    const auto cycles = batteries.front().cycleCount;
    if (cycles && *cycles > 0 && *cycles < 1e9)
        details.cycleCount = static_cast<int>(*cycles);
    QStringList models;
    for (const DetailedBattery& detailed : batteries) {
        if (detailed.model)
            models << QString::fromStdString(*detailed.model);
        if (detailed.technology && details.technology.isEmpty())
            details.technology = QString::fromStdString(*detailed.technology);
    }
    details.model = models.join(QStringLiteral(", "));
    details.status = CombinedStatus(batteries);
    return details;
}

// One system battery's settings that bear on charging to full.
struct ChargeSettings {
    QString name;
    std::optional<double> percent;
    bool notCharging = false;
    std::optional<double> endThreshold;
    std::optional<std::string> behaviour;  // the active choice
};

// The bracketed choice of "auto [inhibit-charge] force-discharge"; a lone
// word is the choice itself.
std::optional<std::string> ActiveChoice(const std::optional<std::string>& text)
{
    if (!text)
        return std::nullopt;
    const auto open = text->find('[');
    const auto close = text->find(']', open);
    if (open != std::string::npos && close != std::string::npos)
        return text->substr(open + 1, close - open - 1);
    if (text->find(' ') == std::string::npos)
        return text;
    return std::nullopt;
}

ChargeSettings ReadChargeSettings(const char* name, const Supply& supply, const Battery& battery)
{
    const auto status = supply.Text("status");
    return {QString::fromUtf8(name), battery.percent, status && EqualsIgnoringCase(*status, "Not charging"),
            supply.Magnitude("charge_control_end_threshold"), ActiveChoice(supply.Text("charge_behaviour"))};
}

QString RestoreLimitAdvice()
{
    return QStringLiteral(" Set the limit to 100 % in your vendor tool or firmware settings for the run, and back "
                          "afterwards.");
}

std::optional<QString> ThresholdBlocker(const ChargeSettings& battery)
{
    if (!battery.endThreshold || *battery.endThreshold >= 100)
        return std::nullopt;
    return QStringLiteral("%1 stops charging at %2 % (its charge limit), so it never reaches full and the gauge "
                          "never learns where full is.")
               .arg(battery.name, QString::number(*battery.endThreshold)) +
           RestoreLimitAdvice();
}

std::optional<QString> BehaviourBlocker(const ChargeSettings& battery)
{
    if (!battery.behaviour || *battery.behaviour == "auto")
        return std::nullopt;
    const QString advice = QStringLiteral(" Set its charge behaviour to auto for the run, and back afterwards.");
    if (*battery.behaviour == "inhibit-charge")
        return QStringLiteral("%1 is set not to charge (inhibit-charge), so it never reaches full.").arg(battery.name) +
               advice;
    if (*battery.behaviour == "force-discharge")
        return QStringLiteral("%1 is set to drain even on mains (force-discharge), so it cannot charge to full.")
                   .arg(battery.name) +
               advice;
    return QStringLiteral("%1 has its charge behaviour set to %2 rather than auto, so it may not charge to full.")
               .arg(battery.name, QString::fromStdString(*battery.behaviour)) +
           advice;
}

// Not charging on mains well short of full, and no charge limit explains it.
// heldBackUnexplained: on mains, and no conservation mode to explain it.
std::optional<QString> HeldBackBlocker(const ChargeSettings& battery, bool heldBackUnexplained)
{
    if (!heldBackUnexplained || !battery.notCharging || !battery.percent)
        return std::nullopt;
    const double fullEnough = battery.endThreshold ? *battery.endThreshold - 2 : 97;
    if (*battery.percent >= fullEnough)
        return std::nullopt;
    return QStringLiteral("%1 is not charging on mains at %2 %, so the firmware is holding the charge back. Look "
                          "for a charge limit or battery care setting in your vendor tool or firmware settings, "
                          "turn it off for the run, and back on afterwards.")
        .arg(battery.name, QString::number(std::lround(*battery.percent)));
}

QStringList BlockersOf(std::vector<ChargeSettings> batteries, bool heldBackUnexplained)
{
    std::sort(batteries.begin(), batteries.end(),
              [](const ChargeSettings& a, const ChargeSettings& b) { return a.name < b.name; });
    QStringList blockers;
    for (const ChargeSettings& battery : batteries) {
        for (const auto& blocker :
             {ThresholdBlocker(battery), BehaviourBlocker(battery), HeldBackBlocker(battery, heldBackUnexplained)}) {
            if (blocker)
                blockers << *blocker;
        }
    }
    return blockers;
}

// Lenovo IdeaPads hold the battery at about 60 % while conservation mode is on.
bool ConservationModeOn(const std::string& platformDirectory)
{
    bool on = false;
    ForEachEntry(platformDirectory, [&](const char*, const Supply& device) {
        const auto mode = device.Number("conservation_mode");
        on = on || (mode && *mode == 1);
    });
    return on;
}

}  // namespace

LinuxPowerSource::LinuxPowerSource(QString directory, QString platformDirectory)
    : directory_(QFile::encodeName(directory).toStdString()),
      platformDirectory_(QFile::encodeName(platformDirectory).toStdString())
{
}

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

BatteryDetails LinuxPowerSource::Details()
{
    std::vector<DetailedBattery> batteries;
    ReadSupplies(directory_, Reading::Details, [&](const char* name, const Supply& supply, const Battery& battery) {
        batteries.push_back(ReadDetails(name, supply, battery));
    });
    return DetailsOf(std::move(batteries));
}

QStringList LinuxPowerSource::ChargeBlockers()
{
    std::vector<ChargeSettings> batteries;
    const auto supplies =
        ReadSupplies(directory_, Reading::Record, [&](const char* name, const Supply& supply, const Battery& battery) {
            batteries.push_back(ReadChargeSettings(name, supply, battery));
        });
    const bool onMains = supplies && AcLineStatusOf(*supplies) == power::kAcOnline;
    const bool conservation = ConservationModeOn(platformDirectory_);
    QStringList blockers = BlockersOf(std::move(batteries), onMains && !conservation);
    if (conservation)
        blockers << QStringLiteral("Conservation mode is on, so the battery stops charging at about 60 % and never "
                                   "reaches full. Turn it off in your vendor tool or firmware settings for the run, "
                                   "and back on afterwards.");
    return blockers;
}

std::unique_ptr<PowerStatusSource> CreateSystemPowerSource()
{
    return std::make_unique<LinuxPowerSource>(QStringLiteral("/sys/class/power_supply"));
}

}  // namespace power
