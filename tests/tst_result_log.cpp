// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/stat.h>

#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include "calibration/result_log.h"
#include "report/run_record.h"
#include "storage/date_text.h"
#include "storage/durable_file.h"
#include "storage/text_file.h"
#include "support/window_fixture.h"

namespace {

const QDateTime kStart(QDate(2026, 3, 7), QTime(10, 0, 10)), kFinish(QDate(2026, 3, 7), QTime(10, 37, 5));
const QString kNotAccessible = QStringLiteral("Result log <path> is not accessible!");

// A log line as Dorvik writes it under other settings than the reader's.
QByteArray Line(const QDateTime& moment) { return storage::DateText(moment, QLocale(QStringLiteral("en_US"))).toLocal8Bit() + "\r\n"; }

// Presses View Result of a window whose log is at the path; the one plain
// box it showed.
QString ViewResult(const QString& logPath, const QString& recordDirectory = {})
{
    FakePlatform platform;
    ScriptedPower power;
    frmMain form(platform, power, logPath, recordDirectory);
    form.Load();
    platform.boxes.clear();
    form.Command2->click();
    const bool onePlainBox = platform.boxes.size() == 1 && platform.boxes[0].style == platform::vbOKOnly;
    return onePlainBox ? platform.boxes[0].text : QStringLiteral("<%1 boxes>").arg(platform.boxes.size());
}

}  // namespace

namespace {
const QDateTime kSample(QDate(2026, 3, 7), QTime(14, 5, 9));
}

class ResultLogTest : public QObject {
    Q_OBJECT

private slots:
    void writeReplacesTheWholeLog()
    {
        const QString path = dir_.filePath(QStringLiteral("new/Dorvik.log"));
        const auto raw = [&] { QFile file(path); return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(); };
        calibration::WriteResultLog(path, QString(300, QLatin1Char('9')));
        calibration::WriteResultLog(path, QStringLiteral("37\r\nstart\r\nnow"));
        QCOMPARE(raw(), QByteArray("37\r\nstart\r\nnow\r\n"));
        QVERIFY_THROWS_EXCEPTION(platform::UntrappedError, calibration::WriteResultLog(path + "/under-a-file", "6"));
        QCOMPARE(raw(), QByteArray("37\r\nstart\r\nnow\r\n"));
    }

    void viewResultReadsTheFirstThreeLines_data()
    {
        using calibration::ViewResultReport;
        QTest::addColumn<QByteArray>("log");  // null: no log; "FIFO": a named pipe, which is not waited on
        QTest::addColumn<QString>("report");
        QTest::addColumn<QDateTime>("recorded");  // the start of a run recorded 36 min long; invalid: none
        const QByteArray dates = Line(kStart) + Line(kFinish);
        const QDateTime later = kStart.addSecs(3600);
        const QString none = calibration::kNoRunRecorded;
        QTest::newRow("no log") << QByteArray() << none << QDateTime();
        QTest::newRow("no log, a run recorded") << QByteArray() << ViewResultReport("36", kStart, kFinish) << kStart;
        QTest::newRow("the log's run recorded") << "37\r\n" + dates << ViewResultReport("36", kStart, kFinish) << kStart;
        QTest::newRow("another run recorded") << "37\r\n" + dates << ViewResultReport("37", kStart, kFinish) << later;
        QTest::newRow("a word for minutes, not from the dates") << "forty-two\r\n" + Line(kStart) + Line(later) << ViewResultReport("forty-two", kStart, later) << QDateTime();
        QTest::newRow(".hidden") << "37\r\n" + dates << none << QDateTime();  // no ordinary file
        QTest::newRow("fifo") << QByteArray("FIFO") << none << QDateTime();
        QTest::newRow("more than three lines") << "37\r\n" + dates + "garbage\r\n\r\n" << ViewResultReport("37", kStart, kFinish) << QDateTime();
        QTest::newRow("last line without CR LF") << ("37\r\n" + dates).chopped(2) << ViewResultReport("37", kStart, kFinish) << QDateTime();
        QTest::newRow("empty log") << QByteArray("") << kNotAccessible << QDateTime();
        QTest::newRow("two lines") << "37\r\n" + Line(kStart) << kNotAccessible << QDateTime();
        QTest::newRow("line 2 not a date") << "37\r\nyesterday\r\n" + Line(kFinish) << kNotAccessible << QDateTime();
        QTest::newRow("line 3 not a date") << "37\r\n" + Line(kStart) + "x" + Line(kFinish) << kNotAccessible << QDateTime();
    }

