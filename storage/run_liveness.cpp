// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/run_liveness.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace storage {
namespace {

#ifdef Q_OS_WIN
// Windows byte-range locks are mandatory: the hold takes one byte far past
// any end a record reaches, so that appends through other handles go on.
constexpr DWORD kHeldOffsetHigh = 0x40000000;

HANDLE OpenShared(const QString& path, DWORD access = GENERIC_READ)
{
    return CreateFileW(reinterpret_cast<LPCWSTR>(path.utf16()), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool LockHeldByte(HANDLE file, DWORD flags)
{
    OVERLAPPED at{};
    at.OffsetHigh = kHeldOffsetHigh;
    return LockFileEx(file, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

void UnlockHeldByte(HANDLE file)
{
    OVERLAPPED at{};
    at.OffsetHigh = kHeldOffsetHigh;
    UnlockFileEx(file, 0, 1, 0, &at);
}
#else
// flock locks belong to the open file description, so a second open in
// the same process conflicts with the first as another process would.
int FlockRetrying(int fd, int operation)
{
    int result;
    do
        result = ::flock(fd, operation);
    while (result != 0 && errno == EINTR);
    return result;
}
#endif

}  // namespace

FileHold::FileHold(const QString& path)
{
#ifdef Q_OS_WIN
    const HANDLE file = OpenShared(path, GENERIC_READ | GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE)
        return;
    if (!LockHeldByte(file, LOCKFILE_EXCLUSIVE_LOCK)) {
        CloseHandle(file);
        return;
    }
    handle_ = reinterpret_cast<long long>(file);
#else
    // Open for writing: NFS carries flock out as a byte-range write lock,
    // which a read-only descriptor cannot take.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return;
    if (FlockRetrying(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return;
    }
    handle_ = fd;
#endif
}

FileHold::~FileHold()
{
    if (handle_ == kNone)
        return;
#ifdef Q_OS_WIN
    UnlockHeldByte(reinterpret_cast<HANDLE>(handle_));
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
#else
    ::close(int(handle_));  // drops the lock with the description
#endif
}

bool IsHeld(const QString& path)
{
#ifdef Q_OS_WIN
    const HANDLE file = OpenShared(path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool free = LockHeldByte(file, 0);
    if (free)
        UnlockHeldByte(file);
    CloseHandle(file);
    return !free;
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = FlockRetrying(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
#endif
}

bool DorvikProgramName(const QString& name)
{
    return name == QLatin1String("dorvik") || name == QLatin1String("dorvik-demo");
}

bool ProcessAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    if (pid == QCoreApplication::applicationPid())
        return true;  // this very process writes it
#ifdef Q_OS_WIN
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;  // there, but another user's: its name cannot be told
    DWORD code = 0;
    wchar_t image[MAX_PATH];
    DWORD size = MAX_PATH;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    const bool named = QueryFullProcessImageNameW(process, 0, image, &size);
    CloseHandle(process);
    return running && (!named || DorvikProgramName(QFileInfo(QString::fromWCharArray(image, int(size))).completeBaseName()));
#elif defined(Q_OS_LINUX)
    // The kernel's name of the program, cut at 15 characters; a reused id
    // names another program.
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) && DorvikProgramName(QString::fromUtf8(comm.readAll()).trimmed());
#else
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#endif
}

namespace {

const QString kSimulatedPrefix = QStringLiteral("demo-");

QString BootCountPath(const QString& directory)
{
    return directory + QStringLiteral("/simulated-boots");
}

qint64 SimulatedBoots(const QString& directory)
{
    QFile file(BootCountPath(directory));
    return file.open(QIODevice::ReadOnly) ? file.read(32).trimmed().toLongLong() : 0;
}

}  // namespace

QString SimulatedBootId(const QString& directory)
{
    return kSimulatedPrefix + BootId() + QLatin1Char('-') + QString::number(SimulatedBoots(directory));
}

void EndSimulatedBoot(const QString& directory)
{
    const qint64 next = SimulatedBoots(directory) + 1;
    QFile file(BootCountPath(directory));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(QByteArray::number(next) + '\n');
}

bool IsSimulatedBootId(const QString& id)
{
    return id.startsWith(kSimulatedPrefix);
}

QString BootId()
{
#ifdef Q_OS_WIN
    const qint64 sinceBootMs = static_cast<qint64>(GetTickCount64());
    return QString::number((QDateTime::currentMSecsSinceEpoch() - sinceBootMs) / 1000);
#else
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.read(64).trimmed());
#endif
}

bool SameBoot(const QString& a, const QString& b)
{
    if (IsSimulatedBootId(a) && IsSimulatedBootId(b)) {
        const qsizetype aCount = a.lastIndexOf(QLatin1Char('-')), bCount = b.lastIndexOf(QLatin1Char('-'));
        return a.mid(aCount) == b.mid(bCount)
               && SameBoot(a.mid(kSimulatedPrefix.size(), aCount - kSimulatedPrefix.size()),
                           b.mid(kSimulatedPrefix.size(), bCount - kSimulatedPrefix.size()));
    }
#ifdef Q_OS_WIN
    bool aNumber = false, bNumber = false;
    const qint64 aSeconds = a.toLongLong(&aNumber), bSeconds = b.toLongLong(&bNumber);
    if (aNumber && bNumber)
        return std::llabs(aSeconds - bSeconds) <= 60;
#endif
    return a == b;
}

}  // namespace storage
