// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping a Windows machine awake: the thread's execution state asks the
// system not to sleep while it is set. It cannot stop the lid's own action.
#include "platform/keep_awake.h"


#include <QLoggingCategory>
#include <windows.h>

Q_LOGGING_CATEGORY(lcKeepAwake, "dorvik.keepawake")

namespace platform {

struct KeepAwake::Impl {
    std::function<void()> onSettled;
    bool held = false;
    QString line;
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
    impl_->line = taken ? QStringLiteral("system sleep: held off")
                        : QStringLiteral("system sleep: refused (SetThreadExecutionState failed, error %1)")
                              .arg(GetLastError());
    qCInfo(lcKeepAwake, "keeping the machine awake: %s", qUtf8Printable(impl_->line));
    if (impl_->onSettled)
        impl_->onSettled();
}

void KeepAwake::Release()
{
    if (!impl_->held)
        return;
    impl_->held = false;
    SetThreadExecutionState(ES_CONTINUOUS);
    impl_->line = QStringLiteral("system sleep: released");
}

QStringList KeepAwake::Report() const
{
    return impl_->line.isEmpty() ? QStringList() : QStringList{impl_->line};
}

bool KeepAwake::Settled() const
{
    return true;
}

}  // namespace platform
