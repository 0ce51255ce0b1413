// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace platform {

// A notification on the desktop. Each one replaces the one before it.
struct DesktopNotice {
    QString title;
    QString body;
    bool urgent = false;  // a box in the window waits for the user
    QString action = QStringLiteral("Show Dorvik");  // what a click on it does
    bool lasting = false;  // stays until the user clicks or dismisses it
};

// The application's entry on the taskbar or dock.
struct TaskbarProgress {
    bool visible = false;
    double value = 0;  // 0 to 1
    bool urgent = false;
};

// Notifications and taskbar progress. Never waits for a service: an absent
// one costs one log line and nothing else.
class DesktopNotices {
public:
    virtual ~DesktopNotices() = default;
    virtual void Show(const DesktopNotice& notice) = 0;
    virtual void SetProgress(const TaskbarProgress& progress) = 0;
    // Takes the last notice off the screen.
    virtual void Withdraw() = 0;
    // Runs when the user clicks a notice (its default action).
    std::function<void()> onActivated;
    // Runs when the last notice left the screen unclicked, or could not be
    // shown at all; where the service does not tell, never.
    std::function<void()> onClosed;
};

// The desktop's own service: org.freedesktop.Notifications and Unity's
// LauncherEntry on Linux, the portal inside a Flatpak sandbox, the tray and
// the taskbar button on Windows.
std::unique_ptr<DesktopNotices> CreateDesktopNotices();

}  // namespace platform
