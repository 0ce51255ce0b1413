// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/record_fields.h"

#include <cmath>

namespace report {
namespace {

constexpr qsizetype kTextLimit = 200;

QString OneLineText(const QString& text)
{
    QString line = text.left(kTextLimit);
    for (QChar& c : line) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return line;
}

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

QString CsvField(const QString& text)
{
    const QString line = OneLineText(text);
    if (!line.contains(QLatin1Char(',')) && !line.contains(QLatin1Char('"')))
        return line;
    QString quoted = line;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString NumberField(const std::optional<double>& value)
{
    if (!value || !std::isfinite(*value))
        return {};
    QString text = QString::number(*value, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

// Local time with its offset, as the wall clock showed it.
QString TimeField(const QDateTime& time)
{
    const QDateTime local = time.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QByteArray Line(const QStringList& fields)
{
    return fields.join(QLatin1Char(',')).toUtf8() + '\n';
}

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

std::optional<std::optional<double>> Celsius(const QString& field)
{
    constexpr double kColdest = 60, kHottest = 150;  // beyond any laptop that still runs
    const bool below = field.startsWith(QLatin1Char('-'));
    const auto magnitude = Quantity(below ? field.mid(1) : field, below ? kColdest : kHottest);
    if (!magnitude || !*magnitude || !below)
        return magnitude;
    return std::optional<double>(-**magnitude);
}

// The complete lines: a last line without its line end was torn by a cut.
QList<QByteArray> CompleteLines(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.left(bytes.lastIndexOf('\n') + 1).split('\n');
    lines.removeLast();
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

std::optional<bool> Mode(const QString& field)
{
    if (field == QLatin1String("fast"))
        return true;
    if (field == QLatin1String("slow"))
        return false;
    return std::nullopt;
}

QString ModeField(bool fast)
{
    return fast ? QStringLiteral("fast") : QStringLiteral("slow");
}

}  // namespace report
