// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "demo/scaled_clock.h"
#include "power/simulated_battery.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;

namespace demo {

// The "Battery simulator" window: it plays the notebook's hardware. Its
// controls set the simulated battery; Refresh shows what the battery does.
class BatterySimulatorWindow : public QWidget {
    Q_OBJECT

public:
    // Puts the battery into the state the controls start with.
    BatterySimulatorWindow(power::SimulatedBattery& battery, ScaledClock& clock);

    // Moves the slider to the charge and shows the record as it reads now.
    void Refresh();
    bool AcPlugged() const;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QCheckBox* AddCheckBox(const QString& name, bool checked, void (power::SimulatedBattery::*set)(bool));

    power::SimulatedBattery& battery_;
    ScaledClock& clock_;
    QCheckBox* ac_;
    QSlider* charge_;
    QLabel* chargeValue_;
    QComboBox* lapse_;
    QSpinBox* chargeLimit_;
    QLabel* state_;
};

}  // namespace demo
