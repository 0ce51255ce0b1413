#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>

#include "platform/platform.h"
#include "platform/text_file.h"

using platform::FileLookup;
using Lines = QList<QByteArray>;

namespace {

void WriteRaw(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadRaw(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Files beyond `bytes` cannot grow while this lives; root is bound by it too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

}  // namespace

class TextFileTest : public QObject {
    Q_OBJECT

private slots:
    void replaceLeavesExactlyTheNewBytes();
    void replaceCreatesMissingDirectories();
    void replaceFailureNamesPathAndReasonAndKeepsOldFile_data();
    void replaceFailureNamesPathAndReasonAndKeepsOldFile();
    void lookUpFindsOnlyVisibleOrdinaryFiles();
    void readerStopsAtItsByteLimit();
    void readerRefusesWhatIsNotAnOrdinaryFile();

private:
    QTemporaryDir dir_;
};

void TextFileTest::replaceLeavesExactlyTheNewBytes()
{
    const QString path = dir_.filePath(QStringLiteral("exact.log"));
    WriteRaw(path, QByteArray(5000, 'x') + "\r\n");
    platform::ReplaceFileDurably(path, "12\r\nab\r\n");
    QCOMPARE(ReadRaw(path), QByteArray("12\r\nab\r\n"));
    platform::ReplaceFileDurably(path, QByteArray());
    QCOMPARE(ReadRaw(path), QByteArray());
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("exact.log")});
}

void TextFileTest::replaceCreatesMissingDirectories()
{
    const QString path = dir_.filePath(QStringLiteral("state/dorvik/Dorvik.log"));
    platform::ReplaceFileDurably(path, "1\r\n");
    QCOMPARE(ReadRaw(path), QByteArray("1\r\n"));
}

void TextFileTest::replaceFailureNamesPathAndReasonAndKeepsOldFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("under a regular file") << QStringLiteral("blocker/sub/Dorvik.log") << QByteArray("1\r\n")
                                          << QStringLiteral("Not a directory");
    QTest::newRow("a directory") << QStringLiteral("blocker-dir") << QByteArray("1\r\n")
                                 << QStringLiteral("directory");
    QTest::newRow("write fails midway") << QStringLiteral("old.log") << QByteArray(64 * 1024, 'n')
                                             << QStringLiteral("File too large");
}

void TextFileTest::replaceFailureNamesPathAndReasonAndKeepsOldFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    WriteRaw(dir.filePath(QStringLiteral("blocker")), "old\r\n");
    WriteRaw(dir.filePath(QStringLiteral("old.log")), "old\r\n");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("blocker-dir")));
    const QString path = dir.filePath(name);
    try {
        const FileSizeLimit limit(4096);
        platform::ReplaceFileDurably(path, bytes);
        QFAIL("no error raised");
    } catch (const platform::UntrappedError& error) {
        QVERIFY2(error.What().contains(path), qPrintable(error.What()));
        QVERIFY2(error.Reason().contains(reason), qPrintable(error.Reason()));
    }
    QCOMPARE(ReadRaw(dir.filePath(QStringLiteral("blocker"))), QByteArray("old\r\n"));
    QCOMPARE(ReadRaw(dir.filePath(QStringLiteral("old.log"))), QByteArray("old\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 3);
}

void TextFileTest::lookUpFindsOnlyVisibleOrdinaryFiles()
{
    QTemporaryDir dir;
    const auto at = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    WriteRaw(at("Dorvik.log"), "1\r\n");
    WriteRaw(at(".Dorvik.log"), "1\r\n");
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QCOMPARE(mkfifo(QFile::encodeName(at("fifo")).constData(), 0600), 0);
    QVERIFY(QFile::link(at("Dorvik.log"), at("link")));
    QVERIFY(QFile::link(at("loop"), at("loop")));

    QCOMPARE(platform::LookUpOrdinaryFile(at("Dorvik.log")), FileLookup::Found);
    QCOMPARE(platform::LookUpOrdinaryFile(at("link")), FileLookup::Found);
    QCOMPARE(platform::LookUpOrdinaryFile(at("absent")), FileLookup::Missing);
    QCOMPARE(platform::LookUpOrdinaryFile(at("Dorvik.log/x")), FileLookup::Missing);
    QCOMPARE(platform::LookUpOrdinaryFile(at(".Dorvik.log")), FileLookup::Missing);
    QCOMPARE(platform::LookUpOrdinaryFile(at("folder")), FileLookup::Missing);
    QCOMPARE(platform::LookUpOrdinaryFile(at("fifo")), FileLookup::Missing);
    QCOMPARE(platform::LookUpOrdinaryFile(QStringLiteral("/dev/null")), FileLookup::Missing);
    QCOMPARE(platform::LookUpOrdinaryFile(at("loop")), FileLookup::Failed);
}

void TextFileTest::readerStopsAtItsByteLimit()
{
    const QString path = dir_.filePath(QStringLiteral("limit.log"));
    WriteRaw(path, "a\r\nbb\r\nccc");
    QCOMPARE(platform::ReadFirstLines(path, 3, 10), (Lines{"a", "bb", "ccc"}));
    QVERIFY(!platform::ReadFirstLines(path, 3, 9));
    WriteRaw(path, "a\r\nbb\r\nccc\r\nmore");
    QCOMPARE(platform::ReadFirstLines(path, 3, 12), (Lines{"a", "bb", "ccc"}));
    QVERIFY(!platform::ReadFirstLines(path, 3, 11));

    WriteRaw(path, "1\r\n2\r\n3\r\n" + QByteArray(8 << 20, 'x'));
    QCOMPARE(platform::ReadFirstLines(path, 3), (Lines{"1", "2", "3"}));
    WriteRaw(path, QByteArray(8 << 20, 'x'));
    QVERIFY(!platform::ReadFirstLines(path, 3));
}

void TextFileTest::readerRefusesWhatIsNotAnOrdinaryFile()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(!platform::ReadFirstLines(fifo, 3));  // returns at once: no writer is waited for
    QVERIFY(!platform::ReadFirstLines(dir.path(), 3));
    QVERIFY(!platform::ReadFirstLines(dir.filePath(QStringLiteral("absent")), 3));
    QVERIFY(!platform::ReadFirstLines(QStringLiteral("/dev/zero"), 3));
}

QTEST_GUILESS_MAIN(TextFileTest)
#include "tst_text_file.moc"
