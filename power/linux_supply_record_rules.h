// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "power/linux_sysfs_supplies.h"
#include "power/system_power_status.h"

// How the supplies read from sysfs become the power status record. Plain
// data in, plain data out: no file is read here.
namespace power::sysfs {

// On mains, on battery, or unknown, as Windows would report it.
std::uint8_t AcLineStatusOf(const Supplies& supplies);

SYSTEM_POWER_STATUS RecordOf(const Supplies& supplies);

}  // namespace power::sysfs
