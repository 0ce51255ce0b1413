// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace platform {

struct CommandLine {
    QString program;
    QStringList arguments;
    bool operator==(const CommandLine&) const = default;
};

// The desktop's power settings panel: the one of the desktops named in
// XDG_CURRENT_DESKTOP (a colon-separated list) when it is installed,
// otherwise the first installed one of the known desktops; nothing when
// none is installed.
std::optional<CommandLine> ChoosePowerPanel(const QString& currentDesktops,
                                            const std::function<bool(const QString&)>& isInstalled);

// The panel on this machine: Windows' power options, or the choice above
// for the running desktop.
std::optional<CommandLine> SystemPowerPanel();

}  // namespace platform
