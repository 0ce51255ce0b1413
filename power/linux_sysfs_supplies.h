// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <dirent.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The power supplies under a power_supply class directory, as read from
// their attribute files. The record, the details and the charge findings
// are all made from these.
namespace power::sysfs {

bool EqualsIgnoringCase(std::string_view a, std::string_view b);
std::optional<double> PositiveOrNothing(std::optional<double> value);
std::optional<double> Scaled(std::optional<double> value, double factor);

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }

private:
    int fd_;
};

// One supply's directory. Attributes are read only when asked for, so a
// query touches few files.
class Supply {
public:
    Supply(int classDirectory, const char* name);
    bool IsOpen() const { return directory_.IsOpen(); }

    // The trimmed text, or nothing when the file cannot be read, is empty or
    // is too long to be an attribute.
    std::optional<std::string> Text(const char* attribute) const;
    // A finite number, or nothing.
    std::optional<double> Number(const char* attribute) const;
    // A finite number of at least zero, or nothing.
    std::optional<double> Magnitude(const char* attribute) const;

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

// Whether the details want the design value even where the full one is known.
enum class Reading { Record, Details };

// Adds the supply to supplies when it is one of the system's. True when it
// is a battery, which is then supplies.batteries.back().
bool AddSupply(Supplies& supplies, const Supply& supply, Reading reading);

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
        if (AddSupply(supplies, supply, reading))
            onBattery(name, supply, supplies.batteries.back());
    });
    if (!readable)
        return std::nullopt;
    return supplies;
}

std::optional<Supplies> ReadSupplies(const std::string& directory);

}  // namespace power::sysfs
