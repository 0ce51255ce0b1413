// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>

namespace powerhelper {

// How an operation on an attribute went: Invalid is the caller's fault (a
// name or value the helper does not accept), Failed the driver's.
struct Outcome {
    enum class Kind { Ok, Invalid, Failed } kind = Kind::Ok;
    QString message;
    static Outcome Invalid(const QString& text) { return {Kind::Invalid, text}; }
    static Outcome Failed(const QString& text) { return {Kind::Failed, text}; }
    bool ok() const { return kind == Kind::Ok; }
};

// The only attributes the helper reads or writes.
namespace attribute {
inline const QString kChargeBehaviour = QStringLiteral("charge_behaviour");
inline const QString kStart = QStringLiteral("charge_control_start_threshold");
inline const QString kEnd = QStringLiteral("charge_control_end_threshold");
inline const QString kOldStart = QStringLiteral("charge_start_threshold");
inline const QString kOldEnd = QStringLiteral("charge_stop_threshold");
// Lives under the ideapad_acpi platform device, not under the battery.
inline const QString kConservationMode = QStringLiteral("conservation_mode");
}  // namespace attribute

// A battery's folder under <root>/class/power_supply, held open as a
// directory descriptor; attributes are opened relative to it and never
// through a symbolic link.
class BatteryAttributes {
public:
    // Checks the name ([A-Za-z0-9_.-]{1,64}, not "." or "..") and that the
    // entry is a folder whose type is Battery and whose scope is not Device. On failure returns null and sets
    // outcome.
    static std::unique_ptr<BatteryAttributes> Open(const QString& sysfsRoot, const QString& name, Outcome& outcome);
    ~BatteryAttributes();
    BatteryAttributes(const BatteryAttributes&) = delete;
    BatteryAttributes& operator=(const BatteryAttributes&) = delete;

    const QString& name() const { return name_; }
    bool Has(const QString& attribute) const;
    // The content, trimmed; an Invalid outcome for a symbolic link or a
    // file that is not regular, Failed when it cannot be read.
    Outcome Read(const QString& attribute, QString& content) const;
    Outcome Write(const QString& attribute, const QString& value) const;

private:
    BatteryAttributes(QString name, int batteryFd, int ideapadFd);
    int FolderOf(const QString& attribute) const;

    QString name_;
    int batteryFd_;
    int ideapadFd_;  // -1 without an ideapad_acpi device
};

}  // namespace powerhelper
