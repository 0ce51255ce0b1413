// SPDX-License-Identifier: GPL-3.0-or-later
// Notices on Windows: a tray icon's balloon message, and the progress bar
// on the window's taskbar button.
#include "platform/desktop_notices.h"

#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QWidget>

#include <windows.h>
#include <shobjidl.h>

namespace platform {
namespace {

class WindowsNotices final : public DesktopNotices {
public:
    WindowsNotices()
    {
        tray_.setIcon(QApplication::windowIcon());
        tray_.setToolTip(QStringLiteral("Dorvik"));
        QObject::connect(&tray_, &QSystemTrayIcon::messageClicked, [this] {
            if (onActivated)
                onActivated();
        });
    }
    ~WindowsNotices() override
    {
        if (taskbar_)
            taskbar_->Release();
    }

    void Show(const DesktopNotice& notice) override
    {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return;
        tray_.show();
        tray_.showMessage(notice.title, notice.body,
                          notice.urgent ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
    }

    // The balloon goes with its icon.
    void Withdraw() override { tray_.hide(); }

    void SetProgress(const TaskbarProgress& progress) override
    {
        const HWND window = Window();
        if (!window || !Taskbar())
            return;
        if (!progress.visible) {
            taskbar_->SetProgressState(window, TBPF_NOPROGRESS);
        } else {
            taskbar_->SetProgressState(window, progress.urgent ? TBPF_PAUSED : TBPF_NORMAL);
            taskbar_->SetProgressValue(window, static_cast<ULONGLONG>(progress.value * 1000), 1000);
        }
        if (progress.urgent)
            FlashWindow(window, TRUE);
    }

private:
    static HWND Window()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible())
                return reinterpret_cast<HWND>(widget->winId());
        }
        return nullptr;
    }

    ITaskbarList3* Taskbar()
    {
        if (!taskbar_ && SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                                    IID_ITaskbarList3, reinterpret_cast<void**>(&taskbar_)))) {
            if (FAILED(taskbar_->HrInit())) {
                taskbar_->Release();
                taskbar_ = nullptr;
            }
        }
        return taskbar_;
    }

    QSystemTrayIcon tray_;
    ITaskbarList3* taskbar_ = nullptr;
};

}  // namespace

std::unique_ptr<DesktopNotices> CreateDesktopNotices()
{
    return std::make_unique<WindowsNotices>();
}

}  // namespace platform
