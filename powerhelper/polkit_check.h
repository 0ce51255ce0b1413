// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QString>
#include <functional>

class QObject;

namespace powerhelper {

// Asks polkit whether the bus client caller (a unique name) may do action,
// letting the desktop's agent ask for a password. done runs once the answer
// is in, in context's thread; a polkit error counts as a refusal, with why
// saying what went wrong.
void CheckAuthorization(const QDBusConnection& bus, const QString& caller, const QString& action,
                        QObject* context, std::function<void(bool allowed, const QString& why)> done);

}  // namespace powerhelper
