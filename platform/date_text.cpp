#include "platform/date_text.h"

#include <QHash>
#include <QRegularExpression>

namespace platform {
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

QString ChooseFormat(const QLocale& locale)
{
    const QString shortDate = WithFourDigitYear(locale.dateFormat(QLocale::ShortFormat));
    const QString candidates[] = {
        shortDate + QLatin1Char(' ') + WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)),
        shortDate + QStringLiteral(" HH:mm:ss"),
    };
    for (const QString& format : candidates) {
        if (RoundTrips(locale, format))
            return format;
    }
    return kFallbackFormat;
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

QDateTime WholeSeconds(const QDateTime& moment)
{
    return moment.addMSecs(-moment.time().msec());
}

}  // namespace

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
    const QDateTime parsed = form.locale.toDateTime(text, form.format);
    if (!parsed.isValid())
        return std::nullopt;
    return parsed;
}

qint64 MinutesBetween(const QDateTime& a, const QDateTime& b)
{
    const auto toMinute = [](const QDateTime& t) {
        return t.addMSecs(-(t.time().second() * 1000 + t.time().msec()));
    };
    const qint64 seconds = toMinute(a).secsTo(toMinute(b));
    return seconds >= 0 ? seconds / 60 : -((-seconds + 59) / 60);
}

}  // namespace platform
