// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/battery_changes.h"

#include "powerhelper/charge_settings.h"
#include "powerhelper/log.h"

#include <algorithm>

namespace powerhelper {
namespace {

QString BehaviourOf(const QString& offer) {
    return offer == kInhibitCharge ? QStringLiteral("inhibit-charge") : QStringLiteral("force-discharge");
}

struct ThresholdNames {
    QString start;
    QString end;
};

// The thresholds this battery has, newer names first; empty without an end.
ThresholdNames ThresholdsOf(const BatteryAttributes& battery) {
    if (battery.Has(attribute::kEnd))
        return {battery.Has(attribute::kStart) ? attribute::kStart : QString(), attribute::kEnd};
    if (battery.Has(attribute::kOldEnd))
        return {battery.Has(attribute::kOldStart) ? attribute::kOldStart : QString(), attribute::kOldEnd};
    return {};
}

// What the attribute holds in the terms it is written in.
Outcome ReadValue(const BatteryAttributes& battery, const QString& attribute, QString& value) {
    QString content;
    Outcome outcome = battery.Read(attribute, content);
    value = attribute == attribute::kChargeBehaviour ? SelectedChoice(content) : content;
    return outcome;
}

Outcome ReadPercent(const BatteryAttributes& battery, const QString& attribute, int& percent) {
    QString content;
    if (Outcome outcome = battery.Read(attribute, content); !outcome.ok())
        return outcome;
    const std::optional<int> value = ParsePercent(content);
    if (!value)
        return Outcome::Failed(QStringLiteral("%1 holds \"%2\", not a percent").arg(attribute, content));
    percent = *value;
    return {};
}

// Reads a value just written back: a driver may round it to a step of its own.
Outcome ReadBack(const BatteryAttributes& battery, const QString& attribute, const QString& value) {
    QString now;
    if (Outcome outcome = ReadValue(battery, attribute, now); !outcome.ok())
        return outcome;
    if (now != value)
        return Outcome::Failed(QStringLiteral("%1 of %2 reads \"%3\" after writing \"%4\"")
                                   .arg(attribute, battery.name(), now, value));
    qCInfo(lcPowerHelper) << "set" << attribute << "of" << battery.name() << "to" << value;
    return {};
}

// Writes the value and reads it back.
Outcome WriteChecked(const BatteryAttributes& battery, const QString& attribute, const QString& value) {
    if (Outcome outcome = battery.Write(attribute, value); !outcome.ok())
        return outcome;
    return ReadBack(battery, attribute, value);
}

// Puts back what one call wrote, newest first: the reverse of an order the
// driver accepted is one it accepts.
void Undo(const BatteryAttributes& battery, std::vector<Change>& changes) {
    std::vector<std::pair<QString, QString>> values;
    for (auto it = changes.rbegin(); it != changes.rend(); ++it)
        values.emplace_back(it->attribute, it->found);
    for (const auto& [attribute, value] : values) {
        if (Outcome outcome = WriteChecked(battery, attribute, value); !outcome.ok())
            qCWarning(lcPowerHelper) << "could not put back" << attribute << "of" << battery.name() << ":"
                                     << outcome.message;
    }
    changes.clear();
}

// Sets an attribute, noting what it held; a value already in place is noted
// but not written.
Outcome Set(const BatteryAttributes& battery, const QString& attribute, const QString& value,
            std::vector<Change>& changes, const BeforeWrite& before) {
    QString found;
    if (Outcome outcome = ReadValue(battery, attribute, found); !outcome.ok())
        return outcome;
    if (Outcome outcome = before(attribute, found); !outcome.ok())
        return outcome;
    changes.push_back({attribute, found});
    return found == value ? Outcome() : WriteChecked(battery, attribute, value);
}

// The largest start below 100 the driver takes, from 99 down to just above
// what it held; a start it refuses throughout stays as it was.
Outcome RaiseStart(const BatteryAttributes& battery, const QString& attribute, std::vector<Change>& changes,
                   const BeforeWrite& before) {
    int found = 0;
    if (Outcome outcome = ReadPercent(battery, attribute, found); !outcome.ok())
        return outcome;
    if (Outcome outcome = before(attribute, QString::number(found)); !outcome.ok())
        return outcome;
    changes.push_back({attribute, QString::number(found)});
    for (int start = 99; start > found && start >= 90; --start) {
        const QString value = QString::number(start);
        if (battery.Write(attribute, value).ok())
            return ReadBack(battery, attribute, value);
    }
    return {};
}

}  // namespace

QStringList AttributesOf(const QString& offer) {
    if (offer == kLiftChargeLimit)
        return {attribute::kStart, attribute::kEnd, attribute::kOldStart, attribute::kOldEnd, attribute::kConservationMode};
    if (offer == kDischargeOnMains || offer == kInhibitCharge)
        return {attribute::kChargeBehaviour};
    return {};
}

QStringList Offers(const BatteryAttributes& battery) {
    QStringList offers;
    if (CheckChargeBehaviour(battery, kDischargeOnMains).ok())
        offers << kDischargeOnMains;
    if (CheckChargeBehaviour(battery, kInhibitCharge).ok())
        offers << kInhibitCharge;
    const ThresholdNames thresholds = ThresholdsOf(battery);
    int end = 100;
    QString mode;
    const bool endBelow = !thresholds.end.isEmpty() && ReadPercent(battery, thresholds.end, end).ok() && end < 100;
    const bool conserving = battery.Read(attribute::kConservationMode, mode).ok() && mode == QLatin1String("1");
    if (endBelow || conserving)
        offers << kLiftChargeLimit;
    return offers;
}

Outcome CheckChargeBehaviour(const BatteryAttributes& battery, const QString& offer) {
    QString content;
    if (Outcome outcome = battery.Read(attribute::kChargeBehaviour, content); !outcome.ok())
        return outcome;
    const QString word = BehaviourOf(offer);
    if (!OfferedChoices(content).contains(word))
        return Outcome::Invalid(QStringLiteral("%1's charge_behaviour does not offer %2").arg(battery.name(), word));
    return {};
}

Outcome CheckLiftChargeLimit(const BatteryAttributes& battery) {
    const ThresholdNames thresholds = ThresholdsOf(battery);
    if (thresholds.end.isEmpty() && !battery.Has(attribute::kConservationMode))
        return Outcome::Invalid(QStringLiteral("%1 has no charge limit").arg(battery.name()));
    int percent = 0;
    for (const QString& name : {thresholds.start, thresholds.end}) {
        if (!name.isEmpty())
            if (Outcome outcome = ReadPercent(battery, name, percent); !outcome.ok())
                return outcome;
    }
    QString mode;
    if (battery.Has(attribute::kConservationMode)) {
        if (Outcome outcome = battery.Read(attribute::kConservationMode, mode); !outcome.ok())
            return outcome;
        if (mode != QLatin1String("0") && mode != QLatin1String("1"))
            return Outcome::Failed(QStringLiteral("conservation_mode holds \"%1\"").arg(mode));
    }
    return {};
}

Outcome SetChargeBehaviour(const BatteryAttributes& battery, const QString& offer, std::vector<Change>& changes,
                           const BeforeWrite& before) {
    if (Outcome outcome = CheckChargeBehaviour(battery, offer); !outcome.ok())
        return outcome;
    Outcome outcome = Set(battery, attribute::kChargeBehaviour, BehaviourOf(offer), changes, before);
    if (!outcome.ok())
        Undo(battery, changes);
    return outcome;
}

Outcome LiftChargeLimit(const BatteryAttributes& battery, std::vector<Change>& changes, const BeforeWrite& before) {
    if (Outcome outcome = CheckLiftChargeLimit(battery); !outcome.ok())
        return outcome;
    const ThresholdNames thresholds = ThresholdsOf(battery);
    Outcome outcome;
    // Raising both: the end first, so the start stays below it.
    if (!thresholds.end.isEmpty())
        outcome = Set(battery, thresholds.end, QStringLiteral("100"), changes, before);
    if (outcome.ok() && !thresholds.start.isEmpty())
        outcome = RaiseStart(battery, thresholds.start, changes, before);
    if (outcome.ok() && battery.Has(attribute::kConservationMode))
        outcome = Set(battery, attribute::kConservationMode, QStringLiteral("0"), changes, before);
    if (!outcome.ok())
        Undo(battery, changes);
    return outcome;
}

Outcome PutBack(const BatteryAttributes& battery, const std::vector<std::pair<QString, QString>>& values) {
    QStringList failures;
    const ThresholdNames names = ThresholdsOf(battery);
    Thresholds current, target;
    std::vector<std::pair<QString, QString>> writes;
    for (const auto& [attribute, value] : values) {
        const bool isStart = attribute == attribute::kStart || attribute == attribute::kOldStart;
        const bool isEnd = attribute == attribute::kEnd || attribute == attribute::kOldEnd;
        if (isStart || isEnd) {
            int now = 0;
            if (Outcome outcome = ReadPercent(battery, attribute, now); !outcome.ok()) {
                failures << outcome.message;
                continue;
            }
            if (!ParsePercent(value)) {
                failures << QStringLiteral("\"%1\" is not a percent for %2").arg(value, attribute);
                continue;
            }
            (isStart ? current.start : current.end) = now;
            (isStart ? target.start : target.end) = ParsePercent(value);
        } else {
            writes.emplace_back(attribute, value);
        }
    }
    // The other threshold, where the caller changed one only.
    int other = 0;
    if (!current.start && !names.start.isEmpty() && ReadPercent(battery, names.start, other).ok())
        current.start = other;
    if (!current.end && !names.end.isEmpty() && ReadPercent(battery, names.end, other).ok())
        current.end = other;
    std::vector<std::pair<QString, QString>> ordered;
    for (const ThresholdWrite& write : OrderThresholdWrites(current, target))
        ordered.emplace_back(write.which == ThresholdWrite::Which::Start ? names.start : names.end,
                             QString::number(write.value));
    ordered.insert(ordered.end(), writes.begin(), writes.end());
    for (const auto& [attribute, value] : ordered) {
        QString now;
        if (ReadValue(battery, attribute, now).ok() && now == value)
            continue;
        if (Outcome outcome = WriteChecked(battery, attribute, value); !outcome.ok())
            failures << outcome.message;
    }
    if (!failures.isEmpty())
        return Outcome::Failed(failures.join(QStringLiteral("; ")));
    return {};
}

}  // namespace powerhelper
