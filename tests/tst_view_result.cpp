#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPushButton>
#include <QtTest>
#include <sys/stat.h>

#include "calibration/result_log.h"
#include "platform/date_text.h"
#include "support/window_fixture.h"

namespace {

const QDateTime kStart(QDate(2026, 3, 7), QTime(10, 0, 10));
const QDateTime kFinish(QDate(2026, 3, 7), QTime(10, 37, 5));

void WriteRaw(const QString& path, const QByteArray& bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray Date(const QDateTime& moment)
{
    return platform::DateText(moment).toLocal8Bit();
}

// Presses View Result and hands back the one box it showed.
FakePlatform::Box ViewResult(WindowFixture& f)
{
    f.platform.boxes.clear();
    f.form->Dispatch(&frmMain::Command2_Click);
    if (f.platform.boxes.size() != 1 || f.platform.endCalled)
        return {QStringLiteral("<%1 boxes>").arg(f.platform.boxes.size()), -1, {}, 0};
    return f.platform.boxes[0];
}

struct Report {
    QString minutes;
    std::optional<QDateTime> started;
    std::optional<QDateTime> finished;
};

// The values a report box shows, read back from its text.
Report ReadReport(const QString& text)
{
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    if (lines.size() != 7)
        return {};
    static const QString head = QStringLiteral("The previous run lasted for ");
    static const QString tail = QStringLiteral(" minutes before the battery ran out of charge.");
    const QString first = lines[0];
    if (!first.startsWith(head) || !first.endsWith(tail) || !lines[5].startsWith(QStringLiteral("Started="))
        || !lines[6].startsWith(QStringLiteral("Finished=")))
        return {};
    return {first.mid(head.size(), first.size() - head.size() - tail.size()),
            platform::ParseDateText(lines[5].mid(8)), platform::ParseDateText(lines[6].mid(9))};
}

}  // namespace

class ViewResultTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::system()); }
    void reportTextHasSevenLines();
    void noLogReportsZeroMinutesAndTheZeroDate_data();
    void noLogReportsZeroMinutesAndTheZeroDate();
    void reportsTheFirstThreeLines_data();
    void reportsTheFirstThreeLines();
    void unreadableLogGivesTheFailureMessage_data();
    void unreadableLogGivesTheFailureMessage();
    void viewResultButtonShowsTheReport();
    void writtenLogReadsBackUnderEveryLocale_data();
    void writtenLogReadsBackUnderEveryLocale();
};

void ViewResultTest::reportTextHasSevenLines()
{
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    WindowFixture f;
    WriteRaw(f.LogPath(), "37\r\n3/7/2026 10:00:10 AM\r\n3/7/2026 10:37:05 AM\r\n");
    const FakePlatform::Box box = ViewResult(f);
    QCOMPARE(box.text, QStringLiteral("The previous run lasted for 37 minutes before the battery ran out of charge.\r\n"
                                      "\r\n"
                                      "Note: This time is not an accurate measure of battery life,\r\n"
                                      "to do this, you need to run a BatteryMark test after calibrating the battery.\r\n"
                                      "\r\n"
                                      "Started=3/7/2026 10:00:10 AM\r\n"
                                      "Finished=3/7/2026 10:37:05 AM"));
    QCOMPARE(box.style, int(platform::vbOKOnly));
    QCOMPARE(box.title, QStringLiteral("Dorvik"));

    QFile::remove(f.LogPath());
    QVERIFY(ViewResult(f).text.endsWith(QStringLiteral("\r\n\r\nStarted=12/30/1899 12:00:00 AM\r\n"
                                                       "Finished=12/30/1899 12:00:00 AM")));
}

void ViewResultTest::noLogReportsZeroMinutesAndTheZeroDate_data()
{
    QTest::addColumn<QString>("atThePath");
    QTest::newRow("nothing") << QString();
    QTest::newRow("directory") << QStringLiteral("directory");
    QTest::newRow("FIFO") << QStringLiteral("fifo");
}

void ViewResultTest::noLogReportsZeroMinutesAndTheZeroDate()
{
    QFETCH(QString, atThePath);
    WindowFixture f;
    QVERIFY(QDir().mkpath(QFileInfo(f.LogPath()).path()));
    if (atThePath == QStringLiteral("directory"))
        QVERIFY(QDir().mkpath(f.LogPath()));
    if (atThePath == QStringLiteral("fifo"))
        QCOMPARE(mkfifo(QFile::encodeName(f.LogPath()).constData(), 0600), 0);

    const FakePlatform::Box box = ViewResult(f);
    const Report report = ReadReport(box.text);
    QCOMPARE(report.minutes, QStringLiteral("0"));
    QCOMPARE(report.started, platform::ZeroDateTime());
    QCOMPARE(report.finished, platform::ZeroDateTime());
}

