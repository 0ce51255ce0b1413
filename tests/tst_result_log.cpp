#include <sys/stat.h>

#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QtTest>

#include "calibration/result_log.h"
#include "platform/date_text.h"
#include "support/window_fixture.h"

namespace {

const QDateTime kStart(QDate(2026, 3, 7), QTime(10, 0, 10));
const QDateTime kFinish(QDate(2026, 3, 7), QTime(10, 37, 5));
const QString kNotAccessible = QStringLiteral("Result log C:\\Dorvik.log is not accessible!");

// A log line as Dorvik writes it under other settings than the reader's.
QByteArray Line(const QDateTime& moment)
{
    return platform::DateText(moment, QLocale(QStringLiteral("en_US"))).toLocal8Bit() + "\r\n";
}

QByteArray ReadRaw(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Presses View Result of a window whose log is at the path; the one plain
// box it showed.
QString ViewResult(const QString& logPath)
{
    FakePlatform platform;
    ScriptedPower power;
    frmMain form(platform, power, logPath);
    form.Load();
    platform.boxes.clear();
    form.Command2->click();
    if (platform.boxes.size() != 1 || platform.boxes[0].style != platform::vbOKOnly)
        return QStringLiteral("<%1 boxes>").arg(platform.boxes.size());
    return platform.boxes[0].text;
}

}  // namespace

class ResultLogTest : public QObject {
    Q_OBJECT

private slots:
    void writeReplacesTheWholeLog()
    {
        const QString path = dir_.filePath(QStringLiteral("new/Dorvik.log"));
        calibration::WriteResultLogFile(path, QString(300, QLatin1Char('9')));
        calibration::WriteResultLogFile(path, QStringLiteral("37\r\nstart\r\nnow"));
        QCOMPARE(ReadRaw(path), QByteArray("37\r\nstart\r\nnow\r\n"));
        QVERIFY_THROWS_EXCEPTION(platform::UntrappedError, calibration::WriteResultLogFile(path + "/under-a-file", "6"));
        QCOMPARE(ReadRaw(path), QByteArray("37\r\nstart\r\nnow\r\n"));
    }

    void viewResultReadsTheFirstThreeLines_data()
    {
        QTest::addColumn<QByteArray>("log");  // null: no log
        QTest::addColumn<QString>("minutes");  // null: the log is not accessible
        QTest::addColumn<QDateTime>("started");
        QTest::addColumn<QDateTime>("finished");
        const QByteArray dates = Line(kStart) + Line(kFinish);
        const QDateTime zero = platform::ZeroDateTime(), none;
        QTest::newRow("no log") << QByteArray() << "0" << zero << zero;
        QTest::newRow("37 minutes") << "37\r\n" + dates << "37" << kStart << kFinish;
        QTest::newRow("minutes not from the dates") << "37\r\n" + Line(kStart) + Line(kStart.addSecs(3600)) << "37" << kStart << kStart.addSecs(3600);
        QTest::newRow("a word for minutes") << "forty-two\r\n" + dates << "forty-two" << kStart << kFinish;
        QTest::newRow("more than three lines") << "37\r\n" + dates + "garbage\r\n\r\n" << "37" << kStart << kFinish;
        QTest::newRow("last line without CR LF") << ("37\r\n" + dates).chopped(2) << "37" << kStart << kFinish;
        QTest::newRow("empty log") << QByteArray("") << QString() << none << none;
        QTest::newRow("one line") << QByteArray("37\r\n") << QString() << none << none;
        QTest::newRow("two lines") << "37\r\n" + Line(kStart) << QString() << none << none;
        QTest::newRow("empty line 2") << "37\r\n\r\n" + Line(kFinish) << QString() << none << none;
        QTest::newRow("line 2 not a date") << "37\r\nyesterday\r\n" + Line(kFinish) << QString() << none << none;
        QTest::newRow("line 3 not a date") << "37\r\n" + Line(kStart) + "x" + Line(kFinish) << QString() << none << none;
    }

    void viewResultReadsTheFirstThreeLines()
    {
        QFETCH(QByteArray, log);
        QFETCH(QString, minutes);
        QFETCH(QDateTime, started);
        QFETCH(QDateTime, finished);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Dorvik.log"));
        QFile file(path);
        QVERIFY(log.isNull() || (file.open(QIODevice::WriteOnly) && file.write(log) == log.size()));
        file.close();
        QCOMPARE(ViewResult(path), minutes.isNull() ? kNotAccessible : calibration::ViewResultReport(minutes, started, finished));
    }

    void whatIsNoOrdinaryFileCountsAsMissing()
    {
        const QString missing = calibration::ViewResultReport("0", platform::ZeroDateTime(), platform::ZeroDateTime());
        const QString hidden = dir_.filePath(QStringLiteral(".Dorvik.log"));
        calibration::WriteResultLogFile(hidden, "37\r\n" + Line(kStart) + Line(kFinish));
        QCOMPARE(ViewResult(hidden), missing);
        const QString fifo = dir_.filePath(QStringLiteral("fifo.log"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QCOMPARE(ViewResult(fifo), missing);  // and returns at once: no writer is waited for
    }

    // The writer is killed at random moments of its loop; whatever moment it
    // dies at, View Result reads one complete write of that writer.
    void killedWriterNeverLeavesATornLog()
    {
        const QString path = dir_.filePath(QStringLiteral("killed.log"));
        int killedAfterSeveralWrites = 0;
        for (int kill = 1; kill <= 200; ++kill) {
            QProcess writer;
            writer.start(QStringLiteral(HELPER_LOG_WRITER), {path, QString::number(kill * 1000000)});
            QVERIFY(writer.waitForReadyRead(10000));
            QThread::usleep(QRandomGenerator::global()->bounded(40000));
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

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(ResultLogTest)
#include "tst_result_log.moc"
