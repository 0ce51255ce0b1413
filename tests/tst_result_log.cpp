#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include "calibration/result_log.h"
#include "platform/date_text.h"
#include "support/window_fixture.h"

namespace {

QByteArray ReadRaw(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QString LogText(qint64 minutes, const QDateTime& started, const QDateTime& written)
{
    return CrLfJoined({QString::number(minutes), platform::DateText(started), platform::DateText(written)});
}

}  // namespace

class ResultLogTest : public QObject {
    Q_OBJECT

private slots:
    void writeLeavesTheTextAndCrLfOnly();
    void writeCreatesTheMissingDirectory();
    void unwritableLogIsReportedThenEnds();
    void killedWriterNeverLeavesATornLog();
};

void ResultLogTest::writeLeavesTheTextAndCrLfOnly()
{
    WindowFixture f;
    const QDateTime started(QDate(2026, 3, 7), QTime(10, 0, 10));
    f.form->WriteResultLog(f.LogPath(), QString(300, QLatin1Char('9')));
    const QString text = LogText(37, started, started.addSecs(37 * 60 - 5));
    f.form->WriteResultLog(f.LogPath(), text);
    QCOMPARE(ReadRaw(f.LogPath()), text.toLocal8Bit() + "\r\n");
    QCOMPARE(text.split(QStringLiteral("\r\n")).size(), 3);
}

void ResultLogTest::writeCreatesTheMissingDirectory()
{
    WindowFixture f;
    QVERIFY(!QFileInfo::exists(QFileInfo(f.LogPath()).path()));
    f.form->WriteResultLog(f.LogPath(), QStringLiteral("0"));
    QCOMPARE(ReadRaw(f.LogPath()), QByteArray("0\r\n"));
}

void ResultLogTest::unwritableLogIsReportedThenEnds()
{
    WindowFixture f;
    f.form->WriteResultLog(f.LogPath(), QStringLiteral("5"));
    const QString blocked = f.LogPath() + QStringLiteral("/Dorvik.log");  // under a regular file
    bool continued = false;
    f.form->Dispatch([&] {
        f.form->WriteResultLog(blocked, QStringLiteral("6"));
        continued = true;
    });
    QVERIFY(!continued);
    QVERIFY(f.platform.endCalled);
    QCOMPARE(f.platform.boxes.size(), 1);
    QCOMPARE(f.platform.boxes[0].style, int(platform::vbCritical));
    QVERIFY2(f.platform.boxes[0].text.contains(blocked), qPrintable(f.platform.boxes[0].text));
    QVERIFY2(f.platform.boxes[0].text.contains(QStringLiteral("Not a directory")), qPrintable(f.platform.boxes[0].text));
    QCOMPARE(ReadRaw(f.LogPath()), QByteArray("5\r\n"));
}

// The writer is killed at random moments of its loop; whatever moment it
// dies at, the log is one complete write of that writer.
void ResultLogTest::killedWriterNeverLeavesATornLog()
{
    WindowFixture f;
    const QRegularExpression complete(QStringLiteral("^(\\d+)\r\n([^\r\n]+)\r\n([^\r\n]+)\r\n$"));
    constexpr int kKills = 300;
    constexpr qint64 kMinutesPerRun = 1000000;
    int killedAfterSeveralWrites = 0;
    for (int kill = 1; kill <= kKills; ++kill) {
        QProcess writer;
        writer.start(QStringLiteral(HELPER_LOG_WRITER), {f.LogPath(), QString::number(kill * kMinutesPerRun)});
        QVERIFY(writer.waitForReadyRead(10000));
        QThread::usleep(QRandomGenerator::global()->bounded(40000));
        QCOMPARE(writer.state(), QProcess::Running);
        writer.kill();
        QVERIFY(writer.waitForFinished(10000));

        QFile log(f.LogPath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray bytes = log.readAll();
        const auto match = complete.match(QString::fromLocal8Bit(bytes));
        QVERIFY2(match.hasMatch(), bytes.toPercentEncoding().constData());
        QVERIFY(platform::ParseDateText(match.captured(2)));
        QVERIFY(platform::ParseDateText(match.captured(3)));
        const qint64 writes = match.captured(1).toLongLong() - kill * kMinutesPerRun;
        QVERIFY2(writes >= 0 && writes < kMinutesPerRun, bytes.constData());
        killedAfterSeveralWrites += writes > 0;

        f.platform.boxes.clear();
        f.form->Dispatch(&frmMain::Command2_Click);
        QCOMPARE(f.platform.boxes.size(), 1);
        QVERIFY(f.platform.boxes[0].text.startsWith(
            QStringLiteral("The previous run lasted for %1 minutes").arg(match.captured(1))));
    }
    qInfo("%d of %d writers were killed after more than one write", killedAfterSeveralWrites, kKills);
    QVERIFY(killedAfterSeveralWrites > 0);
}

QTEST_MAIN(ResultLogTest)
#include "tst_result_log.moc"
