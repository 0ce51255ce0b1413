// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/record_fields.h"

#include <QDate>
#include <QTime>
#include <cmath>

namespace report::record_fields {

// The fields of one CSV line; nothing when its quoting is broken.
std::optional<QStringList> CsvFields(const QString& line)
{
    QStringList fields;
    QString field;
    qsizetype i = 0;
    while (true) {
        if (i < line.size() && line[i] == QLatin1Char('"')) {
            for (++i;; ++i) {
                if (i >= line.size())
                    return std::nullopt;
                if (line[i] == QLatin1Char('"')) {
                    if (i + 1 < line.size() && line[i + 1] == QLatin1Char('"'))
                        ++i;
                    else
                        break;
                }
                field += line[i];
            }
            ++i;
            if (i < line.size() && line[i] != QLatin1Char(','))
                return std::nullopt;
        } else {
            const qsizetype comma = line.indexOf(QLatin1Char(','), i);
            field = line.mid(i, comma < 0 ? -1 : comma - i);
            i = comma < 0 ? line.size() : comma;
        }
        fields.append(field);
        field.clear();
        if (i >= line.size())
            return fields;
        ++i;  // past the comma
    }
}

// Parsed values: nothing means the field is damaged.
std::optional<std::optional<double>> Quantity(const QString& field, double limit)
{
    if (field.isEmpty())
        return std::optional<double>();
    bool ok = false;
    const double value = field.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0 || value > limit)
        return std::nullopt;
    return std::optional<double>(value);
}

std::optional<qint64> Whole(const QString& field, qint64 low, qint64 high)
{
    bool ok = false;
    const qint64 value = field.toLongLong(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<bool> Mode(const QString& field)
{
    if (field == QLatin1String("fast"))
        return true;
    if (field == QLatin1String("slow"))
        return false;
    return std::nullopt;
}

namespace {

// The number the digits at [from, from + count) spell; -1 when not all digits.
int Digits(const QString& text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t digit = text[i].unicode();
        if (digit < u'0' || digit > u'9')
            return -1;
        value = value * 10 + (digit - u'0');
    }
    return value;
}

}  // namespace

// The writer's form only, yyyy-MM-ddTHH:mm:ss then Z or +HH:mm / -HH:mm: Qt's
// general ISO reader would cost most of the time a report takes to open.
std::optional<QDateTime> Time(const QString& field)
{
    const bool utc = field.size() == 20 && field[19] == QLatin1Char('Z');
    if ((!utc && field.size() != 25) || field[4] != QLatin1Char('-') || field[7] != QLatin1Char('-')
        || field[10] != QLatin1Char('T') || field[13] != QLatin1Char(':') || field[16] != QLatin1Char(':'))
        return std::nullopt;
    const QDate date(Digits(field, 0, 4), Digits(field, 5, 2), Digits(field, 8, 2));
    const QTime time(Digits(field, 11, 2), Digits(field, 14, 2), Digits(field, 17, 2));
    int offset = 0;
    if (!utc) {
        const int sign = field[19] == QLatin1Char('+') ? 1 : field[19] == QLatin1Char('-') ? -1 : 0;
        const int hours = Digits(field, 20, 2);
        const int minutes = Digits(field, 23, 2);
        if (sign == 0 || field[22] != QLatin1Char(':') || hours < 0 || hours > 14 || minutes < 0 || minutes > 59)
            return std::nullopt;
        offset = sign * (hours * 3600 + minutes * 60);
    }
    if (Digits(field, 0, 4) < 0 || !date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::OffsetFromUTC, offset);
}

}  // namespace report::record_fields
