// SPDX-License-Identifier: GPL-3.0-or-later
// dorvik-power-helper: the D-Bus system service that changes a battery's
// charging for Dorvik, started by bus activation and running as root.
#include "powerhelper/log.h"
#include "powerhelper/power_helper_service.h"
#include "powerhelper/termination_signals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QTimer>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dorvik-power-helper"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Changes a battery's charging for Dorvik on the system bus."));
    parser.addHelpOption();
    const QCommandLineOption sysfsRoot(QStringLiteral("sysfs-root"),
                                       QStringLiteral("Look for the power supplies under DIR instead of /sys."),
                                       QStringLiteral("DIR"), QStringLiteral("/sys"));
    const QCommandLineOption idleTimeout(QStringLiteral("idle-timeout"),
                                         QStringLiteral("Exit after SECONDS with nothing changed."),
                                         QStringLiteral("SECONDS"), QStringLiteral("30"));
    parser.addOption(sysfsRoot);
    parser.addOption(idleTimeout);
    parser.process(app);
    bool ok = false;
    const double idleSeconds = parser.value(idleTimeout).toDouble(&ok);
    if (!ok || idleSeconds <= 0)
        parser.showHelp(2);

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qCCritical(powerhelper::lcPowerHelper) << "no system bus:" << bus.lastError().message();
        return 1;
    }
    powerhelper::PowerHelperService service(bus, parser.value(sysfsRoot));
    if (!bus.registerObject(powerhelper::kObjectPath, &service, QDBusConnection::ExportScriptableSlots) ||
        !bus.registerService(powerhelper::kServiceName)) {
        qCCritical(powerhelper::lcPowerHelper) << "cannot register" << powerhelper::kServiceName << ":"
                                               << bus.lastError().message();
        return 1;
    }

    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(static_cast<int>(idleSeconds * 1000));
    QObject::connect(&idle, &QTimer::timeout, &app, [&] {
        if (service.Idle())
            QCoreApplication::quit();
    });
    QObject::connect(&service, &powerhelper::PowerHelperService::idle, &idle, qOverload<>(&QTimer::start));
    idle.start();

    powerhelper::TerminationSignals terminations;
    QObject::connect(&terminations, &powerhelper::TerminationSignals::received, &app, [&](int number) {
        qCInfo(powerhelper::lcPowerHelper) << "signal" << number << "received: restoring everything";
        service.RestoreEverything();
        QCoreApplication::quit();
    });
    return app.exec();
}
