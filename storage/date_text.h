// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

namespace storage {

// The moment cut to its whole second.
QDateTime WholeSeconds(const QDateTime& moment);

// Day zero of the date-time type: 30 December 1899, midnight.
QDateTime ZeroDateTime();

// The general date form of the locale: short date with a four-digit year and
// the time of day with seconds. It reads back as the same date-time.
QString DateText(const QDateTime& moment, const QLocale& locale = QLocale());

// The date-time a date text stands for; nothing when it is not one. Besides
// the locale's own form it reads what Dorvik writes under the common locales
// and ISO 8601 with a time of day, so a log written under other settings
// still reads.
std::optional<QDateTime> ParseDateText(const QString& text, const QLocale& locale = QLocale());

// The minute boundaries crossed from a to b: each instant is cut to its
// minute and the real time between them counted, negative when b is earlier.
qint64 MinutesBetween(const QDateTime& a, const QDateTime& b);

// The format behind DateText for a locale (exposed for tests).
QString DateTextFormat(const QLocale& locale);

}  // namespace storage
