// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/keep_awake_portal_linux.h"

#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>
#include <utility>

namespace platform::keep_awake {

const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");

// Receives the portal's Response signals: QtDBus delivers signals to slots only.
class PortalResponses : public QObject {
    Q_OBJECT
public:
    std::function<void(const QString& path, uint response)> onResponse;

public slots:
    void Response(uint response, const QVariantMap&, const QDBusMessage& message)
    {
        if (onResponse)
            onResponse(message.path(), response);
    }
};

namespace {

const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");

std::function<void()> PortalTake(const QDBusMessage& reply)
{
    const QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
    if (handle.isEmpty())
        return {};
    return [handle] { Send(QDBusConnection::sessionBus(), kPortal, handle, kRequest, QStringLiteral("Close"), {}); };
}

}  // namespace

Portal::Portal(std::function<void(Lock&)> onRefused)
    : onRefused_(std::move(onRefused)), responses_(std::make_unique<PortalResponses>())
{
    responses_->onResponse = [this](const QString& path, uint response) { OnResponse(path, response); };
}

Portal::~Portal() = default;

LockPtr Portal::NewLock() const
{
    LockPtr lock = keep_awake::NewLock(QStringLiteral("desktop portal"), QStringLiteral("the desktop portal"),
                                       QDBusConnection::sessionBus(), {}, {});
    lock->service = kPortal;
    return lock;
}

// Its path is known before the call (from the handle token), so a quick
// refusal is not missed; older portals choose their own path, which is
// followed once the answer names it.
void Portal::FollowRequest(const LockPtr& lock, const QString& path)
{
    if (path.isEmpty() || lock->requestPaths.contains(path))
        return;
    lock->requestPaths << path;
    lock->bus.connect(kPortal, path, kRequest, QStringLiteral("Response"), responses_.get(),
                      SLOT(Response(uint, QVariantMap, QDBusMessage)));
}

void Portal::Unfollow(const LockPtr& lock)
{
    for (const QString& path : std::exchange(lock->requestPaths, {}))
        lock->bus.disconnect(kPortal, path, kRequest, QStringLiteral("Response"), responses_.get(),
                             SLOT(Response(uint, QVariantMap, QDBusMessage)));
}

void Portal::Prepare(const LockPtr& lock)
{
    lock_ = lock;
    const QString token = QStringLiteral("dorvik%1").arg(++tokens_);
    const QVariantMap options{{QStringLiteral("reason"), kWhy}, {QStringLiteral("handle_token"), token}};
    lock->call = Call(kPortal, QStringLiteral("/org/freedesktop/portal/desktop"),
                      QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"),
                      {QString(), kSuspendAndIdle, options}, true);
    lock->take = PortalTake;
    // Weakly: the lock owns this function, and must not own itself.
    lock->onTaken = [this, weak = std::weak_ptr<Lock>(lock)](const QDBusMessage& reply) {
        if (const LockPtr taken = weak.lock())
            FollowRequest(taken, reply.arguments().value(0).value<QDBusObjectPath>().path());
    };
    if (lock->bus.isConnected()) {
        QString sender = lock->bus.baseService().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        FollowRequest(lock, QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token));
    }
}

void Portal::OnResponse(const QString& path, uint response)
{
    const LockPtr lock = lock_.lock();
    if (!lock || response == 0 || !lock->requestPaths.contains(path))
        return;
    if (lock->state != AskState::Taken && lock->state != AskState::Waiting && lock->state != AskState::NoAnswer)
        return;
    ++lock->generation;  // an answer still on its way holds nothing now
    lock->pending = false;
    lock->giveBack = {};  // the portal ends the request itself
    lock->state = AskState::Refused;
    lock->reason = QStringLiteral("the portal answered %1: %2")
                       .arg(response)
                       .arg(response == 1 ? QStringLiteral("cancelled by the user")
                                          : QStringLiteral("refused or failed"));
    Unfollow(lock);
    onRefused_(*lock);
}

}  // namespace platform::keep_awake

#include "keep_awake_portal_linux.moc"
