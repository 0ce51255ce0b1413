// SPDX-License-Identifier: GPL-3.0-or-later
#include "power/simulated_battery.h"

#include <algorithm>

#include "power/power_status_rules.h"

namespace power {

SimulatedBattery::SimulatedBattery(std::function<qint64()> clockMs)
    : clockMs_(std::move(clockMs)), lastMs_(clockMs_())
{
}

// Every setter first brings the charge up to now, so that a change applies
// from the moment it is made.
void SimulatedBattery::SetAcPlugged(bool plugged)
{
    CatchUp();
    acPlugged_ = plugged;
    fullSinceMs_ = -1;
}

void SimulatedBattery::SetChargePercent(double percent)
{
    CatchUp();
    percent_ = std::clamp(percent, 0.0, 100.0);
    fullSinceMs_ = -1;
}

void SimulatedBattery::SetChargingStalled(bool stalled)
{
    CatchUp();
    stalled_ = stalled;
}

void SimulatedBattery::SetReadingUnknown(bool unknown) { readingUnknown_ = unknown; }
void SimulatedBattery::SetQueryFails(bool fails) { queryFails_ = fails; }

void SimulatedBattery::SetBatteryPresent(bool present)
{
    CatchUp();
    present_ = present;
}

void SimulatedBattery::SetCapacityWh(double capacityWh)
{
    CatchUp();
    capacityWh_ = capacityWh;
}

void SimulatedBattery::SetDrawW(double drawW)
{
    CatchUp();
    drawW_ = drawW;
    drawHook_ = nullptr;
}

void SimulatedBattery::SetDrawHook(std::function<double()> drawW)
{
    CatchUp();
    drawHook_ = std::move(drawW);
}

void SimulatedBattery::SetChargeRateW(double chargeRateW)
{
    CatchUp();
    chargeRateW_ = chargeRateW;
}

void SimulatedBattery::SetCycleCount(int cycles) { cycleCount_ = cycles; }
void SimulatedBattery::SetGaugeErrorAtEmpty(double points) { gaugeErrorAtEmpty_ = std::clamp(points, 0.0, 100.0); }

void SimulatedBattery::SetForceDischarge(bool force)
{
    CatchUp();
    forceDischarge_ = force;
    fullSinceMs_ = -1;
}

bool SimulatedBattery::ForceDischarge()
{
    CatchUp();
    return forceDischarge_;
}

void SimulatedBattery::SetChargeLimit(int percent)
{
    CatchUp();
    chargeLimit_ = std::clamp(percent, 1, 100);
    fullSinceMs_ = -1;
}

QStringList SimulatedBattery::ChargeBlockers()
{
    if (chargeLimit_ >= 100)
        return {};
    return {QStringLiteral("A charge limit stops charging at %1 %.").arg(chargeLimit_)};
}

double SimulatedBattery::ShownPercent() const
{
    return percent_ + gaugeErrorAtEmpty_ * (100.0 - percent_) / 100.0;
}

double SimulatedBattery::ChargePercent()
{
    CatchUp();
    return percent_;
}

bool SimulatedBattery::Charging()
{
    CatchUp();
    return ChargerRuns() && (percent_ < Top() || fullSinceMs_ < 0 || lastMs_ - fullSinceMs_ < kTrickleMs);
}

bool SimulatedBattery::SwitchedOff()
{
    CatchUp();
    return switchedOff_;
}

double SimulatedBattery::DrawW() const
{
    return std::max(0.0, drawHook_ ? drawHook_() : drawW_);
}

// The charge moves at the power of the last step over the time since.
void SimulatedBattery::CatchUp()
{
    const qint64 now = clockMs_();
    const double hours = static_cast<double>(now - lastMs_) / 3'600'000.0;
    if (hours <= 0 || !present_ || capacityWh_ <= 0) {
        lastMs_ = std::max(lastMs_, now);
        return;
    }
    if (ChargerRuns()) {
        const double percentPerHour = 100.0 * chargeRateW_ / capacityWh_;
        if (percent_ < Top() && percentPerHour > 0) {
            const double hoursToFull = (Top() - percent_) / percentPerHour;
            if (hoursToFull <= hours)
                fullSinceMs_ = lastMs_ + static_cast<qint64>(hoursToFull * 3'600'000.0);
            percent_ = std::min(Top(), percent_ + percentPerHour * hours);
        } else if (percent_ >= Top() && fullSinceMs_ < 0) {
            fullSinceMs_ = lastMs_;
        }
    } else if (Draining()) {
        percent_ = std::max(0.0, percent_ - 100.0 * DrawW() / capacityWh_ * hours);
        if (percent_ <= 0.0 && acPlugged_) {
            forceDischarge_ = false;
            gaugeErrorAtEmpty_ = 0.0;
        }
        switchedOff_ = switchedOff_ || (percent_ <= 0.0 && !acPlugged_);
    }
    lastMs_ = now;
}

int SimulatedBattery::Query(SYSTEM_POWER_STATUS& status)
{
    const bool charging = Charging();  // catches up
    if (queryFails_) {
        status = power::UnknownPowerStatus();
        return 0;
    }
    status = power::PowerStatus(acPlugged_ ? power::kAcOnline : power::kAcOffline, 0, 0);
    if (!present_) {
        status.ACLineStatus = power::kAcOnline;
        status.BatteryFlag = power::kFlagNoSystemBattery;
        status.BatteryLifePercent = power::kUnknownByte;
    } else if (readingUnknown_) {
        status.BatteryFlag = power::kUnknownByte;
        status.BatteryLifePercent = power::kUnknownByte;
    } else {
        status.BatteryLifePercent = power::RoundedPercent(ShownPercent());
        status.BatteryFlag = power::BatteryFlagFor(status.BatteryLifePercent, charging);
        if (Draining()) {
            const power::BatteryTimes times =
                power::TimesOnBattery(capacityWh_ * ShownPercent() / 100.0, capacityWh_, DrawW());
            status.BatteryLifeTime = times.remaining;
            status.BatteryFullLifeTime = times.full;
        }
    }
    return 1;
}


BatteryDetails SimulatedBattery::Details()
{
    constexpr double kDesignOverFull = 1.05;
    const bool charging = Charging();  // catches up
    if (queryFails_ || !present_)
        return {};
    BatteryDetails details;
    details.energyDesignWh = capacityWh_ * kDesignOverFull;
    details.voltageV = 11.4;
    details.cycleCount = cycleCount_;
    details.model = QStringLiteral("Simulated battery");
    details.name = QStringLiteral("BAT0");
    details.technology = QStringLiteral("Li-ion");
    if (readingUnknown_) {
        details.status = QStringLiteral("Unknown");
        return details;
    }
    details.energyFullWh = capacityWh_;
    details.energyNowWh = capacityWh_ * ShownPercent() / 100.0;
    details.powerW = Draining() ? DrawW() : charging ? std::max(0.0, chargeRateW_) : 0.0;
    details.status = charging      ? QStringLiteral("Charging")
                     : Draining() ? QStringLiteral("Discharging")
                     : percent_ >= 100.0 ? QStringLiteral("Full")
                                         : QStringLiteral("Not charging");
    return details;
}

}  // namespace power
