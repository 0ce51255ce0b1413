// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QMap>
#include <QString>
#include <functional>

class QObject;

namespace powerhelper {

enum class Authorization { Allowed, Refused, Unavailable };

// Asks polkit whether the bus client caller (a unique name) may do action,
// with details for the prompt, letting the desktop's agent ask for a
// password only when interactive. done runs once the answer is in, in
// context's thread: Unavailable when polkit is not on the bus or did not
// answer within four minutes, Refused for a refusal or any other error, with
// why saying what went wrong.
void CheckAuthorization(const QDBusConnection& bus, const QString& caller, const QString& action,
                        const QMap<QString, QString>& details, bool interactive, QObject* context,
                        std::function<void(Authorization, const QString& why)> done);

}  // namespace powerhelper
