// SPDX-License-Identifier: GPL-3.0-or-later
// logind's block inhibitors on the system bus, held by an open file descriptor.
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QTimer>

#include "platform/keep_awake_lock_linux.h"

namespace platform::keep_awake {

const QString kLogind = QStringLiteral("org.freedesktop.login1");

namespace {

// logind holds the lock while any copy of the returned descriptor is open;
// Qt's copy is close-on-exec, so launched programs do not inherit it.
std::function<void()> DescriptorTake(const QDBusMessage& reply)
{
    auto fd = std::make_shared<QDBusUnixFileDescriptor>(reply.arguments().value(0).value<QDBusUnixFileDescriptor>());
    if (!fd->isValid())
        return {};
    return [fd] { *fd = QDBusUnixFileDescriptor(); };
}

QDBusMessage LogindCall(const QString& method, const QVariantList& arguments)
{
    return Call(kLogind, QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
                method, arguments, true);
}

// ListInhibitors answers a(ssssuu): what, who, why, mode, uid, pid.
QStringList OurInhibitors(const QDBusMessage& reply)
{
    QStringList ours;
    if (reply.type() != QDBusMessage::ReplyMessage)
        return ours;
    const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString what, who, why, mode;
        uint uid = 0, pid = 0;
        list.beginStructure();
        list >> what >> who >> why >> mode >> uid >> pid;
        list.endStructure();
        if (who == kWho && mode == QLatin1String("block") && pid == QCoreApplication::applicationPid())
            ours << what;
    }
    list.endArray();
    return ours;
}

}  // namespace

LockPtr LogindLock(const QString& what)
{
    auto lock = NewLock(QStringLiteral("logind ") + what, QStringLiteral("logind"), QDBusConnection::systemBus(),
                        LogindCall(QStringLiteral("Inhibit"), {what, kWho, kWhy, QStringLiteral("block")}),
                        DescriptorTake);
    lock->what = what;
    return lock;
}

void AskWhatLogindKept(QObject* context, const std::function<bool()>& held,
                       const std::function<void(const QStringList& kept)>& then, int attempt)
{
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::systemBus().asyncCall(LogindCall(QStringLiteral("ListInhibitors"), {}), kAnswerTimeoutMs),
        context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [context, held, then, attempt](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         const QDBusMessage reply = finished->reply();
                         if (held() && attempt < kRetries && NotReadyYet(reply))
                             QTimer::singleShot(kRetryMs, context, [context, held, then, attempt] {
                                 AskWhatLogindKept(context, held, then, attempt + 1);
                             });
                         else
                             then(OurInhibitors(reply));
                     });
}

}  // namespace platform::keep_awake
