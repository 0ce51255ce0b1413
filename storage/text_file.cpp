// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>


#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

namespace storage {
namespace {

#ifdef Q_OS_UNIX
QByteArray Encoded(const QString& path)
{
    return QFile::encodeName(path);
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
bool OpenOrdinaryFile(const QString& path, QFile& file)
{
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
}
#endif

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

}  // namespace storage
