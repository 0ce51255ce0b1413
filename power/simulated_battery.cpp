// SPDX-License-Identifier: GPL-3.0-or-later
#include "power/simulated_battery.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

#include "power/power_status_rules.h"

namespace power {
namespace {

constexpr int kCells = 3;
constexpr double kMaxCellV = 4.2;
// A cell's rested voltage by charge: steep at both ends, flat in between.
constexpr std::array<std::pair<double, double>, 12> kRestedCellV{{{0, 3.35}, {5, 3.55}, {10, 3.62}, {20, 3.68},
    {30, 3.73}, {40, 3.77}, {50, 3.80}, {60, 3.85}, {70, 3.92}, {80, 3.99}, {90, 4.07}, {100, 4.17}}};
constexpr double kSeriesOhm = 0.12;        // the pack's: the drop comes and goes with the current
constexpr double kPolarisationOhm = 0.06;  // the part that lags, and relaxes after
// The lag relaxes quicker at full than near empty.
constexpr double kRelaxFullMinutes = 9, kRelaxEmptyMinutes = 40;
// The pack sits in the machine: it warms with everything the machine burns.
constexpr double kKelvinPerW = 0.35, kThermalMinutes = 15;
// The processor package runs hot and follows the load at once.
constexpr double kPackageAboveRoom = 10, kPackageKelvinPerW = 0.9;

double RestedV(double percent)
{
    const auto upper = std::lower_bound(kRestedCellV.begin() + 1, kRestedCellV.end() - 1, percent,
                                        [](const auto& point, double p) { return point.first < p; });
    const auto lower = std::prev(upper);
    const double t = std::clamp((percent - lower->first) / (upper->first - lower->first), 0.0, 1.0);
    return kCells * (lower->second + t * (upper->second - lower->second));
}

// Toward `target` over `minutes`, as a first-order lag with the given time constant.
double Toward(double value, double target, double minutes, double tauMinutes)
{
    return target + (value - target) * std::exp(-minutes / tauMinutes);
}

}  // namespace

SimulatedBattery::SimulatedBattery(std::function<qint64()> clockMs)
    : clockMs_(std::move(clockMs)), lastMs_(clockMs_())
{
}

// Every setter first brings the charge up to now, so that a change applies
// from the moment it is made.
void SimulatedBattery::SetAcPlugged(bool plugged)
{
    CatchUp();
    if (plugged != acPlugged_)
        fullSinceMs_ = -1;
    acPlugged_ = plugged;
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
    if (force == (behaviour_ == Behaviour::ForceDischarge))
        return;
    behaviour_ = force ? Behaviour::ForceDischarge : Behaviour::Auto;
    fullSinceMs_ = -1;
}

bool SimulatedBattery::ForceDischarge()
{
    CatchUp();
    return behaviour_ == Behaviour::ForceDischarge;
}

void SimulatedBattery::SetInhibitCharge(bool inhibit)
{
    CatchUp();
    if (inhibit || behaviour_ == Behaviour::InhibitCharge)
        behaviour_ = inhibit ? Behaviour::InhibitCharge : Behaviour::Auto;
}

bool SimulatedBattery::InhibitCharge()
{
    CatchUp();
    return behaviour_ == Behaviour::InhibitCharge;
}

QString SimulatedBattery::ChargeBehaviour()
{
    CatchUp();
    switch (behaviour_) {
    case Behaviour::InhibitCharge: return QStringLiteral("inhibit-charge");
    case Behaviour::ForceDischarge: return QStringLiteral("force-discharge");
    case Behaviour::Auto: break;
    }
    return QStringLiteral("auto");
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
    return ChargerRuns() && (percent_ < Top() || ToppingUp());
}

bool SimulatedBattery::ToppingUp() const
{
    return fullSinceMs_ < 0 || lastMs_ - fullSinceMs_ < kTrickleMs;
}

double SimulatedBattery::BatteryPowerW(double drawW) const
{
    if (!present_)
        return 0.0;
    if (Draining())
        return switchedOff_ ? 0.0 : -drawW;
    if (!ChargerRuns())
        return 0.0;
    if (percent_ < Top() || ToppingUp())
        return std::max(0.0, chargeRateW_);
    return percent_ >= 100.0 ? kTrickleW : 0.0;
}

double SimulatedBattery::VoltageV()
{
    CatchUp();
    const double rested = RestedV(percent_);
    const double amps = -BatteryPowerW(DrawW()) / rested;
    return std::min(kCells * kMaxCellV, rested - amps * kSeriesOhm - polarisationV_);
}

double SimulatedBattery::BatteryCelsius()
{
    CatchUp();
    return celsius_;
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

// The voltage's lag and the heat follow the current of the step.
void SimulatedBattery::Settle(double hours, double drawW)
{
    const double minutes = hours * 60.0;
    const double amps = -BatteryPowerW(drawW) / RestedV(percent_);
    const double relaxMinutes = kRelaxEmptyMinutes + (kRelaxFullMinutes - kRelaxEmptyMinutes) * percent_ / 100.0;
    polarisationV_ = Toward(polarisationV_, amps * kPolarisationOhm, minutes, relaxMinutes);
    const double heatW = (switchedOff_ ? 0.0 : drawW) + amps * amps * (kSeriesOhm + kPolarisationOhm);
    celsius_ = Toward(celsius_, kRoomCelsius + kKelvinPerW * heatW, minutes, kThermalMinutes);
}

// The charge moves at the power of the last step over the time since.
void SimulatedBattery::CatchUp()
{
    const qint64 now = clockMs_();
    const double hours = static_cast<double>(now - lastMs_) / 3'600'000.0;
    const double drawW = DrawW();
    if (hours > 0)
        Settle(hours, drawW);
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
        percent_ = std::max(0.0, percent_ - 100.0 * drawW / capacityWh_ * hours);
        if (percent_ <= 0.0 && acPlugged_) {
            behaviour_ = Behaviour::Auto;
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
    details.voltageV = VoltageV();
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
    details.powerW = std::abs(BatteryPowerW(DrawW()));
    details.status = charging      ? QStringLiteral("Charging")
                     : Draining() ? QStringLiteral("Discharging")
                     : ChargerRuns() && percent_ >= 100.0 ? QStringLiteral("Full")
                                                          : QStringLiteral("Not charging");
    return details;
}

Temperatures SimulatedBattery::ReadTemperatures()
{
    CatchUp();
    Temperatures temperatures;
    if (present_)
        temperatures.batteryCelsius = celsius_;
    const double package =
        switchedOff_ ? kRoomCelsius : kRoomCelsius + kPackageAboveRoom + kPackageKelvinPerW * DrawW();
    temperatures.hottestZone =
        ThermalZoneReading{.type = QStringLiteral("x86_pkg_temp"), .celsius = package, .passiveTripCelsius = {}};
    return temperatures;
}

}  // namespace power