    void viewResultReadsTheFirstThreeLines()
    {
        QFETCH(QByteArray, log);
        const QString path = dir_.filePath(QString::fromLatin1(QTest::currentDataTag()));
        if (log == "FIFO")
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (!log.isNull())
            QVERIFY(storage::ReplaceFileDurably(path, log, nullptr));
        QFETCH(QString, report);
        QFETCH(QDateTime, recorded);
        const QString runs = path + QStringLiteral("-runs");
        if (recorded.isValid())
            QVERIFY(report::RunRecordWriter::Create(runs, {.start = recorded, .locale = "en_US"})->Logged({kFinish, 36}));
        QCOMPARE(ViewResult(path, runs), report.replace(QStringLiteral("<path>"), path));
    }

    // A record written under another offset tells its times on today's clock.
    void viewResultTellsARecordInLocalTime()
    {
        const QString runs = dir_.filePath(QStringLiteral("elsewhere-runs"));
        const auto writer = report::RunRecordWriter::Create(runs, {.start = kStart, .locale = "en_US"});
        QVERIFY(writer && writer->Logged({kFinish, 36}));
        const QString file = report::ReadRunRecords(runs).runs.value(0).path;
        const auto local = [](const QDateTime& t) { return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate); };
        const auto away = [](const QDateTime& t) { return t.toOffsetFromUtc(t.offsetFromUtc() + 5 * 3600).toString(Qt::ISODate); };
        QFile record(file);
        QVERIFY(record.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(record.readAll());
        record.close();
        text.replace(local(kStart), away(kStart)).replace(local(kFinish), away(kFinish));
        QVERIFY(storage::ReplaceFileDurably(file, text.toUtf8(), nullptr));
        QCOMPARE(ViewResult(dir_.filePath(QStringLiteral("no-log")), runs),
                 calibration::ViewResultReport("36", kStart, kFinish));
    }

    // The writer is killed at fixed moments of its loop, from its first write
    // to well past a dozen; whatever moment it dies at, View Result reads one
    // complete write of that writer.
    void killedWriterNeverLeavesATornLog()
    {
        const QString path = dir_.filePath(QStringLiteral("killed.log"));
        int killedAfterSeveralWrites = 0;
        const unsigned long killAtMicroseconds[] = {0, 50, 100, 200, 300, 500, 700, 1000, 1500, 2500, 4000, 7000, 12000, 20000};
        for (int kill = 1; kill <= int(std::size(killAtMicroseconds)); ++kill) {
            QProcess writer;
            writer.start(QStringLiteral(HELPER_LOG_WRITER), {path, QString::number(kill * 1000000)});
            QVERIFY(writer.waitForReadyRead(10000));
            QThread::usleep(killAtMicroseconds[kill - 1]);
            writer.kill();
            QVERIFY(writer.waitForFinished(10000));
            const QString report = ViewResult(path);
            const qint64 writes = report.section(QLatin1Char(' '), 5, 5).toLongLong() - kill * 1000000;
            QVERIFY2(writes >= 0 && writes < 1000000 && report.count(QStringLiteral("\r\n")) == 6, qPrintable(report));
            killedAfterSeveralWrites += writes > 0;
        }
        QVERIFY(killedAfterSeveralWrites > 0);
    }
    void initTestCase() { QLocale::setDefault(QLocale(QStringLiteral("de_DE"))); }

    void readsWhatThisAndOtherSettingsWrote_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("readerLocale");
        QTest::addColumn<QDateTime>("moment");  // invalid: no date
        // Written with milliseconds, which the text drops.
        const auto written = [](const char* locale, const QDateTime& moment = kSample) {
            return storage::DateText(moment.addMSecs(870), QLocale(QString::fromLatin1(locale)));
        };
        for (const char* locale : {"C", "en_US", "de_DE", "ar_EG"}) {
            QTest::addRow("%s", locale) << written(locale) << locale << kSample;
            QTest::addRow("%s zero date", locale) << written(locale, storage::ZeroDateTime()) << locale << storage::ZeroDateTime();
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
        QCOMPARE(storage::ParseDateText(text, QLocale(readerLocale)).value_or(QDateTime()), moment);
    }

    void minutesBetweenCountsMinuteBoundaries()
    {
        const auto at = [](int h, int m, int s) { return QDateTime(QDate(2026, 3, 7), QTime(h, m, s)); };
        QCOMPARE(storage::MinutesBetween(at(10, 0, 59), at(10, 1, 0)), 1);
        QCOMPARE(storage::MinutesBetween(at(10, 0, 0), at(10, 0, 59)), 0);
        QCOMPARE(storage::MinutesBetween(at(10, 1, 0), at(10, 0, 59)), -1);
        // Across the autumn clock change 01:30 to 02:30 local is two real hours.
        const QDateTime beforeFall(QDate(2026, 10, 25), QTime(1, 30), QTimeZone("Europe/Berlin"));
        QCOMPARE(storage::MinutesBetween(beforeFall, beforeFall.addSecs(7200)), 120);
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(ResultLogTest)
#include "tst_result_log.moc"
