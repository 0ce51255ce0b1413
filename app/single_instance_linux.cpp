// SPDX-License-Identifier: GPL-3.0-or-later
// The one window's name on the session bus, and the call a second start
// makes to it.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>
#include <optional>

#include "app/single_instance.h"

namespace app {
namespace {

Q_LOGGING_CATEGORY(lcInstance, "dorvik.instance")

const QString kInterface = QStringLiteral("io.github.dorvik.Dorvik");
constexpr int kActivateWaitMs = 1000;

class Activation : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.dorvik.Dorvik")

public:
    explicit Activation(std::function<void()> onActivate) : onActivate_(std::move(onActivate)) {}

public slots:
    Q_SCRIPTABLE void Activate()
    {
        qCInfo(lcInstance, "a second start asked this window to come forward");
        if (onActivate_)
            onActivate_();
    }

private:
    std::function<void()> onActivate_;
};

// Asks the running window to raise itself; it answers at once, and a hung
// one costs this start no more than a second. False when nobody owns the
// name after all.
QString PathOf(const QString& name)
{
    return QLatin1Char('/') + QString(name).replace(QLatin1Char('.'), QLatin1Char('/'));
}

bool AskToActivate(QDBusConnection bus, const QString& name)
{
    QDBusMessage call = QDBusMessage::createMethodCall(name, PathOf(name), kInterface, QStringLiteral("Activate"));
    call.setAutoStartService(false);
    QDBusPendingCallWatcher watcher(bus.asyncCall(call, kActivateWaitMs));
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kActivateWaitMs, &loop, &QEventLoop::quit);
    if (!watcher.isFinished())
        loop.exec();
    if (!watcher.isError())
        return true;
    if (watcher.error().type() == QDBusError::ServiceUnknown
        || watcher.error().name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return false;
    qCInfo(lcInstance, "the running window did not answer: %s", qUtf8Printable(watcher.error().message()));
    return true;
}

}  // namespace

std::optional<InstanceClaim> detail::ClaimOnSessionBus(const QString& name, std::unique_ptr<QObject>& busObject,
                                                       std::function<void()> onActivate)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    // The method first, so that a second start never finds the name without it.
    busObject = std::make_unique<Activation>(std::move(onActivate));
    bus.registerObject(PathOf(name), busObject.get(), QDBusConnection::ExportScriptableSlots);
    if (bus.registerService(name))
        return InstanceClaim::First;
    bus.unregisterObject(PathOf(name));
    busObject.reset();
    if (AskToActivate(bus, name))
        return InstanceClaim::OtherActivated;
    qCInfo(lcInstance, "could not own %s on the session bus; a lock file keeps to one window", qUtf8Printable(name));
    return std::nullopt;
}

}  // namespace app

#include "single_instance_linux.moc"
