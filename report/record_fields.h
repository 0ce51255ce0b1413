// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace report {

// The fields of a run record's lines, written and read.

// Beyond any real battery: a larger number is damage, and would spoil sums.
inline constexpr double kQuantityLimit = 1e6;

// One line of text, quoted where it holds a comma or a quote.
QString CsvField(const QString& text);
// Up to three decimals, no trailing zeros; empty for nothing.
QString NumberField(const std::optional<double>& value);
// Local time with its offset, as the wall clock showed it.
QString TimeField(const QDateTime& time);
// The fields joined by commas, and the line end.
QByteArray Line(const QStringList& fields);

// The fields of one CSV line; nothing when its quoting is broken.
std::optional<QStringList> CsvFields(const QString& line);
// Parsed values: nothing means the field is damaged; an empty quantity is unknown.
std::optional<std::optional<double>> Quantity(const QString& field, double limit = kQuantityLimit);
std::optional<qint64> Whole(const QString& field, qint64 low, qint64 high);
// Degrees Celsius, below zero too; as Quantity.
std::optional<std::optional<double>> Celsius(const QString& field);
// The complete lines of a text, without their line ends: a last line
// without its end was torn by a cut.
QList<QByteArray> CompleteLines(const QByteArray& bytes);
// TimeField's form only, with its offset kept.
std::optional<QDateTime> Time(const QString& field);
// A discharge mode: "fast" or "slow".
QString ModeField(bool fast);
std::optional<bool> Mode(const QString& field);

}  // namespace report