void ViewResultTest::reportsTheFirstThreeLines_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<QDateTime>("started");
    QTest::addColumn<QDateTime>("finished");
    const QByteArray start = Date(kStart), finish = Date(kFinish), hourLater = Date(kStart.addSecs(3600));
    QTest::newRow("37 minutes") << "37\r\n" + start + "\r\n" + finish + "\r\n" << QStringLiteral("37") << kStart << kFinish;
    QTest::newRow("minutes not from the dates")
        << "37\r\n" + start + "\r\n" + hourLater + "\r\n" << QStringLiteral("37") << kStart << kStart.addSecs(3600);
    QTest::newRow("a word for minutes")
        << "forty-two\r\n" + start + "\r\n" + finish + "\r\n" << QStringLiteral("forty-two") << kStart << kFinish;
    QTest::newRow("empty minutes") << "\r\n" + start + "\r\n" + finish + "\r\n" << QString() << kStart << kFinish;
    QTest::newRow("more than three lines")
        << "37\r\n" + start + "\r\n" + finish + "\r\ngarbage\r\n\r\n" << QStringLiteral("37") << kStart << kFinish;
    QTest::newRow("last line without CR LF") << "37\r\n" + start + "\r\n" + finish << QStringLiteral("37") << kStart << kFinish;
    QTest::newRow("LF line ends") << "37\n" + start + "\n" + finish + "\n" << QStringLiteral("37") << kStart << kFinish;
}

void ViewResultTest::reportsTheFirstThreeLines()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, minutes);
    QFETCH(QDateTime, started);
    QFETCH(QDateTime, finished);
    WindowFixture f;
    WriteRaw(f.LogPath(), log);
    const Report report = ReadReport(ViewResult(f).text);
    QCOMPARE(report.minutes, minutes);
    QCOMPARE(report.started, started);
    QCOMPARE(report.finished, finished);
}

void ViewResultTest::unreadableLogGivesTheFailureMessage_data()
{
    QTest::addColumn<QByteArray>("log");
    const QByteArray start = Date(kStart), finish = Date(kFinish);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one line") << QByteArray("37\r\n");
    QTest::newRow("two lines") << "37\r\n" + start + "\r\n";
    QTest::newRow("two lines and an empty third") << "37\r\n" + start + "\r\n\r\n";
    QTest::newRow("empty line 2") << "37\r\n\r\n" + finish + "\r\n";
    QTest::newRow("line 2 not a date") << "37\r\nyesterday\r\n" + finish + "\r\n";
    QTest::newRow("line 3 not a date") << "37\r\n" + start + "\r\n" + finish + "x\r\n";
    QTest::newRow("huge first line") << QByteArray(16 << 20, '7') + "\r\n" + start + "\r\n" + finish + "\r\n";
    QTest::newRow("no line end at all") << QByteArray(16 << 20, '\0');
}

void ViewResultTest::unreadableLogGivesTheFailureMessage()
{
    QFETCH(QByteArray, log);
    WindowFixture f;
    WriteRaw(f.LogPath(), log);
    const FakePlatform::Box box = ViewResult(f);
    QCOMPARE(box.text, QStringLiteral("Result log C:\\Dorvik.log is not accessible!"));
    QCOMPARE(box.style, int(platform::vbOKOnly));
    QCOMPARE(box.title, QStringLiteral("Dorvik"));

    // Nothing stays open: the log can be written and read again at once.
    f.form->WriteResultLog(f.LogPath(), CrLfJoined({QStringLiteral("3"), platform::DateText(kStart), platform::DateText(kFinish)}));
    QCOMPARE(ReadReport(ViewResult(f).text).minutes, QStringLiteral("3"));
}

void ViewResultTest::viewResultButtonShowsTheReport()
{
    WindowFixture f;
    QTest::mouseClick(f.form->Command2, Qt::LeftButton);
    QCOMPARE(f.platform.boxes.size(), 1);
    QCOMPARE(ReadReport(f.platform.boxes[0].text).minutes, QStringLiteral("0"));
}

void ViewResultTest::writtenLogReadsBackUnderEveryLocale_data()
{
    QTest::addColumn<QString>("locale");
    for (const char* name : {"en_US", "de_DE", "en_GB", "C", "fr_FR", "ja_JP", "ar_EG", "fa_IR", "ko_KR", "hi_IN"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void ViewResultTest::writtenLogReadsBackUnderEveryLocale()
{
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    WindowFixture f;
    const QDateTime started(QDate(2026, 10, 25), QTime(1, 59, 58, 730));
    const QDateTime written(QDate(2026, 10, 25), QTime(14, 5, 9, 120));
    const qint64 minutes = platform::MinutesBetween(started, written);
    f.form->WriteResultLog(f.LogPath(), CrLfJoined({QString::number(minutes), platform::DateText(started),
                                                    platform::DateText(written)}));
    const Report report = ReadReport(ViewResult(f).text);
    QCOMPARE(report.minutes, QString::number(minutes));
    QCOMPARE(report.started, started.addMSecs(-730));
    QCOMPARE(report.finished, written.addMSecs(-120));
}

QTEST_MAIN(ViewResultTest)
#include "tst_view_result.moc"
