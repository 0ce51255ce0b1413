// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/battery_attributes.h"

#include <QDir>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace powerhelper {
namespace {

constexpr int kMaxAttributeSize = 4096;
constexpr int kMaxNameLength = 64;

QString ErrnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

int OpenFolder(const QString& path) {
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// The first device of the ideapad_acpi driver that has conservation_mode.
int OpenIdeapadDevice(const QString& sysfsRoot) {
    const QDir driver(sysfsRoot + QStringLiteral("/bus/platform/drivers/ideapad_acpi"));
    const QStringList entries = driver.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        const int fd = OpenFolder(driver.filePath(entry));
        if (fd < 0)
            continue;
        struct stat info {};
        if (::fstatat(fd, "conservation_mode", &info, AT_SYMLINK_NOFOLLOW) == 0)
            return fd;
        ::close(fd);
    }
    return -1;
}

// Opens an attribute without following a link and without waiting on a
// FIFO; only a regular file is accepted.
Outcome OpenAttribute(int folder, const QString& attribute, int access, int& fd) {
    fd = ::openat(folder, QFile::encodeName(attribute).constData(),
                  access | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP)
            return Outcome::Invalid(QStringLiteral("%1 is a symbolic link").arg(attribute));
        if (error == ENOENT)
            return Outcome::Invalid(QStringLiteral("there is no %1").arg(attribute));
        return Outcome::Failed(QStringLiteral("cannot open %1: %2").arg(attribute, ErrnoText(error)));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        fd = -1;
        return Outcome::Invalid(QStringLiteral("%1 is not a regular file").arg(attribute));
    }
    return {};
}

}  // namespace

std::unique_ptr<BatteryAttributes> BatteryAttributes::Open(const QString& sysfsRoot, const QString& name,
                                                           Outcome& outcome) {
    static const QRegularExpression kName(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    if (name.size() > kMaxNameLength) {
        outcome = Outcome::Invalid(QStringLiteral("a power supply name has at most %1 characters").arg(kMaxNameLength));
        return nullptr;
    }
    if (!kName.match(name).hasMatch() || name == QLatin1String(".") || name == QLatin1String("..")) {
        outcome = Outcome::Invalid(QStringLiteral("\"%1\" is not a power supply name").arg(name));
        return nullptr;
    }
    const int classFd = OpenFolder(sysfsRoot + QStringLiteral("/class/power_supply"));
    if (classFd < 0) {
        outcome = Outcome::Invalid(QStringLiteral("there are no power supplies"));
        return nullptr;
    }
    // The class entry is itself a link to the device's folder.
    const int batteryFd = ::openat(classFd, QFile::encodeName(name).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(classFd);
    if (batteryFd < 0) {
        outcome = Outcome::Invalid(QStringLiteral("there is no power supply \"%1\"").arg(name));
        return nullptr;
    }
    std::unique_ptr<BatteryAttributes> battery(new BatteryAttributes(name, batteryFd, -1));
    QString type;
    if (!battery->Read(QStringLiteral("type"), type).ok() || type != QLatin1String("Battery")) {
        outcome = Outcome::Invalid(QStringLiteral("\"%1\" is not a battery").arg(name));
        return nullptr;
    }
    // A mouse's or a headset's battery is not the machine's to calibrate.
    QString scope;
    if (battery->Read(QStringLiteral("scope"), scope).ok() && scope == QLatin1String("Device")) {
        outcome = Outcome::Invalid(QStringLiteral("\"%1\" is a device's battery, not the system's").arg(name));
        return nullptr;
    }
    battery->ideapadFd_ = OpenIdeapadDevice(sysfsRoot);
    outcome = {};
    return battery;
}

BatteryAttributes::BatteryAttributes(QString name, int batteryFd, int ideapadFd)
    : name_(std::move(name)), batteryFd_(batteryFd), ideapadFd_(ideapadFd) {}

BatteryAttributes::~BatteryAttributes() {
    ::close(batteryFd_);
    if (ideapadFd_ >= 0)
        ::close(ideapadFd_);
}

int BatteryAttributes::FolderOf(const QString& attribute) const {
    return attribute == attribute::kConservationMode ? ideapadFd_ : batteryFd_;
}

bool BatteryAttributes::Has(const QString& attribute) const {
    const int folder = FolderOf(attribute);
    struct stat info {};
    return folder >= 0 &&
           ::fstatat(folder, QFile::encodeName(attribute).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

Outcome BatteryAttributes::Read(const QString& attribute, QString& content) const {
    const int folder = FolderOf(attribute);
    if (folder < 0)
        return Outcome::Invalid(QStringLiteral("there is no %1").arg(attribute));
    int fd = -1;
    if (Outcome opened = OpenAttribute(folder, attribute, O_RDONLY, fd); !opened.ok())
        return opened;
    QByteArray bytes(kMaxAttributeSize, '\0');
    ssize_t size = -1;
    do {
        size = ::read(fd, bytes.data(), bytes.size());
    } while (size < 0 && errno == EINTR);
    const int error = errno;
    ::close(fd);
    if (size < 0)
        return Outcome::Failed(QStringLiteral("cannot read %1: %2").arg(attribute, ErrnoText(error)));
    content = QString::fromUtf8(bytes.left(size)).trimmed();
    return {};
}

Outcome BatteryAttributes::Write(const QString& attribute, const QString& value) const {
    const int folder = FolderOf(attribute);
    if (folder < 0)
        return Outcome::Invalid(QStringLiteral("there is no %1").arg(attribute));
    int fd = -1;
    if (Outcome opened = OpenAttribute(folder, attribute, O_WRONLY | O_TRUNC, fd); !opened.ok())
        return opened;
    const QByteArray bytes = value.toUtf8() + '\n';
    ssize_t size = -1;
    do {
        size = ::write(fd, bytes.constData(), bytes.size());
    } while (size < 0 && errno == EINTR);
    const int error = errno;
    ::close(fd);
    if (size != bytes.size())
        return Outcome::Failed(QStringLiteral("the driver refused %1 for %2: %3")
                                   .arg(value, attribute, size < 0 ? ErrnoText(error) : QStringLiteral("short write")));
    return {};
}

}  // namespace powerhelper
