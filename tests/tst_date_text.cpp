#include <QtTest>

#include "platform/date_text.h"

using platform::DateText;
using platform::MinutesBetween;
using platform::ParseDateText;

class DateTextTest : public QObject {
    Q_OBJECT

private slots:
    void roundTripsToTheSecond_data();
    void roundTripsToTheSecond();
    void followsTheLocaleWithSecondsAndFourDigitYear();
    void dropsMillisecondsAndRejectsWhatIsNotADate();
    void minutesBetweenCountsMinuteBoundaries();
    void minutesBetweenIgnoresDaylightSavingChanges();
};

void DateTextTest::roundTripsToTheSecond_data()
{
    QTest::addColumn<QString>("locale");
    for (const char* name : {"C", "en_US", "de_DE", "en_GB", "ja_JP", "fr_FR", "ar_EG", "fa_IR", "zh_CN", "ko_KR"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void DateTextTest::roundTripsToTheSecond()
{
    QFETCH(QString, locale);
    const QLocale l(locale);
    const QDateTime samples[] = {
        platform::ZeroDateTime(),
        QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)),
        QDateTime(QDate(2026, 12, 13), QTime(0, 0, 1)),
        QDateTime(QDate(2027, 1, 1), QTime(12, 0, 0)),
        QDateTime(QDate(2026, 7, 4), QTime(23, 59, 59)),
    };
    for (const QDateTime& sample : samples) {
        const QString text = DateText(sample, l);
        const auto back = ParseDateText(text, l);
        QVERIFY2(back.has_value(), qPrintable(text));
        QCOMPARE(*back, sample);
        QCOMPARE(DateText(*back, l), text);
    }
}

void DateTextTest::followsTheLocaleWithSecondsAndFourDigitYear()
{
    const QDateTime sample(QDate(2026, 3, 7), QTime(14, 5, 9));
    QCOMPARE(DateText(sample, QLocale(QStringLiteral("en_US"))), QStringLiteral("3/7/2026 2:05:09 PM"));
    QCOMPARE(DateText(sample, QLocale(QStringLiteral("de_DE"))), QStringLiteral("07.03.2026 14:05:09"));
    QCOMPARE(DateText(sample, QLocale(QStringLiteral("en_GB"))), QStringLiteral("07/03/2026 14:05:09"));
    QCOMPARE(DateText(sample, QLocale::c()), QStringLiteral("7 Mar 2026 14:05:09"));
    QCOMPARE(DateText(platform::ZeroDateTime(), QLocale(QStringLiteral("de_DE"))), QStringLiteral("30.12.1899 00:00:00"));
}

void DateTextTest::dropsMillisecondsAndRejectsWhatIsNotADate()
{
    const QLocale l(QStringLiteral("en_GB"));
    const QDateTime withMs(QDate(2026, 3, 7), QTime(14, 5, 9, 870));
    QCOMPARE(*ParseDateText(DateText(withMs, l), l), QDateTime(QDate(2026, 3, 7), QTime(14, 5, 9)));
    for (const char* bad : {"", " ", "37", "hello", "07/03/2026", "32/03/2026 14:05:09", "07/03/2026 25:05:09"})
        QVERIFY2(!ParseDateText(QString::fromLatin1(bad), l).has_value(), bad);
}

void DateTextTest::minutesBetweenCountsMinuteBoundaries()
{
    const QDate day(2026, 3, 7);
    const auto at = [&](int h, int m, int s) { return QDateTime(day, QTime(h, m, s)); };
    QCOMPARE(MinutesBetween(at(10, 0, 59), at(10, 1, 0)), 1);
    QCOMPARE(MinutesBetween(at(10, 0, 0), at(10, 0, 59)), 0);
    QCOMPARE(MinutesBetween(at(10, 0, 10), at(10, 37, 5)), 37);
    QCOMPARE(MinutesBetween(at(10, 1, 0), at(10, 0, 59)), -1);
    QCOMPARE(MinutesBetween(at(10, 30, 0), at(9, 0, 0)), -90);
    QCOMPARE(MinutesBetween(at(23, 59, 30), QDateTime(day.addDays(1), QTime(0, 0, 5))), 1);
    QCOMPARE(MinutesBetween(at(0, 0, 0), QDateTime(day.addDays(30), QTime(0, 0, 0))), 30 * 24 * 60);
}

void DateTextTest::minutesBetweenIgnoresDaylightSavingChanges()
{
    const QTimeZone berlin("Europe/Berlin");
    QVERIFY(berlin.isValid());
    // Spring forward: 01:30 to 03:30 local is one real hour.
    const QDateTime beforeSpring(QDate(2026, 3, 29), QTime(1, 30), berlin);
    QCOMPARE(MinutesBetween(beforeSpring, beforeSpring.addSecs(3600)), 60);
    QCOMPARE(beforeSpring.addSecs(3600).time(), QTime(3, 30));
    // Fall back: 02:30 (summer time) to 02:30 (winter time) is one real hour.
    const QDateTime beforeFall(QDate(2026, 10, 25), QTime(1, 30), berlin);
    QCOMPARE(MinutesBetween(beforeFall, beforeFall.addSecs(7200)), 120);
    QCOMPARE(beforeFall.addSecs(7200).time(), QTime(2, 30));
}

QTEST_MAIN(DateTextTest)
#include "tst_date_text.moc"
