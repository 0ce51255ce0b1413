// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// The fields of a run record's lines, as read back.
namespace report::record_fields {

// Beyond any real battery: a larger number is damage, and would spoil sums.
inline constexpr double kQuantityLimit = 1e6;

// The fields of one CSV line; nothing when its quoting is broken.
std::optional<QStringList> CsvFields(const QString& line);
// Parsed values: nothing means the field is damaged.
std::optional<std::optional<double>> Quantity(const QString& field, double limit = kQuantityLimit);
std::optional<qint64> Whole(const QString& field, qint64 low, qint64 high);
std::optional<bool> Mode(const QString& field);
// The writer's form only, yyyy-MM-ddTHH:mm:ss then Z or +HH:mm / -HH:mm.
std::optional<QDateTime> Time(const QString& field);

}  // namespace report::record_fields
