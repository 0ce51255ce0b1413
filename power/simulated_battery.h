// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

#include "power/power_status_source.h"

namespace power {

// A notebook battery in simulated time, for tests and the demo. The charge
// moves with the clock it is given: it rises on AC (unless charging
// stalls), falls with the draw on battery, and the times follow from the
// capacity and the draw. A three-cell Li-ion pack: its voltage sags under
// load and recovers slowly once the current stops (quicker at full than at
// empty), and it warms with the machine's draw and cools toward the room.
class SimulatedBattery : public PowerStatusSource {
public:
    // clockMs: simulated time in milliseconds; it never goes back.
    explicit SimulatedBattery(std::function<qint64()> clockMs);

    void SetAcPlugged(bool plugged);
    void SetChargePercent(double percent);
    void SetChargingStalled(bool stalled);
    // The gauge reads unknown (percent 255) while this is set.
    void SetReadingUnknown(bool unknown);
    void SetQueryFails(bool fails);
    void SetBatteryPresent(bool present);
    void SetCapacityWh(double capacityWh);
    void SetDrawW(double drawW);
    // The draw asked afresh at every step, e.g. from the process's CPU use.
    void SetDrawHook(std::function<double()> drawW);
    void SetChargeRateW(double chargeRateW);
    void SetCycleCount(int cycles);
    // A drifted gauge: it reads high by this many points at empty, linearly
    // less above, and right at full. The time left follows what it reads.
    void SetGaugeErrorAtEmpty(double points);
    // charge_behaviour force-discharge: on AC the battery runs the machine.
    // At empty the firmware returns to auto by itself, as ThinkPads do, and
    // the gauge has learnt where empty is: its error is gone.
    void SetForceDischarge(bool force);
    bool ForceDischarge();
    // charge_behaviour inhibit-charge: on AC the adaptor runs the machine
    // and the battery neither charges nor discharges. One setting with
    // force-discharge: each replaces the other.
    void SetInhibitCharge(bool inhibit);
    bool InhibitCharge();
    // "auto", "inhibit-charge" or "force-discharge", as sysfs shows it.
    QString ChargeBehaviour();
    // The charge stops at this percent (100: no limit).
    void SetChargeLimit(int percent);
    int ChargeLimit() const { return chargeLimit_; }

    double ChargePercent();
    bool Charging();
    // The machine died: the charge reached 0 on battery. Stays set.
    bool SwitchedOff();
    // At the terminals: the rested voltage for the charge, less the drop
    // under the current and the lag still relaxing.
    double VoltageV();
    double BatteryCelsius();

    int Query(SYSTEM_POWER_STATUS& status) override;
    // Full is the capacity, a little worn from the design; the power is the
    // draw on battery, the charge rate while charging, the trickle at full.
    BatteryDetails Details() override;
    QStringList ChargeBlockers() override;
    // The pack's own sensor, and the processor package as the hottest zone.
    Temperatures ReadTemperatures() override;

    // A full battery on AC reports charging for this long before it reads
    // high and not charging, as a real one tops up.
    static constexpr qint64 kTrickleMs = 60'000;
    // After the top-up, what keeps a full battery full while charging is
    // not held off.
    static constexpr double kTrickleW = 1.2;
    static constexpr double kRoomCelsius = 25.0;

private:
    enum class Behaviour { Auto, InhibitCharge, ForceDischarge };

    void CatchUp();
    void Settle(double hours, double drawW);
    double DrawW() const;
    double ShownPercent() const;
    bool ToppingUp() const;
    // Into the battery; negative while it runs the machine.
    double BatteryPowerW(double drawW) const;
    bool ChargerRuns() const { return acPlugged_ && !stalled_ && present_ && behaviour_ == Behaviour::Auto; }
    bool Draining() const { return !acPlugged_ || behaviour_ == Behaviour::ForceDischarge; }
    double Top() const { return chargeLimit_; }

    std::function<qint64()> clockMs_;
    qint64 lastMs_;
    qint64 fullSinceMs_ = -1;  // when the charge last reached 100 on AC
    double percent_ = 100.0;
    double capacityWh_ = 50.0;
    double drawW_ = 10.0;
    std::function<double()> drawHook_;
    double chargeRateW_ = 30.0;
    int cycleCount_ = 312;
    double gaugeErrorAtEmpty_ = 0.0;
    bool acPlugged_ = true;
    bool stalled_ = false;
    bool readingUnknown_ = false;
    bool queryFails_ = false;
    bool present_ = true;
    bool switchedOff_ = false;
    Behaviour behaviour_ = Behaviour::Auto;
    int chargeLimit_ = 100;
    double polarisationV_ = 0;  // what the voltage lags behind its rested value
    double celsius_ = kRoomCelsius + 2;
};

}  // namespace power
