// SPDX-License-Identifier: GPL-3.0-or-later
// The session's own inhibitors, since desktops run their idle and lid
// policies themselves: each answers with a cookie, given back by name.
#include "platform/keep_awake_lock_linux.h"

namespace platform::keep_awake {
namespace {

// A cookie-based session inhibitor, given back with the named method.
TakeFn CookieTake(const QString& service, const QString& path, const QString& interface, const QString& release)
{
    return [=](const QDBusMessage& reply) -> std::function<void()> {
        const QVariant cookie = reply.arguments().value(0);
        if (!cookie.isValid())
            return {};
        return [=] { Send(QDBusConnection::sessionBus(), service, path, interface, release, {cookie}); };
    };
}

// Asked only where the service runs: autostart is off, so an absent one
// answers ServiceUnknown at once.
LockPtr SessionLock(const QString& label, const QString& service, const QString& path, const QString& interface,
                    const QVariantList& arguments, const QString& release)
{
    return NewLock(label, label, QDBusConnection::sessionBus(),
                   Call(service, path, interface, QStringLiteral("Inhibit"), arguments, false),
                   CookieTake(service, path, interface, release));
}

}  // namespace

std::vector<LockPtr> SessionLocks()
{
    return {SessionLock(QStringLiteral("GNOME session manager"), QStringLiteral("org.gnome.SessionManager"),
                        QStringLiteral("/org/gnome/SessionManager"), QStringLiteral("org.gnome.SessionManager"),
                        {kAppId, 0u, kWhy, kSuspendAndIdle}, QStringLiteral("Uninhibit")),
            SessionLock(QStringLiteral("power management"), QStringLiteral("org.freedesktop.PowerManagement"),
                        QStringLiteral("/org/freedesktop/PowerManagement/Inhibit"),
                        QStringLiteral("org.freedesktop.PowerManagement.Inhibit"), {kWho, kWhy},
                        QStringLiteral("UnInhibit")),
            SessionLock(QStringLiteral("screen saver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                        QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver"),
                        {kWho, kWhy}, QStringLiteral("UnInhibit"))};
}

}  // namespace platform::keep_awake
