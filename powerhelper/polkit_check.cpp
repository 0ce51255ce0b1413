// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/polkit_check.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace powerhelper {
namespace {

// A password dialog may stay open for a while.
constexpr int kAnswerTimeoutMs = 5 * 60 * 1000;
constexpr uint kAllowUserInteraction = 1;

struct Subject {
    QString kind;
    QVariantMap details;
};

QDBusArgument& operator<<(QDBusArgument& argument, const Subject& subject) {
    argument.beginStructure();
    argument << subject.kind << subject.details;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Subject& subject) {
    argument.beginStructure();
    argument >> subject.kind >> subject.details;
    argument.endStructure();
    return argument;
}

}  // namespace
}  // namespace powerhelper

Q_DECLARE_METATYPE(powerhelper::Subject)

namespace powerhelper {

void CheckAuthorization(const QDBusConnection& bus, const QString& caller, const QString& action,
                        QObject* context, std::function<void(bool allowed, const QString& why)> done) {
    static const bool registered = [] {
        qDBusRegisterMetaType<QMap<QString, QString>>();
        return qDBusRegisterMetaType<Subject>().isValid();
    }();
    Q_UNUSED(registered);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.PolicyKit1"), QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
        QStringLiteral("org.freedesktop.PolicyKit1.Authority"), QStringLiteral("CheckAuthorization"));
    const Subject subject{QStringLiteral("system-bus-name"), {{QStringLiteral("name"), caller}}};
    call << QVariant::fromValue(subject) << action << QVariant::fromValue(QMap<QString, QString>())
         << kAllowUserInteraction << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         const QDBusMessage reply = watcher->reply();
                         if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
                             done(false, QStringLiteral("polkit: %1").arg(watcher->error().message()));
                             return;
                         }
                         const QDBusArgument result = reply.arguments().first().value<QDBusArgument>();
                         bool authorized = false, challenge = false;
                         QMap<QString, QString> details;
                         result.beginStructure();
                         result >> authorized >> challenge >> details;
                         result.endStructure();
                         done(authorized, authorized ? QString() : QStringLiteral("not authorised"));
                     });
}

}  // namespace powerhelper
