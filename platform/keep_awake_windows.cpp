// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a Windows machine awake: the thread's execution state asks the
// system not to sleep while it is set. It cannot stop the lid's own action.
#include "platform/keep_awake.h"


#include <QLoggingCategory>
#include <optional>
#include <windows.h>

Q_LOGGING_CATEGORY(lcKeepAwake, "dorvik.keepawake")

namespace platform {
namespace {

const QString kLabel = QStringLiteral("system sleep");

}  // namespace

struct KeepAwake::Impl {
    std::function<void()> onSettled;
    bool held = false;
    std::optional<storage::LockLine> lock;
};

KeepAwake::KeepAwake(std::function<void()> onSettled) : impl_(std::make_unique<Impl>())
{
    impl_->onSettled = std::move(onSettled);
}

KeepAwake::~KeepAwake()
{
    Release();
}

void KeepAwake::Hold()
{
    if (impl_->held)
        return;
    impl_->held = true;
    // The state stays until changed on this thread, the event loop's own,
    // which lives as long as the application.
    const bool taken = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
    impl_->lock = taken ? storage::LockLine{kLabel, storage::LockState::Taken, QStringLiteral("held off")}
                        : storage::LockLine{kLabel, storage::LockState::Refused,
                                            QStringLiteral(" (SetThreadExecutionState failed, error %1)").arg(GetLastError())};
    qCInfo(lcKeepAwake, "keeping the machine awake: %s", qUtf8Printable(storage::LockLineText(*impl_->lock)));
    if (impl_->onSettled)
        impl_->onSettled();
}

void KeepAwake::Release()
{
    if (!impl_->held)
        return;
    impl_->held = false;
    SetThreadExecutionState(ES_CONTINUOUS);
    impl_->lock = storage::LockLine{kLabel, storage::LockState::Released, {}};
}

QList<storage::LockLine> KeepAwake::Locks() const
{
    return impl_->lock ? QList<storage::LockLine>{*impl_->lock} : QList<storage::LockLine>();
}

bool KeepAwake::Settled() const
{
    return true;
}

}  // namespace platform
