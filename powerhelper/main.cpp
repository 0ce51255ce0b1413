// SPDX-License-Identifier: GPL-3.0-or-later
// dorvik-power-helper: the D-Bus system service that changes a battery's
// charging for Dorvik, started by bus activation and running as root.
#include "powerhelper/idle_exit.h"
#include "powerhelper/ledger_file.h"
#include "powerhelper/log.h"
#include "powerhelper/power_helper_service.h"
#include "powerhelper/put_back.h"
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
    const QCommandLineOption stateDirectory(
        QStringLiteral("state-directory"),
        QStringLiteral("Keep the changes made in DIR/changes (default: $STATE_DIRECTORY or /var/lib/dorvik-power-helper)."),
        QStringLiteral("DIR"));
    const QCommandLineOption restoreOnly(QStringLiteral("restore-only"),
                                         QStringLiteral("Put back the changes an earlier run left, then exit."));
    parser.addOptions({sysfsRoot, idleTimeout, stateDirectory, restoreOnly});
    parser.process(app);
    bool ok = false;
    const double idleSeconds = parser.value(idleTimeout).toDouble(&ok);
    if (!ok || idleSeconds <= 0)
        parser.showHelp(2);
    const powerhelper::LedgerFile file(parser.isSet(stateDirectory)
                                           ? parser.value(stateDirectory) + QStringLiteral("/changes")
                                           : powerhelper::LedgerFile::DefaultPath());

    // Before the name is taken: no call is served while an earlier run's
    // change is still in place.
    const bool restored = powerhelper::PutBackLeftovers(parser.value(sysfsRoot), file);
    if (parser.isSet(restoreOnly))
        return restored ? 0 : 1;

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qCCritical(powerhelper::lcPowerHelper) << "no system bus:" << bus.lastError().message();
        return 1;
    }
    powerhelper::PowerHelperService service(bus, parser.value(sysfsRoot), file);
    if (!bus.registerObject(powerhelper::kObjectPath, &service, QDBusConnection::ExportScriptableSlots) ||
        !bus.registerService(powerhelper::kServiceName)) {
        qCCritical(powerhelper::lcPowerHelper) << "cannot register" << powerhelper::kServiceName << ":"
                                               << bus.lastError().message();
        return 1;
    }

    powerhelper::IdleExit idle(bus, service, static_cast<int>(idleSeconds * 1000));
    powerhelper::TerminationSignals terminations;
    QObject::connect(&terminations, &powerhelper::TerminationSignals::received, &app, [&](int number) {
        qCInfo(powerhelper::lcPowerHelper) << "signal" << number << "received: restoring everything";
        service.Stop();
        // A moment for the answers just sent to leave; nothing is written now.
        QTimer::singleShot(100, &app, &QCoreApplication::quit);
    });
    return app.exec();
}
