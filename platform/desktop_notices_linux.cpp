// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop notifications and taskbar progress over the session bus. Every
// call is asynchronous and never starts a service: without a notification
// service there is one log line and no notification.
#include "platform/desktop_notices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QObject>
#include <QVariantMap>
#include <optional>
#include <utility>

namespace platform {
namespace {

Q_LOGGING_CATEGORY(lcNotices, "dorvik.notices")

const QString kAppId = QStringLiteral("io.github.dorvik.Dorvik");
const QString kAppUri = QStringLiteral("application://io.github.dorvik.Dorvik.desktop");
const QString kDefaultAction = QStringLiteral("default");

bool Absent(const QDBusError& error)
{
    return error.type() == QDBusError::ServiceUnknown || error.type() == QDBusError::Disconnected
           || error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
}

// What every variant shares: the LauncherEntry signal, the log lines, and
// sending one notice at a time so the next knows what it replaces.
class SessionBusNotices : public QObject, public DesktopNotices {
    Q_OBJECT

public:
    SessionBusNotices() : bus_(QDBusConnection::sessionBus()) {}

    void Show(const DesktopNotice& notice) override
    {
        if (!bus_.isConnected()) {
            LogOnce(QStringLiteral("no session bus"));
            Closed();
            return;
        }
        ListenOnce();
        withdrawOnReply_ = false;  // the new notice replaces the one to withdraw
        if (waiting_) {
            queued_ = notice;  // only the newest matters
            return;
        }
        Send(notice);
    }

    // Fire and forget. A notice still on its way is withdrawn once its
    // answer names it.
    void Withdraw() override
    {
        if (!bus_.isConnected())
            return;
        queued_.reset();
        if (waiting_) {
            withdrawOnReply_ = true;
            return;
        }
        if (QDBusMessage call = CloseCall(); call.type() == QDBusMessage::MethodCallMessage) {
            call.setAutoStartService(false);
            bus_.send(call);
        }
    }

    void SetProgress(const TaskbarProgress& progress) override
    {
        if (!bus_.isConnected())
            return;
        QDBusMessage update = QDBusMessage::createSignal(QStringLiteral("/io/github/dorvik/Dorvik/LauncherEntry"),
                                                         QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                         QStringLiteral("Update"));
        update << kAppUri
               << QVariantMap{{QStringLiteral("progress"), progress.value},
                              {QStringLiteral("progress-visible"), progress.visible},
                              {QStringLiteral("urgent"), progress.urgent}};
        bus_.send(update);
    }

protected:
    virtual QDBusMessage NoticeCall(const DesktopNotice& notice) = 0;
    virtual void Listen() = 0;
    virtual void Replied(const QDBusMessage&) {}
    // The call that withdraws the last notice; an invalid message when there is none.
    virtual QDBusMessage CloseCall() = 0;

    void Activated()
    {
        if (onActivated)
            onActivated();
    }

    void Closed()
    {
        if (onClosed)
            onClosed();
    }

    QDBusConnection bus_;

private:
    void Send(const DesktopNotice& notice)
    {
        QDBusMessage call = NoticeCall(notice);
        call.setAutoStartService(false);
        waiting_ = true;
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
            watcher->deleteLater();
            waiting_ = false;
            const QDBusMessage reply = watcher->reply();
            if (reply.type() == QDBusMessage::ErrorMessage) {
                LogOnce(Absent(watcher->error()) ? QStringLiteral("no notification service")
                                                 : watcher->error().name() + QStringLiteral(": ") + watcher->error().message());
                if (!queued_)
                    Closed();
            } else
                Replied(reply);
            if (std::exchange(withdrawOnReply_, false))
                Withdraw();
            if (queued_) {
                const DesktopNotice next = *std::exchange(queued_, std::nullopt);
                Send(next);
            }
        });
    }

    void ListenOnce()
    {
        if (!listening_)
            Listen();
        listening_ = true;
    }

    void LogOnce(const QString& why)
    {
        if (!logged_)
            qCInfo(lcNotices, "desktop notifications are off: %s", qUtf8Printable(why));
        logged_ = true;
    }

    bool waiting_ = false, listening_ = false, logged_ = false, withdrawOnReply_ = false;
    std::optional<DesktopNotice> queued_;
};

// org.freedesktop.Notifications: the server hands back an id, which the next
// notice names as the one it replaces.
class FreedesktopNotices final : public SessionBusNotices {
    Q_OBJECT

protected:
    QDBusMessage NoticeCall(const DesktopNotice& notice) override
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
        const QVariantMap hints{{QStringLiteral("desktop-entry"), kAppId},
                                {QStringLiteral("urgency"), QVariant::fromValue<uchar>(notice.urgent ? 2 : 1)}};
        call << QStringLiteral("Dorvik") << id_ << kAppId << notice.title << notice.body
             << QStringList{kDefaultAction, notice.action} << hints << (notice.lasting ? 0 : -1);
        return call;
    }

    void Listen() override
    {
        bus_.connect(QString(), kPath, kService, QStringLiteral("ActionInvoked"), this,
                     SLOT(OnActionInvoked(uint, QString)));
        bus_.connect(QString(), kPath, kService, QStringLiteral("NotificationClosed"), this,
                     SLOT(OnNotificationClosed(uint, uint)));
    }

    void Replied(const QDBusMessage& reply) override
    {
        if (!reply.arguments().isEmpty())
            id_ = reply.arguments().constFirst().toUInt();
    }

    QDBusMessage CloseCall() override
    {
        if (id_ == 0)
            return {};
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("CloseNotification"));
        call << id_;
        return call;
    }

private slots:
    void OnActionInvoked(uint id, const QString& action)
    {
        if (id == id_ && id_ != 0 && action == kDefaultAction)
            Activated();
    }

    void OnNotificationClosed(uint id, uint)
    {
        if (id == id_ && id_ != 0)
            Closed();
    }

private:
    inline static const QString kService = QStringLiteral("org.freedesktop.Notifications");
    inline static const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
    uint id_ = 0;
};

// Inside a sandbox: the portal, where one fixed id makes each notice
// replace the last.
class PortalNotices final : public SessionBusNotices {
    Q_OBJECT

protected:
    QDBusMessage NoticeCall(const DesktopNotice& notice) override
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("AddNotification"));
        call << kId
             << QVariantMap{{QStringLiteral("title"), notice.title},
                            {QStringLiteral("body"), notice.body},
                            {QStringLiteral("priority"), notice.urgent ? QStringLiteral("urgent") : QStringLiteral("normal")},
                            {QStringLiteral("default-action"), kDefaultAction}};
        return call;
    }

    void Listen() override
    {
        bus_.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                     SLOT(OnActionInvoked(QString, QString, QVariantList)));
    }

    QDBusMessage CloseCall() override
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("RemoveNotification"));
        call << kId;
        return call;
    }

private slots:
    void OnActionInvoked(const QString& id, const QString& action, const QVariantList&)
    {
        if (id == kId && action == kDefaultAction)
            Activated();
    }

private:
    inline static const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
    inline static const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
    inline static const QString kInterface = QStringLiteral("org.freedesktop.portal.Notification");
    inline static const QString kId = QStringLiteral("run");
};

}  // namespace

std::unique_ptr<DesktopNotices> CreateDesktopNotices()
{
    if (QFileInfo::exists(QStringLiteral("/.flatpak-info")))
        return std::make_unique<PortalNotices>();
    return std::make_unique<FreedesktopNotices>();
}

}  // namespace platform

#include "desktop_notices_linux.moc"
