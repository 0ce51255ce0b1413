// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "power/linux_sysfs_supplies.h"

// The settings that keep a battery from charging to full, each found with
// the sentence that tells the user what to do about it.
namespace power::sysfs {

// One system battery's settings that bear on charging to full.
struct ChargeSettings {
    QString name;
    std::optional<double> percent;
    bool notCharging = false;
    std::optional<double> startThreshold;
    std::optional<double> endThreshold;
    std::optional<std::string> behaviour;  // the active choice
};

ChargeSettings ReadChargeSettings(const char* name, const Supply& supply, const Battery& battery);

// The sentences for every battery, in name order; reads no file.
// heldBackUnexplained: on mains, and no conservation mode to explain it.
QStringList BlockersOf(std::vector<ChargeSettings> batteries, bool heldBackUnexplained);

// Lenovo IdeaPads hold the battery at about 60 % while conservation mode is on.
bool ConservationModeOn(const std::string& platformDirectory);
QString ConservationModeBlocker();

}  // namespace power::sysfs
