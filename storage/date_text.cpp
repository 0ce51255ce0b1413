// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/date_text.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

namespace storage {
namespace {

const QString kFallbackFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString WithFourDigitYear(QString format)
{
    static const QRegularExpression years(QStringLiteral("y+"));
    return format.replace(years, QStringLiteral("yyyy"));
}

// Drops time-zone tokens ('t' outside quotes) and the blank before them.
QString WithoutTimeZone(const QString& format)
{
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        result += c;
    }
    return result.trimmed();
}

bool RoundTrips(const QLocale& locale, const QString& format)
{
    static const QDateTime samples[] = {
        QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)),
        QDateTime(QDate(2031, 11, 23), QTime(2, 45, 51)),
        QDateTime(QDate(1899, 12, 30), QTime(0, 0, 0)),
        QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)),
    };
    for (const QDateTime& sample : samples) {
        if (locale.toDateTime(locale.toString(sample, format), format) != sample)
            return false;
    }
    return true;
}

// The forms the writer tries for a locale, best first; the last always works.
QStringList CandidateFormats(const QLocale& locale)
{
    const QString shortDate = WithFourDigitYear(locale.dateFormat(QLocale::ShortFormat));
    return {
        shortDate + QLatin1Char(' ') + WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)),
        shortDate + QStringLiteral(" HH:mm:ss"),
        kFallbackFormat,
    };
}

QString ChooseFormat(const QLocale& locale)
{
    for (const QString& format : CandidateFormats(locale)) {
        if (format == kFallbackFormat || RoundTrips(locale, format))
            return format;
    }
    return kFallbackFormat;
}

std::optional<QDateTime> Parsed(const QLocale& locale, const QString& text, const QString& format)
{
    const QDateTime parsed = locale.toDateTime(text, format);
    return parsed.isValid() ? std::optional(parsed) : std::nullopt;
}

// What Dorvik writes under the common locales, for logs written under
// other settings than the reader's.
std::optional<QDateTime> ParsedAsCommonLocale(const QString& text)
{
    // en_GB before en_US: the US form carries AM or PM, and a day-first
    // date read month first would name another day.
    static const QLocale locales[] = {QLocale::c(), QLocale(QStringLiteral("en_GB")), QLocale(QStringLiteral("en_US")),
                                      QLocale(QStringLiteral("de_DE")), QLocale(QStringLiteral("fr_FR")),
                                      QLocale(QStringLiteral("ja_JP"))};
    for (const QLocale& locale : locales) {
        for (const QString& format : CandidateFormats(locale)) {
            if (auto parsed = Parsed(format == kFallbackFormat ? QLocale::c() : locale, text, format))
                return parsed;
        }
    }
    return std::nullopt;
}

// ISO 8601 with a time of day: a T or a blank between, seconds optional.
std::optional<QDateTime> ParsedAsIso(const QString& text)
{
    static const QRegularExpression iso(QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})[T ](\\d{2}:\\d{2}(:\\d{2})?)$"));
    const QRegularExpressionMatch match = iso.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString format = match.capturedLength(3) > 0 ? QStringLiteral("yyyy-MM-dd HH:mm:ss") : QStringLiteral("yyyy-MM-dd HH:mm");
    return Parsed(QLocale::c(), match.captured(1) + QLatin1Char(' ') + match.captured(2), format);
}

struct Form {
    QLocale locale;
    QString format;
};

// The format chosen once per locale; locales that fail every candidate fall
// back to an ISO-like form in C.
Form FormFor(const QLocale& locale)
{
    const QString format = DateTextFormat(locale);
    return {format == kFallbackFormat ? QLocale::c() : locale, format};
}

}  // namespace

QDateTime WholeSeconds(const QDateTime& moment)
{
    return moment.addMSecs(-moment.time().msec());
}

QDateTime ZeroDateTime()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0, 0));
}

QString DateTextFormat(const QLocale& locale)
{
    static QHash<QString, QString> chosen;
    const QString key = locale.name() + QLatin1Char('|') + locale.bcp47Name();
    auto found = chosen.constFind(key);
    if (found == chosen.constEnd())
        found = chosen.insert(key, ChooseFormat(locale));
    return *found;
}

QString DateText(const QDateTime& moment, const QLocale& locale)
{
    const Form form = FormFor(locale);
    return form.locale.toString(WholeSeconds(moment), form.format);
}

std::optional<QDateTime> ParseDateText(const QString& text, const QLocale& locale)
{
    if (text.isEmpty())
        return std::nullopt;
    const Form form = FormFor(locale);
    if (auto parsed = Parsed(form.locale, text, form.format))
        return parsed;
    if (auto parsed = ParsedAsCommonLocale(text))
        return parsed;
    return ParsedAsIso(text);
}

qint64 MinutesBetween(const QDateTime& a, const QDateTime& b)
{
    const auto toMinute = [](const QDateTime& t) {
        return t.addMSecs(-(t.time().second() * 1000 + t.time().msec()));
    };
    const qint64 seconds = toMinute(a).secsTo(toMinute(b));
    return seconds >= 0 ? seconds / 60 : -((-seconds + 59) / 60);
}

}  // namespace storage
