// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/durable_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>

namespace storage {
namespace {

bool Fail(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

QString Cannot(const QString& what, const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot %1 %2: %3").arg(what, QDir::toNativeSeparators(path), reason);
}

// The directories on the way to `directory` that do not exist, outermost first.
QStringList MissingDirectories(const QString& directory)
{
    QStringList missing;
    QString current = QDir::cleanPath(QFileInfo(directory).absoluteFilePath());
    while (!QFileInfo::exists(current)) {
        missing.prepend(current);
        const QString parent = QFileInfo(current).absolutePath();
        if (parent == current)
            break;
        current = parent;
    }
    return missing;
}

#ifndef Q_OS_WIN
// Writes everything, going on after a short write or a signal; 0 or errno.
int WriteAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        done += written;
    }
    return 0;
}

// Writes and syncs through a fresh descriptor; 0 or errno.
int WriteAndSync(int fd, const QByteArray& bytes, bool dataOnly)
{
    int result = WriteAll(fd, bytes);
    if (result == 0 && (dataOnly ? ::fdatasync(fd) : ::fsync(fd)) != 0)
        result = errno;
    if (::close(fd) != 0 && result == 0)
        result = errno;
    return result;
}
#else
// There the file's own flush to disk is the best there is; directory
// entries are journalled with the directory.
bool WriteAndCommit(QFile& file, const QByteArray& bytes)
{
    return file.write(bytes) == bytes.size() && file.flush() && ::_commit(file.handle()) == 0;
}
#endif

// QSaveFile::commit ignores a failed sync; ours must not. 0 or errno.
int SyncSaveFile(QSaveFile& file)
{
#ifdef Q_OS_WIN
    Q_UNUSED(file);  // commit flushes it to disk there
    return 0;
#else
    return ::fsync(file.handle()) == 0 ? 0 : errno;
#endif
}

// What a failed write of a save file says; a short write (file too large,
// disk full) sets no error of the file's own.
QString WriteFailure(const QSaveFile& file, int number)
{
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return number != 0 ? SystemReason(number) : QStringLiteral("Short write");
}

}  // namespace

QString SystemReason(int number)
{
    return qt_error_string(number);
}

int SyncDirectory(const QString& directory)
{
#ifdef Q_OS_WIN
    Q_UNUSED(directory);
    return 0;
#else
    const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int result = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return result;
#endif
}

bool CreateDirectoryDurably(const QString& directory, QString* error)
{
    const QStringList missing = MissingDirectories(directory);
    if (missing.isEmpty())
        return QFileInfo(directory).isDir() || Fail(error, Cannot(QStringLiteral("use"), directory, QStringLiteral("Not a directory")));
    if (!QDir().mkpath(directory))
        return Fail(error, Cannot(QStringLiteral("create"), directory, QStringLiteral("The folder could not be made")));
#ifndef Q_OS_WIN
    for (const QString& created : missing) {
        if (const int number = SyncDirectory(QFileInfo(created).absolutePath()))
            return Fail(error, Cannot(QStringLiteral("sync"), created, SystemReason(number)));
    }
#endif
    return true;
}

bool CreateFileDurably(const QString& path, const QByteArray& bytes, QString* error)
{
#ifndef Q_OS_WIN
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return Fail(error, Cannot(QStringLiteral("create"), path, SystemReason(errno)));
    if (const int number = WriteAndSync(fd, bytes, false)) {
        ::unlink(name.constData());
        return Fail(error, Cannot(QStringLiteral("write"), path, SystemReason(number)));
    }
    if (const int number = SyncDirectory(QFileInfo(path).absolutePath()))
        return Fail(error, Cannot(QStringLiteral("sync"), QFileInfo(path).absolutePath(), SystemReason(number)));
    return true;
#else
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Fail(error, Cannot(QStringLiteral("create"), path, file.errorString()));
    if (!WriteAndCommit(file, bytes)) {
        const QString reason = file.errorString();
        file.remove();
        return Fail(error, Cannot(QStringLiteral("write"), path, reason));
    }
    return true;
#endif
}

bool AppendDurably(const QString& path, const QByteArray& bytes, QString* error)
{
#ifndef Q_OS_WIN
    // No O_CREAT: a record that vanished stays gone rather than coming back headless.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return Fail(error, Cannot(QStringLiteral("open"), path, SystemReason(errno)));
    if (const int number = WriteAndSync(fd, bytes, true))
        return Fail(error, Cannot(QStringLiteral("write"), path, SystemReason(number)));
    return true;
#else
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::ExistingOnly))
        return Fail(error, Cannot(QStringLiteral("open"), path, file.errorString()));
    if (!WriteAndCommit(file, bytes))
        return Fail(error, Cannot(QStringLiteral("write"), path, file.errorString()));
    return true;
#endif
}

bool ReplaceFileDurably(const QString& path, const QByteArray& bytes, QString* error)
{
    const QString directory = QFileInfo(path).absolutePath();
    if (!CreateDirectoryDurably(directory, error))
        return false;
    const QString write = QStringLiteral("write");
    QSaveFile file(path);
    file.setDirectWriteFallback(false);  // never overwrite in place
    if (!file.open(QIODevice::WriteOnly))
        return Fail(error, Cannot(write, path, file.errorString()));
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = WriteFailure(file, errno);
        file.cancelWriting();
        return Fail(error, Cannot(write, path, reason));
    }
    if (const int number = SyncSaveFile(file)) {
        file.cancelWriting();
        return Fail(error, Cannot(write, path, SystemReason(number)));
    }
    if (!file.commit())
        return Fail(error, Cannot(write, path, file.errorString()));
    if (const int number = SyncDirectory(directory))
        return Fail(error, Cannot(QStringLiteral("sync"), directory, SystemReason(number)));
    return true;
}

}  // namespace storage
