// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "power/battery_details.h"
#include "power/linux_sysfs_supplies.h"

// The battery details from the supplies read from sysfs.
namespace power::sysfs {

// One system battery as the details report it.
struct DetailedBattery {
    std::string name;
    Battery battery;
    std::optional<std::string> status;
    std::optional<std::string> model;
    std::optional<std::string> technology;
    std::optional<double> voltageNowV;
    std::optional<double> cycleCount;
    std::optional<double> timeToFullS;
    std::optional<std::string> manufacturer{};
    std::optional<std::string> serial{};
};

// Reads what the details want beyond battery from the open supply.
DetailedBattery ReadDetails(const char* name, const Supply& supply, const Battery& battery);

// Every system battery's details summed up; reads no file.
BatteryDetails DetailsOf(std::vector<DetailedBattery> batteries);

}  // namespace power::sysfs
