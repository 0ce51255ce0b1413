#include <QtTest>

#include "platform/date_text.h"

namespace {
const QDateTime kSample(QDate(2026, 3, 7), QTime(14, 5, 9));
}

class DateTextTest : public QObject {
    Q_OBJECT

private slots:
    void readsWhatThisAndOtherSettingsWrote_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("readerLocale");
        QTest::addColumn<QDateTime>("moment");  // invalid: no date
        // Written with milliseconds, which the text drops.
        const auto written = [](const char* locale, const QDateTime& moment = kSample) {
            return platform::DateText(moment.addMSecs(870), QLocale(QString::fromLatin1(locale)));
        };
        for (const char* locale : {"C", "en_US", "de_DE", "ar_EG"}) {
            QTest::addRow("%s", locale) << written(locale) << locale << kSample;
            QTest::addRow("%s zero date", locale) << written(locale, platform::ZeroDateTime()) << locale << platform::ZeroDateTime();
        }
        QTest::newRow("en_US read under de_DE") << written("en_US") << "de_DE" << kSample;
        QTest::newRow("de_DE read under en_US") << written("de_DE") << "en_US" << kSample;
        QTest::newRow("ja_JP read under fr_FR") << written("ja_JP") << "fr_FR" << kSample;
        QTest::newRow("C read under en_GB") << written("C") << "en_GB" << kSample;
        QTest::newRow("ISO 8601 with T") << "2026-03-07T14:05:09" << "de_DE" << kSample;
        QTest::newRow("ISO 8601 with a blank, no seconds") << "2026-03-07 14:05" << "en_US" << kSample.addSecs(-9);
        QTest::newRow("a date without a time") << "07.03.2026" << "de_DE" << QDateTime();
        QTest::newRow("hour 25") << "07/03/2026 25:05:09" << "en_GB" << QDateTime();
        QTest::newRow("a word") << "yesterday" << "en_US" << QDateTime();
        QTest::newRow("empty") << "" << "de_DE" << QDateTime();
    }

    void readsWhatThisAndOtherSettingsWrote()
    {
        QFETCH(QString, text);
        QFETCH(QString, readerLocale);
        QFETCH(QDateTime, moment);
        QCOMPARE(platform::ParseDateText(text, QLocale(readerLocale)).value_or(QDateTime()), moment);
    }

    void minutesBetweenCountsMinuteBoundaries()
    {
        const auto at = [](int h, int m, int s) { return QDateTime(QDate(2026, 3, 7), QTime(h, m, s)); };
        QCOMPARE(platform::MinutesBetween(at(10, 0, 59), at(10, 1, 0)), 1);
        QCOMPARE(platform::MinutesBetween(at(10, 0, 0), at(10, 0, 59)), 0);
        QCOMPARE(platform::MinutesBetween(at(10, 1, 0), at(10, 0, 59)), -1);
        // Across the autumn clock change 01:30 to 02:30 local is two real hours.
        const QDateTime beforeFall(QDate(2026, 10, 25), QTime(1, 30), QTimeZone("Europe/Berlin"));
        QCOMPARE(platform::MinutesBetween(beforeFall, beforeFall.addSecs(7200)), 120);
    }
};

QTEST_MAIN(DateTextTest)
#include "tst_date_text.moc"
