// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <optional>

namespace app {

SingleInstance::SingleInstance(QString busName, QString lockPath, std::function<void()> onActivate)
    : busName_(std::move(busName)), lockPath_(std::move(lockPath)), onActivate_(std::move(onActivate))
{
}

SingleInstance::~SingleInstance() = default;

InstanceClaim SingleInstance::Claim()
{
    if (const auto claim = detail::ClaimOnSessionBus(busName_, busObject_, onActivate_))
        return *claim;
    // A lock left by a crashed window is stale: its process is gone, and
    // QLockFile takes it over.
    QDir().mkpath(QFileInfo(lockPath_).absolutePath());
    lock_ = std::make_unique<QLockFile>(lockPath_);
    if (lock_->tryLock(0))
        return InstanceClaim::First;
    // A lock that cannot be written at all stops nobody.
    return lock_->error() == QLockFile::LockFailedError ? InstanceClaim::OtherRunning : InstanceClaim::First;
}

#ifdef Q_OS_WIN
std::optional<InstanceClaim> detail::ClaimOnSessionBus(const QString&, std::unique_ptr<QObject>&, std::function<void()>)
{
    return std::nullopt;
}
#endif

}  // namespace app
