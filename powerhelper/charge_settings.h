// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace powerhelper {

// The words a choice attribute such as charge_behaviour offers, brackets
// taken off: "[auto] inhibit-charge force-discharge" offers all three.
QStringList OfferedChoices(const QString& content);

// The selected word: the bracketed one, or the whole content where the
// attribute holds a single word. Empty when neither applies.
QString SelectedChoice(const QString& content);

// A percent 0..100 as a threshold attribute holds it, or nothing.
std::optional<int> ParsePercent(const QString& content);

struct Thresholds {
    std::optional<int> start;
    std::optional<int> end;
};

struct ThresholdWrite {
    enum class Which { Start, End } which;
    int value;
    bool operator==(const ThresholdWrite&) const = default;
};

// The writes that take the thresholds from current to target, in an order
// that keeps start below end at every step: the end first when the new end
// stays above the current start, the start first otherwise. A threshold the
// target leaves out, or that already holds its value, is not written.
std::vector<ThresholdWrite> OrderThresholdWrites(const Thresholds& current, const Thresholds& target);

}  // namespace powerhelper
