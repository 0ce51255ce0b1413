// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/platform.h"

#include <utility>

#include "storage/run_liveness.h"

namespace platform {

QString UntrappedError::ReportText() const
{
    return what_ + kCrLf + kCrLf + reason_;
}

int Platform::MsgBox(const QString& text, int style, const QString& title, const QString& extraButton)
{
    ThrowIfEnded();
    BoxWaiting(true);
    const std::unique_ptr<Platform, void (*)(Platform*)> closed(this, [](Platform* self) { self->BoxWaiting(false); });
    const int answer = ShowMessageBox(text, style, title.isEmpty() ? kAppTitle : title, extraButton);
    ThrowIfEnded();  // the window may have been closed while the box was open
    return answer;
}

void Platform::DoEvents()
{
    ThrowIfEnded();
    PumpEvents();
    ThrowIfEnded();
}

void Platform::Notify(const QString& title, const QString& body, std::function<QString()> current)
{
    notice_ = DesktopNotice{title, body, boxesOpen_ > 0};
    noticeNow_ = std::move(current);
    noticeClicked_ = {};
    SendNotice(*notice_);
}

void Platform::NotifyLasting(const QString& title, const QString& body, std::function<void()> clicked)
{
    notice_.reset();
    noticeNow_ = {};
    noticeClicked_ = std::move(clicked);
    SendNotice(DesktopNotice{.title = title, .body = body, .lasting = true});
}

bool Platform::NoticeClicked()
{
    if (!noticeClicked_)
        return false;
    std::exchange(noticeClicked_, {})();
    return true;
}

void Platform::ShowProgress(std::optional<int> percent)
{
    const TaskbarProgress next{percent.has_value(), percent.value_or(0) / 100.0, boxesOpen_ > 0};
    if (next.visible != progress_.visible || (next.visible && next.value != progress_.value))
        SendProgress(progress_ = next);
}

void Platform::ForgetNotices()
{
    if (std::exchange(notice_, std::nullopt))
        WithdrawNotice();
    noticeNow_ = {};
    ShowProgress(std::nullopt);
}

// A box nobody answers stalls the run for hours: the notice and the taskbar
// entry say so while one is open. Nested boxes count as one. The notice is
// not sent again once the box is answered: the user is there, and the next
// stage's notice replaces it.
void Platform::BoxWaiting(bool waiting)
{
    boxesOpen_ += waiting ? 1 : -1;
    const bool urgent = boxesOpen_ > 0;
    if (notice_ && notice_->urgent != urgent) {
        notice_->urgent = urgent;
        if (urgent && noticeNow_)
            notice_->body = noticeNow_();
        if (urgent)
            SendNotice(*notice_);
    }
    if (progress_.urgent != urgent) {
        progress_.urgent = urgent;
        if (notice_ || progress_.visible)
            SendProgress(progress_);
    }
}

void Platform::End()
{
    RequestEnd();
    throw EndRequested{};
}

void Platform::RequestEnd()
{
    if (ended_)
        return;
    ended_ = true;
    ReleaseAwake();
    ForgetNotices();
    OnEnd();
}

void Platform::ReportAndEnd(const UntrappedError& error)
{
    if (!ended_)
        ShowMessageBox(error.ReportText(), vbOKOnly + vbCritical, kAppTitle, {});
    End();
}

void Platform::ThrowIfEnded() const
{
    if (ended_)
        throw EndRequested{};
}

QString Platform::BootId()
{
    return storage::BootId();
}

}  // namespace platform
