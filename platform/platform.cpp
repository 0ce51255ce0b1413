// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/platform.h"

#include "platform/run_liveness.h"

namespace platform {

QString UntrappedError::ReportText() const
{
    return what_ + kCrLf + kCrLf + reason_;
}

int Platform::MsgBox(const QString& text, int style, const QString& title, const QString& extraButton)
{
    ThrowIfEnded();
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
    return platform::BootId();
}

}  // namespace platform
