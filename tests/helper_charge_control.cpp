// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real ChargeControl for the power helper's tests: each argument is
// "offers|discharge|inhibit|lift|restore:BATTERY", "restore-setting:BATTERY:OFFER"
// or "lost:BATTERY" (waits up to 10 s for the helper to leave), done in turn;
// one line each. Discharge and lift let polkit ask; inhibit does not.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "platform/power_helper_client.h"

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const auto control = platform::MakeChargeControl();
    QStringList steps = application.arguments().mid(1);
    std::function<void()> next = [&] {
        if (steps.isEmpty())
            return QCoreApplication::quit();
        const QString what = steps.first().section(u':', 0, 0);
        const QString battery = steps.first().section(u':', 1, 1);
        const QString offer = steps.takeFirst().section(u':', 2);
        const auto print = [&next, what, battery](const QString& result) {
            std::printf("%s %s: %s\n", qPrintable(what), qPrintable(battery), qPrintable(result));
            next();
        };
        const auto done = [print](bool ok, const QString& reason) { print(ok ? QStringLiteral("ok") : reason); };
        if (what == QLatin1String("offers"))
            control->QueryOffers(battery, [print](const QStringList& offers, const QString& reason) {
                print(reason.isEmpty() ? offers.join(u' ') : reason);
            });
        else if (what == QLatin1String("discharge"))
            control->DischargeOnMains(battery, true, done);
        else if (what == QLatin1String("inhibit"))
            control->InhibitCharge(battery, false, done);
        else if (what == QLatin1String("lift"))
            control->LiftChargeLimit(battery, true, done);
        else if (what == QLatin1String("lost")) {
            std::printf("ready\n");
            std::fflush(stdout);
            auto* timeout = new QTimer(&application);
            control->OnHelperLost([print, timeout] { delete timeout, print(QStringLiteral("helper lost")); });
            QObject::connect(timeout, &QTimer::timeout, [print] { print(QStringLiteral("still there")); });
            timeout->start(10000);
        } else if (what == QLatin1String("restore-setting"))
            control->RestoreSetting(battery, offer, done);
        else
            control->Restore(battery, done);
    };
    next();
    return application.exec();
}
