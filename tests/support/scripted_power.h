// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include "power/power_status_source.h"

// A power source whose record the test sets directly; onQuery may change
// what one particular query reports.
struct ScriptedPower : power::PowerStatusSource {
    SYSTEM_POWER_STATUS status{1, 1, 100, 0, -1, -1};
    int result = 1;
    int queries = 0;
    std::function<void(SYSTEM_POWER_STATUS&)> onQuery;

    QStringList blockers;
    QStringList ChargeBlockers() override { return blockers; }
    power::BatteryDetails details{.name = QStringLiteral("BAT0")};
    power::BatteryDetails Details() override { return details; }
    power::Temperatures temperatures;
    power::Temperatures ReadTemperatures() override { return temperatures; }

    int Query(SYSTEM_POWER_STATUS& out) override
    {
        ++queries;
        out = status;
        if (onQuery)
            onQuery(out);
        return result;
    }
    void Set(std::uint8_t ac, std::uint8_t flag, std::uint8_t percent)
    {
        status.ACLineStatus = ac;
        status.BatteryFlag = flag;
        status.BatteryLifePercent = percent;
    }
};
