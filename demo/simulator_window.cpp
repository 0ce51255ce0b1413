// SPDX-License-Identifier: GPL-3.0-or-later
#include "demo/simulator_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "demo/state_text.h"

namespace demo {
namespace {

constexpr double kStartPercent = 60.0;
constexpr int kStartLapseIndex = 2;  // 60x: a whole calibration in minutes
// Enough drift that a demo run's report asks for another cycle.
constexpr int kStartGaugeError = 8;

}  // namespace

BatterySimulatorWindow::BatterySimulatorWindow(power::SimulatedBattery& battery, ScaledClock& clock)
    : battery_(battery), clock_(clock)
{
    setObjectName(QStringLiteral("BatterySimulator"));
    setWindowTitle(QStringLiteral("Battery simulator"));
    auto* layout = new QVBoxLayout(this);

    ac_ = AddCheckBox(QStringLiteral("AC adaptor plugged in"), false, &power::SimulatedBattery::SetAcPlugged);

    charge_ = new QSlider(Qt::Horizontal);
    charge_->setAccessibleName(QStringLiteral("Charge level"));
    charge_->setRange(0, 100);
    charge_->setPageStep(10);
    chargeValue_ = new QLabel;
    chargeValue_->setMinimumWidth(chargeValue_->fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
    auto* chargeRow = new QHBoxLayout;
    chargeRow->addWidget(charge_);
    chargeRow->addWidget(chargeValue_);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Charge level"), chargeRow);
    layout->addLayout(form);
    battery_.SetChargePercent(kStartPercent);
    // Refresh moves the slider with its signals blocked: what arrives here
    // is the user's drag or key.
    connect(charge_, &QSlider::valueChanged, this, [this](int percent) {
        battery_.SetChargePercent(percent);
        chargeValue_->setText(QStringLiteral("%1 %").arg(percent));
    });

    AddCheckBox(QStringLiteral("Charging stalls"), false, &power::SimulatedBattery::SetChargingStalled);
    AddCheckBox(QStringLiteral("Charge reading unknown"), false, &power::SimulatedBattery::SetReadingUnknown);
    AddCheckBox(QStringLiteral("Status query fails"), false, &power::SimulatedBattery::SetQueryFails);
    QCheckBox* noBattery = AddCheckBox(QStringLiteral("No battery"), false, nullptr);
    connect(noBattery, &QCheckBox::toggled, this, [this](bool absent) { battery_.SetBatteryPresent(!absent); });

    lapse_ = new QComboBox;
    lapse_->setAccessibleName(QStringLiteral("Time lapse"));
    for (int factor : {1, 10, 60})
        lapse_->addItem(QStringLiteral("%1x").arg(factor), factor);
    connect(lapse_, &QComboBox::currentIndexChanged, this,
            [this](int index) { clock_.SetFactor(lapse_->itemData(index).toInt()); });
    lapse_->setCurrentIndex(kStartLapseIndex);
    auto* gaugeError = new QSpinBox;
    gaugeError->setAccessibleName(QStringLiteral("Gauge error at empty"));
    gaugeError->setRange(0, 30);
    gaugeError->setSuffix(QStringLiteral(" %"));
    gaugeError->setToolTip(QStringLiteral("How much too high the gauge reads when the battery is empty"));
    connect(gaugeError, &QSpinBox::valueChanged, this, [this](int points) { battery_.SetGaugeErrorAtEmpty(points); });
    gaugeError->setValue(kStartGaugeError);
    auto* chargeLimit = new QSpinBox;
    chargeLimit->setAccessibleName(QStringLiteral("Charge limit"));
    chargeLimit->setRange(50, 100);
    chargeLimit->setSingleStep(5);
    chargeLimit->setSuffix(QStringLiteral(" %"));
    chargeLimit->setToolTip(QStringLiteral("Where the firmware stops charging; the power helper may lift it"));
    chargeLimit->setValue(battery_.ChargeLimit());
    connect(chargeLimit, &QSpinBox::valueChanged, this, [this](int percent) { battery_.SetChargeLimit(percent); });
    chargeLimit_ = chargeLimit;
    auto* lapseForm = new QFormLayout;
    lapseForm->addRow(QStringLiteral("Charge limit"), chargeLimit);
    lapseForm->addRow(QStringLiteral("Gauge error at empty"), gaugeError);
    lapseForm->addRow(QStringLiteral("Time lapse"), lapse_);
    layout->addLayout(lapseForm);

    state_ = new QLabel;
    state_->setAccessibleName(QStringLiteral("Simulated state"));
    state_->setTextFormat(Qt::PlainText);
    state_->setFrameShape(QFrame::StyledPanel);
    state_->setMargin(4);
    layout->addWidget(new QLabel(QStringLiteral("Simulated state")));
    layout->addWidget(state_);
    layout->addStretch();

    Refresh();
}

QCheckBox* BatterySimulatorWindow::AddCheckBox(const QString& name, bool checked,
                                               void (power::SimulatedBattery::*set)(bool))
{
    auto* box = new QCheckBox(name);
    box->setAccessibleName(name);
    box->setChecked(checked);
    if (set) {
        (battery_.*set)(checked);
        connect(box, &QCheckBox::toggled, this, [this, set](bool on) { (battery_.*set)(on); });
    }
    layout()->addWidget(box);
    return box;
}

void BatterySimulatorWindow::Refresh()
{
    if (!charge_->isSliderDown()) {
        const int percent = static_cast<int>(std::lround(battery_.ChargePercent()));
        const QSignalBlocker blocker(charge_);
        charge_->setValue(percent);
        chargeValue_->setText(QStringLiteral("%1 %").arg(percent));
    }
    if (!chargeLimit_->hasFocus() && chargeLimit_->value() != battery_.ChargeLimit()) {
        const QSignalBlocker blocker(chargeLimit_);  // the helper lifted or restored it
        chargeLimit_->setValue(battery_.ChargeLimit());
    }
    SYSTEM_POWER_STATUS status{};
    const int result = battery_.Query(status);
    const QString battery =
        SimulatedBatteryText(battery_.ChargeBehaviour(), battery_.Details(), battery_.ReadTemperatures());
    state_->setText(SimulatedStateText(result, status) + QLatin1Char('\n') + battery);
}

bool BatterySimulatorWindow::AcPlugged() const
{
    return ac_->isChecked();
}

void BatterySimulatorWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit closed();
}

}  // namespace demo
