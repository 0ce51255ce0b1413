// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/power_panel.h"

#include <QStandardPaths>
#include <vector>

namespace platform {
namespace {

struct DesktopPanel {
    QStringList desktops;
    CommandLine command;
};

const std::vector<DesktopPanel>& KnownPanels()
{
    static const std::vector<DesktopPanel> panels = {
        {{"GNOME", "Unity"}, {"gnome-control-center", {"power"}}},
        {{"KDE"}, {"systemsettings", {"kcm_powerdevilprofilesconfig"}}},
        {{"KDE"}, {"kcmshell6", {"kcm_powerdevilprofilesconfig"}}},
        {{"KDE"}, {"kcmshell5", {"kcm_powerdevilprofilesconfig"}}},
        {{"XFCE"}, {"xfce4-power-manager-settings", {}}},
        {{"MATE"}, {"mate-power-preferences", {}}},
        {{"X-Cinnamon"}, {"cinnamon-settings", {"power"}}},
        {{"LXQt"}, {"lxqt-config-powermanagement", {}}},
    };
    return panels;
}

bool Names(const DesktopPanel& panel, const QStringList& desktops)
{
    for (const QString& desktop : desktops) {
        if (panel.desktops.contains(desktop.trimmed(), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

}  // namespace

std::optional<CommandLine> ChoosePowerPanel(const QString& currentDesktops,
                                            const std::function<bool(const QString&)>& isInstalled)
{
    const QStringList desktops = currentDesktops.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const DesktopPanel& panel : KnownPanels()) {
        if (Names(panel, desktops) && isInstalled(panel.command.program))
            return panel.command;
    }
    for (const DesktopPanel& panel : KnownPanels()) {
        if (isInstalled(panel.command.program))
            return panel.command;
    }
    return std::nullopt;
}

std::optional<CommandLine> SystemPowerPanel()
{
#ifdef Q_OS_WIN
    return CommandLine{QStringLiteral("rundll32.exe"), {QStringLiteral("shell32.dll,Control_RunDLL"), QStringLiteral("powercfg.cpl")}};
#else
    return ChoosePowerPanel(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), [](const QString& program) {
        return !QStandardPaths::findExecutable(program).isEmpty();
    });
#endif
}

}  // namespace platform
