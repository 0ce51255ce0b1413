// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

#include "platform/appending_file.h"
#include "platform/platform.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

namespace platform {
namespace {

[[noreturn]] void FailToWrite(const QString& path, const QString& reason)
{
    throw UntrappedError(QStringLiteral("Cannot write %1.").arg(QDir::toNativeSeparators(path)), reason);
}

#ifdef Q_OS_UNIX
QByteArray Encoded(const QString& path)
{
    return QFile::encodeName(path);
}

// Each returns 0 or the system's error number.
int SyncFile(QSaveFile& file)
{
    return ::fsync(file.handle()) == 0 ? 0 : errno;
}

// Opens without following a FIFO into a wait for its writer, and keeps the
// handle only when it is an ordinary file.
bool OpenOrdinaryFile(const QString& path, QFile& file)
{
    const int fd = ::open(Encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}
#else
// QSaveFile::commit flushes the file to disk there, and the rename is
// journalled with the directory.
int SyncFile(QSaveFile&) { return 0; }

bool OpenOrdinaryFile(const QString& path, QFile& file)
{
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
}
#endif

QString SystemReason(int error)
{
    return qt_error_string(error);
}

// New directory entries must reach the disk as well, or the file in them is
// lost with them.
void CreateDirectoryDurably(const QString& directory, const QString& path)
{
    QString reason;
    if (!platform::CreateDirectoryDurably(directory, &reason))
        FailToWrite(path, reason);
}

QByteArray WithoutCarriageReturn(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// `wholeFile`: the data ends where the file ends.
std::optional<QList<QByteArray>> FirstLines(const QByteArray& data, int count, bool wholeFile)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (lines.size() < count) {
        const qsizetype end = data.indexOf('\n', start);
        if (end >= 0) {
            lines.append(WithoutCarriageReturn(data.mid(start, end - start)));
            start = end + 1;
        } else if (wholeFile && start < data.size()) {
            lines.append(WithoutCarriageReturn(data.mid(start)));
            start = data.size();
        } else {
            return std::nullopt;  // past the end, or beyond what was read
        }
    }
    return lines;
}

}  // namespace

void ReplaceFileDurably(const QString& path, const QByteArray& bytes)
{
    const QString directory = QFileInfo(path).absolutePath();
    CreateDirectoryDurably(directory, path);

    QSaveFile file(path);
    file.setDirectWriteFallback(false);  // never overwrite in place
    if (!file.open(QIODevice::WriteOnly))
        FailToWrite(path, file.errorString());
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        // A short write (file too large, disk full) sets no error of the file's own.
        const int error = errno;
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString()
                               : error != 0                        ? SystemReason(error)
                                                                   : QStringLiteral("Short write");
        file.cancelWriting();
        FailToWrite(path, reason);
    }
    // commit() ignores a failed sync; ours must not.
    if (const int error = SyncFile(file)) {
        file.cancelWriting();
        FailToWrite(path, SystemReason(error));
    }
    if (!file.commit())
        FailToWrite(path, file.errorString());
    if (const int error = SyncDirectory(directory))
        FailToWrite(path, SystemReason(error));
}

FileLookup LookUpOrdinaryFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.fileName().isEmpty() || info.isHidden())
        return FileLookup::Missing;
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(Encoded(path).constData(), &status) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileLookup::Missing : FileLookup::Failed;
    return S_ISREG(status.st_mode) ? FileLookup::Found : FileLookup::Missing;
#else
    // A system file, like a hidden one, is no ordinary file there.
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileLookup::Missing
                                                                              : FileLookup::Failed;
    }
    constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
        | FILE_ATTRIBUTE_DEVICE;
    return attributes & kNotOrdinary ? FileLookup::Missing : FileLookup::Found;
#endif
}

std::optional<QList<QByteArray>> ReadFirstLines(const QString& path, int count, qint64 byteLimit)
{
    // The type is checked before the open, so that opening never touches a device.
    if (LookUpOrdinaryFile(path) != FileLookup::Found)
        return std::nullopt;
    QFile file;
    if (!OpenOrdinaryFile(path, file))
        return std::nullopt;
    QByteArray data;
    while (data.size() <= byteLimit) {
        const QByteArray chunk = file.read(byteLimit + 1 - data.size());
        if (chunk.isEmpty())
            break;
        data += chunk;
    }
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    const bool wholeFile = data.size() <= byteLimit;
    data.truncate(byteLimit);
    return FirstLines(data, count, wholeFile);
}

}  // namespace platform
