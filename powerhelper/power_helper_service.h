// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "powerhelper/change_ledger.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>

class QDBusServiceWatcher;

namespace powerhelper {

inline const QString kServiceName = QStringLiteral("io.github.dorvik.PowerHelper");
inline const QString kObjectPath = QStringLiteral("/io/github/dorvik/PowerHelper");

// The D-Bus face of the helper. Each change belongs to the caller's unique
// bus name and is undone when that name leaves the bus, when the caller
// asks, or when the helper is told to stop.
class PowerHelperService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.dorvik.PowerHelper1")

public:
    PowerHelperService(const QDBusConnection& bus, QString sysfsRoot, QObject* parent = nullptr);

    // Puts back every change of every caller.
    void RestoreEverything();
    // Nothing held and no answer awaited.
    bool Idle() const { return ledger_.Empty() && pending_ == 0; }

public Q_SLOTS:
    Q_SCRIPTABLE void DischargeOnMains(const QString& battery);
    Q_SCRIPTABLE void LiftChargeLimit(const QString& battery);
    Q_SCRIPTABLE void Restore(const QString& battery);
    Q_SCRIPTABLE QStringList Offers(const QString& battery);

Q_SIGNALS:
    // Emitted when the helper becomes idle.
    void idle();

private:
    void Change(const QString& battery, const QString& action);
    void RestoreCaller(const QString& caller, const QString& battery, const QString& why);
    void CallerLeft(const QString& caller);
    void Settle();

    QDBusConnection bus_;
    QString sysfsRoot_;
    ChangeLedger ledger_;
    QDBusServiceWatcher* watcher_;
    int pending_ = 0;
};

}  // namespace powerhelper
