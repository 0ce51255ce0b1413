// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/power_settings_step.h"

#include <algorithm>

#include "platform/platform.h"

namespace calibration {
namespace {

using storage::LockLine;
using storage::LockState;

// The locks that keep each thing off, by the labels the keep-awake layer
// gives them: logind's, the session's and the portal's.
bool Keeps(const QList<LockLine>& locks, std::initializer_list<const char*> services)
{
    return std::any_of(locks.begin(), locks.end(), [&](const LockLine& lock) {
        return lock.state == LockState::Taken
               && std::any_of(services.begin(), services.end(),
                              [&](const char* service) { return lock.service == QLatin1String(service); });
    });
}

QString JoinedWithAnd(const QStringList& items)
{
    if (items.size() < 2)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + items.last();
}

}  // namespace

QStringList PowerSettingsAdvice(const QList<LockLine>& locks)
{
    const bool suspend = Keeps(locks, {"logind sleep", "GNOME session manager", "power management", "desktop portal",
                                       "system sleep"});
    const bool screen = Keeps(locks, {"logind idle", "GNOME session manager", "screen saver", "desktop portal"});
    const bool lid = Keeps(locks, {"logind handle-lid-switch"});
    QStringList kept;
    if (suspend)
        kept << QStringLiteral("the machine from suspending");
    if (screen)
        kept << QStringLiteral("the screen from locking");
    if (lid)
        kept << QStringLiteral("a closed lid from suspending it");
    QStringList advice;
    advice << (kept.isEmpty() ? QStringLiteral("Dorvik could not keep this machine awake by itself.")
                              : QStringLiteral("Dorvik keeps ") + JoinedWithAnd(kept) + QStringLiteral(" while the run lasts."));
    if (!suspend)
        advice << QStringLiteral("In the desktop's power settings, turn automatic suspend on battery off "
                                 "(\"Automatic Suspend\" or \"Suspend when inactive\").");
    advice << QStringLiteral("Only you can set what happens when the battery is nearly empty: where the power settings "
                             "offer it, set the critical battery level as low as it goes. Shutting down, hibernating or "
                             "suspending there all end the run well.");
    return advice;
}

QString PowerSettingsInstructions(const QList<LockLine>& locks)
{
#ifdef Q_OS_WIN
    Q_UNUSED(locks);
    return QStringList{
        QStringLiteral("Please change the POWER SCHEME to PORTABLE/LAPTOP."),
        QStringLiteral("Then change the RUNNING ON BATTERIES column items to NEVER")
            + QStringLiteral(" i.e. set the TURN OFF MONITOR, TURN OFF HARD DISKS, SYSTEM STANDBY and SYSTEM HIBERNATES settings (if present)")
            + QStringLiteral(" all to NEVER. Finally set the ALARMS to as low a setting as possible."),
        QStringLiteral("Then click on OK to close down Control Panel"),
    }.join(platform::kCrLf);
#else
    return (PowerSettingsAdvice(locks) << QStringLiteral("Then close the power settings and click on OK."))
        .join(platform::kCrLf);
#endif
}

}  // namespace calibration
