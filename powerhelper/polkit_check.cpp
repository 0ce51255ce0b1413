// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/polkit_check.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace powerhelper {
namespace {

// A password dialog may stay open for a while, but the client gives up
// after five and a half minutes: an answer must reach it before that.
constexpr int kAnswerTimeoutMs = 240 * 1000;
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

// polkit is not on the bus, or did not answer in time.
bool Unanswered(const QDBusError& error) {
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
    case QDBusError::NoServer:
    case QDBusError::Disconnected:
        return true;
    default:
        return error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    }
}

}  // namespace
}  // namespace powerhelper

Q_DECLARE_METATYPE(powerhelper::Subject)

namespace powerhelper {

void CheckAuthorization(const QDBusConnection& bus, const QString& caller, const QString& action,
                        const QMap<QString, QString>& details, bool interactive, QObject* context,
                        std::function<void(Authorization, const QString& why)> done) {
    static const bool registered = [] {
        qDBusRegisterMetaType<QMap<QString, QString>>();
        return qDBusRegisterMetaType<Subject>().isValid();
    }();
    Q_UNUSED(registered);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.PolicyKit1"), QStringLiteral("/org/freedesktop/PolicyKit1/Authority"),
        QStringLiteral("org.freedesktop.PolicyKit1.Authority"), QStringLiteral("CheckAuthorization"));
    const Subject subject{QStringLiteral("system-bus-name"), {{QStringLiteral("name"), caller}}};
    call << QVariant::fromValue(subject) << action << QVariant::fromValue(details)
         << (interactive ? kAllowUserInteraction : 0u) << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         const QDBusMessage reply = watcher->reply();
                         if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
                             const QDBusError error = watcher->error();
                             done(Unanswered(error) ? Authorization::Unavailable : Authorization::Refused,
                                  QStringLiteral("polkit: %1").arg(error.message()));
                             return;
                         }
                         const QDBusArgument result = reply.arguments().first().value<QDBusArgument>();
                         bool authorized = false, challenge = false;
                         QMap<QString, QString> details;
                         result.beginStructure();
                         result >> authorized >> challenge >> details;
                         result.endStructure();
                         done(authorized ? Authorization::Allowed : Authorization::Refused,
                              authorized ? QString() : QStringLiteral("not authorised"));
                     });
}

}  // namespace powerhelper
